// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace document {

// The bytes of a file, at most limit of them; nullopt with errno's text in
// reason when it cannot be read, or "over ..." when it is longer.
std::optional<std::string> read_file(const std::string& path, std::size_t limit,
                                     std::string& reason);

// The folder a file lies in; "." for a bare name.
std::string folder_of(const std::string& path);

} // namespace document
