// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/designs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace document {

std::string folder_of(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::optional<std::string> read_file(const std::string& path, std::size_t limit,
                                     std::string& reason) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        reason = "it is a folder";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = std::strerror(errno);
        return std::nullopt;
    }
    std::string bytes(limit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        reason = "it cannot be read";
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > limit) {
        reason = "over " + std::to_string(limit >> 20) + " MiB";
        return std::nullopt;
    }
    return bytes;
}

} // namespace document
