// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// What both helpers, padscreen-decode and padscreen-measure, do alike around the lock-down
// (sandbox.h) and the serving loop (serve.h): their limits and the request's byte layout.

#include <cstddef>
#include <cstdint>

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

} // namespace picture_decode
