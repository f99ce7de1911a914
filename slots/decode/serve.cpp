// SPDX-License-Identifier: GPL-2.0-or-later
#include "serve.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace picture_decode {
namespace {

constexpr int descriptors = request_descriptors;

// The next request's descriptors; false at the program's end or on anything unexpected.
bool receive(int (&fds)[descriptors]) {
    RequestMessage received(sizeof RequestMessage::tag);
    msghdr& message = received.header;
    ssize_t got = -1;
    do {
        got = ::recvmsg(control_fd, &message, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    int count = 0;
    for (cmsghdr* c = got < 0 ? nullptr : CMSG_FIRSTHDR(&message); c;
         c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t n = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < n; ++i, ++count) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (count < descriptors)
                fds[count] = fd;
            else
                ::close(fd);
        }
    }
    const bool ok = got == sizeof request_tag &&
                    std::memcmp(received.tag, request_tag, sizeof request_tag) == 0 &&
                    count == descriptors && (message.msg_flags & (MSG_CTRUNC | MSG_TRUNC)) == 0;
    if (!ok)
        for (int i = 0; i < std::min(count, descriptors); ++i)
            ::close(fds[i]);
    return ok;
}

bool report(int status) {
    unsigned char out[report_size];
    std::memcpy(out, report_tag, sizeof report_tag);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(status) >> (8 * i));
    ssize_t sent = -1;
    do {
        sent = ::send(control_fd, out, sizeof out, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == report_size;
}

} // namespace

void serve() {
    for (;;) {
        int fds[descriptors];
        if (!receive(fds))
            ::_exit(0);
        const pid_t child = ::fork();
        if (child == 0) {
            // Fds 0 to 4 were taken, so what came in lies above them. The socket goes:
            // a child never speaks for the server.
            ::dup2(fds[0], 0);
            ::dup2(fds[1], control_fd);
            ::dup2(fds[2], 4);
            for (const int fd : fds)
                ::close(fd);
            return;
        }
        for (const int fd : fds)
            ::close(fd);
        if (child < 0)
            ::_exit(1); // the program starts another
        int status = 0;
        while (::waitpid(child, &status, 0) < 0)
            if (errno != EINTR)
                ::_exit(1);
        if (!report(status))
            ::_exit(0);
    }
}

} // namespace picture_decode
