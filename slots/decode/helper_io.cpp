// SPDX-License-Identifier: GPL-2.0-or-later
#include "helper_io.h"

#include "decode_limits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define PADSCREEN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PADSCREEN_ASAN 1
#endif
#endif

namespace picture_decode {
namespace {

void set_limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    if (setrlimit(resource, &limit) != 0)
        std::perror("setrlimit");
}

void put_le32(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

void limit_server() {
#ifndef PADSCREEN_ASAN
    // Room for the largest picture twice (read, then converted) and the largest file.
    // AddressSanitizer reserves terabytes of address space for its shadow memory.
    set_limit(RLIMIT_AS, rlim_t{3} << 30);
#endif
    set_limit(RLIMIT_CORE, 0);
    // The memory file takes the largest answer and no more: its pages are outside RLIMIT_AS.
    set_limit(RLIMIT_FSIZE, max_pixel_bytes);
}

void limit_child() { set_limit(RLIMIT_CPU, 10); }

bool read_all(int fd, void* data, std::size_t size) {
    auto* at = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = ::read(fd, at, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool write_all(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::uint64_t le64(const unsigned char* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

bool answer(const char (&tag)[5], int first, int second) {
    unsigned char out[12];
    std::memcpy(out, tag, 4);
    put_le32(out + 4, static_cast<std::uint32_t>(first));
    put_le32(out + 8, static_cast<std::uint32_t>(second));
    return write_all(answer_fd, out, sizeof out);
}

const char* answer_each(std::uint64_t count,
                        const std::function<Measured(std::uint64_t size)>& measure) {
    for (; count > 0; --count) {
        unsigned char size[8];
        if (!read_all(request_fd, size, sizeof size))
            return "the request ended short";
        const Measured m = measure(le64(size));
        if (!(m.status == 0 ? answer("PSD1", m.width, m.height) : answer("PSR1", m.status, 0)))
            return "cannot write the answer";
    }
    return nullptr;
}

} // namespace picture_decode
