// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// What both helpers, padscreen-decode and padscreen-measure, do alike around the lock-down
// (sandbox.h) and the serving loop (serve.h): their limits and the request's byte layout.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace picture_decode {

inline constexpr int request_fd = 0;
inline constexpr int answer_fd = 3;
inline constexpr int pixels_fd = 4;

// The server's limits, kept by every child.
void limit_server();
// Each picture's own time: the server, idle between pictures, has none.
void limit_child();

bool read_all(int fd, void* data, std::size_t size);
bool write_all(int fd, const unsigned char* data, std::size_t size);
std::uint64_t le64(const unsigned char* p);
// Writes an answer: the tag, then two little-endian uint32.
bool answer(const char (&tag)[5], int first, int second);

// One picture of a request measured together: its size, or the exit status its own child
// would have ended with.
struct Measured {
    int status = 0;
    int width = 0;
    int height = 0;
};
// Answers a "PSB1" request's count pictures in turn, each as soon as it is known, so that one
// picture that ends the child costs the program only those after it. measure reads the
// picture of the given size from request_fd. Null, or why the request could not be served.
const char* answer_each(std::uint64_t count,
                        const std::function<Measured(std::uint64_t size)>& measure);

} // namespace picture_decode
