// SPDX-License-Identifier: GPL-2.0-or-later
// Files that once made a decoding library read past the end of its input, each loaded
// through the real helper: it may decode the file or refuse it, but it must end by itself
// with status 0 or 1, never by a signal.

#include "decode/client.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Pictures of these loads count against it, as a program's do.
tk::PictureBudget budget; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

std::vector<std::string> corpus(const char* dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(DecodeCorpus, EmfOverreadFilesEndTheHelperCleanly) {
    // A sanitizer report in the helper must show as a crash, not as an ordinary exit 1.
    const char* options = std::getenv("ASAN_OPTIONS");
    ::setenv("ASAN_OPTIONS", (std::string(options ? options : "") + ":abort_on_error=1").c_str(),
             1);
    const auto files = corpus(PADSCREEN_EMF_OVERREAD_DIR);
    ASSERT_GE(files.size(), 5u) << "the corpus is missing";
    picture_decode::HelperPictureLoader loader(PADSCREEN_DECODE_HELPER);
    for (const auto& file : files) {
        loader.load(file, budget);
        const int status = loader.last_status();
        ASSERT_NE(status, -1) << file << ": the helper did not end by itself";
        EXPECT_FALSE(WIFSIGNALED(status))
            << file << ": killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1)
            << file << ": exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
}

} // namespace
