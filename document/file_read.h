// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace document {

// The bytes of a regular file, at most limit of them; nullopt with the reason
// when it cannot be read, is no regular file (a folder, pipe, device, socket) or
// is longer ("over ..."). Neither a pipe nor a terminal can make it wait.
std::optional<std::string> read_file(const std::string& path, std::size_t limit,
                                     std::string& reason);

// The folder a file's picture names resolve against: the current one, absolute,
// for a bare file name.
std::string folder_of(const std::string& path);

} // namespace document
