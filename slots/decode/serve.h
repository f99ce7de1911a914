// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// How the program and a running padscreen-decode talk. The program starts it as
//   padscreen-decode --serve [--no-fonts]
// with fd 3 one end of a packet socket and fds 0, 1, 2 and 4 on /dev/null. For each picture
// (or pictures measured together) the program sends request_tag with three descriptors: the
// request pipe, the answer pipe and the memory file for the pixels. The server forks a child
// for the request, which gets them as its fds 0, 3 and 4; when that child has ended, the
// server sends report_tag and its wait status, a little-endian uint32. The server ends when
// the program closes its end.

#include <sys/socket.h>

#include <cstddef>

namespace picture_decode {

inline constexpr char serve_argument[] = "--serve";
// Set up without fonts: enough to measure, and to decode every picture that has no text.
inline constexpr char no_fonts_argument[] = "--no-fonts";
inline constexpr char request_tag[4] = {'P', 'S', 'C', '1'};
inline constexpr char report_tag[4] = {'P', 'S', 'E', '1'};
inline constexpr int control_fd = 3;
inline constexpr int report_size = 8;
inline constexpr int request_descriptors = 3;

// One request's message as both ends lay it out: the tag, then the descriptors. The program
// fills it to send; the server receives into it, with a byte of room past the tag to tell a
// longer message from the right one. It points into itself, so it is never copied.
struct RequestMessage {
    char tag[sizeof request_tag + 1] = {};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * request_descriptors)] = {};
    iovec part{};
    msghdr header{};

    explicit RequestMessage(std::size_t tag_room) : part{tag, tag_room} {
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = space;
        header.msg_controllen = sizeof space;
    }
    RequestMessage(const RequestMessage&) = delete;
    RequestMessage& operator=(const RequestMessage&) = delete;
};

// Serves requests on control_fd: returns in each picture's child, with that picture's
// descriptors in place; the server itself never returns. Fds 0 to 4 must be open, so that
// nothing the server opened can be in the way of the child's.
void serve();

} // namespace picture_decode
