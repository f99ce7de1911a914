// SPDX-License-Identifier: GPL-2.0-or-later
#include "document/file_read.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace document {

namespace {

// Why a file of this mode is not read; empty for a regular file.
std::string not_regular(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return "it is a folder";
    }
    if (S_ISFIFO(mode)) {
        return "it is a pipe, not a file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "it is a device, not a file";
    }
    if (S_ISSOCK(mode)) {
        return "it is a socket, not a file";
    }
    return "it is not a regular file";
}

std::string error_text(int error) {
    return error == ELOOP ? "its symbolic links form a loop" : std::strerror(error);
}

std::string over(std::size_t limit) { return "over " + std::to_string(limit >> 20) + " MiB"; }

// The bytes of an open regular file of the size fstat gave, at most limit of them.
std::optional<std::string> read_open(int fd, const struct stat& info, std::size_t limit,
                                     std::string& reason) {
    if (reason = not_regular(info.st_mode); !reason.empty()) {
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        reason = over(limit);
        return std::nullopt;
    }
    // One byte more than fstat gave tells a file that grew since; it may then grow
    // up to one byte past the limit, which tells a file too long.
    std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > limit) {
                reason = over(limit);
                return std::nullopt;
            }
            bytes.resize(limit + 1);
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n == 0) {
            break;
        }
        if (n < 0 && errno != EINTR) {
            reason = "it cannot be read (" + error_text(errno) + ")";
            return std::nullopt;
        }
        got += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    bytes.resize(got);
    return bytes;
}

} // namespace

std::optional<std::string> read_file(const std::string& path, std::size_t limit,
                                     std::string& reason) {
    // Looked at before opening too: opening a device can itself do something.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        reason = error_text(errno);
        return std::nullopt;
    }
    if (reason = not_regular(info.st_mode); !reason.empty()) {
        return std::nullopt;
    }
    // Non-blocking, so that a pipe put in the file's place meanwhile cannot hang open().
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = error_text(errno);
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    if (::fstat(fd, &info) != 0) {
        reason = error_text(errno);
    } else {
        bytes = read_open(fd, info, limit, reason);
    }
    ::close(fd);
    return bytes;
}

std::string folder_of(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        return folder.string();
    }
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return error ? std::string(".") : here.string();
}

} // namespace document
