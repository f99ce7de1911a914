// Files that once made a decoding library read past the end of its input, each run through
// the real helper: it may decode the file or refuse it, but it must end by itself with
// status 0 or 1, never by a signal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> corpus(const char* dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// The helper's wait status on one file: path as its argument, contents on stdin.
int run_helper(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A sanitizer report must show as a crash here, not as an ordinary exit 1.
        const char* options = std::getenv("ASAN_OPTIONS");
        const std::string asan = std::string(options ? options : "") + ":abort_on_error=1";
        ::setenv("ASAN_OPTIONS", asan.c_str(), 1);
        const int input = ::open(path.c_str(), O_RDONLY);
        const int null = ::open("/dev/null", O_WRONLY);
        if (input < 0 || null < 0 || ::dup2(input, STDIN_FILENO) < 0 ||
            ::dup2(null, STDOUT_FILENO) < 0 || ::dup2(null, STDERR_FILENO) < 0)
            ::_exit(127);
        ::execl(PADSCREEN_DECODE_HELPER, PADSCREEN_DECODE_HELPER, path.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return status;
}

TEST(DecodeCorpus, EmfOverreadFilesEndTheHelperCleanly) {
    const auto files = corpus(PADSCREEN_EMF_OVERREAD_DIR);
    ASSERT_GE(files.size(), 5u) << "the corpus is missing";
    for (const auto& file : files) {
        const int status = run_helper(file);
        ASSERT_NE(status, -1) << file;
        EXPECT_FALSE(WIFSIGNALED(status))
            << file << ": killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1)
            << file << ": exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
}

} // namespace
