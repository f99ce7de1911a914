// SPDX-License-Identifier: GPL-2.0-or-later
// The client against stand-in helpers: they serve as the real one does, and each picture's
// child is a shell script that misbehaves in one way.

#include "decode/client.h"
#include "decode_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Pictures of these loads count against it, as a program's do.
tk::PictureBudget budget; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

using decode_test::TempDir;
using picture_decode::HelperPictureLoader;

// A 2x1 answer on fd 3, its pixels 0x04030201 and 0x08070605 in the memory file on fd 4.
constexpr const char* answer_header = R"(printf 'PSD1\002\000\000\000\001\000\000\000' >&3)";
constexpr const char* answer_pixels = R"(printf '\001\002\003\004\005\006\007\010' >&4)";

bool has_child_left() {
    errno = 0;
    return !(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
}

class StandIn : public ::testing::Test {
protected:
    // A stand-in helper whose children run this shell body.
    std::string stand_in(const std::string& body) const {
        const std::string child = dir.write("child.sh", "#!/bin/sh\n" + body + "\n");
        return dir.write("helper.sh",
                         "#!/bin/sh\nexec '" PADSCREEN_STAND_IN_SERVER "' '" + child + "'\n", true);
    }

    // Loads "picture" through a stand-in helper with this shell body.
    tk::PicturePtr load_with(const std::string& body,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        tk::PicturePtr picture;
        {
            HelperPictureLoader loader(stand_in(body), timeout);
            picture = loader.load(picture_path, budget);
        }
        EXPECT_FALSE(has_child_left()) << "the helper was not reaped with its loader";
        return picture;
    }

    // Reads the whole request first, as the helper does: one that ended before the request
    // was sent would fail the send, and only when the program was slow to send it.
    static std::string valid_answer() {
        return "cat >/dev/null\n" + std::string(answer_pixels) + "\n" + answer_header + "\n";
    }

    TempDir dir;
    std::string picture_path = dir.write("picture", "not read by the stand-ins");
};

TEST_F(StandIn, WellBehavedHelperGivesItsPixels) {
    // No arguments; the request on stdin ends with the file's bytes, after a 20-byte header.
    const auto picture =
        load_with("[ \"$#\" = 0 ] || exit 3\n"
                  "[ \"$(tail -c +21)\" = 'not read by the stand-ins' ] || exit 4\n" +
                  valid_answer());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width, 2);
    EXPECT_EQ(picture->height, 1);
    ASSERT_EQ(picture->argb.size(), 2u);
    EXPECT_EQ(picture->argb[0], 0x04030201u);
    EXPECT_EQ(picture->argb[1], 0x08070605u);
}

TEST_F(StandIn, HelperSeesOnlyItsOwnDescriptors) {
    const int leaked = ::fcntl(::open("/dev/null", O_RDONLY), F_DUPFD, 20); // no O_CLOEXEC
    ASSERT_GE(leaked, 0);
    const auto picture = load_with("[ -e /proc/$$/fd/" + std::to_string(leaked) + " ] && exit 4\n" +
                                   "[ -e /proc/$$/fd/5 ] && exit 5\n"
                                   "[ \"$(readlink /proc/$$/fd/1)\" = /dev/null ] || exit 6\n"
                                   "readlink /proc/$$/fd/4 | grep -q memfd: || exit 7\n" +
                                   valid_answer());
    ::close(leaked);
    EXPECT_NE(picture, nullptr);
}

TEST_F(StandIn, AnswerOfWrongLengthIsRefused) {
    EXPECT_EQ(
        load_with(std::string(answer_header) + R"(; printf '\001\002\003\004\005\006\007' >&4)"),
        nullptr)
        << "pixels one byte short";
    EXPECT_EQ(load_with(valid_answer() + R"(printf '\011' >&4)"), nullptr)
        << "one pixel byte extra";
    EXPECT_EQ(load_with(valid_answer() + R"(printf '\011' >&3)"), nullptr) << "answer too long";
    EXPECT_EQ(load_with(answer_header), nullptr) << "header only";
    EXPECT_EQ(load_with(R"(printf 'PSD1\002\000' >&3)"), nullptr) << "cut inside the header";
    EXPECT_EQ(load_with("true"), nullptr) << "nothing at all";
}

TEST_F(StandIn, BadHeaderIsRefused) {
    EXPECT_EQ(load_with(std::string(answer_pixels) +
                        R"(; printf 'PSD2\002\000\000\000\001\000\000\000' >&3)"),
              nullptr)
        << "wrong magic";
    EXPECT_EQ(load_with(R"(printf 'PSD1\000\000\000\000\001\000\000\000' >&3)"), nullptr)
        << "zero width";
    EXPECT_EQ(load_with(R"(printf 'PSD1\001\000\000\000\000\000\000\000' >&3)"), nullptr)
        << "zero height";
    // 16385 x 8192 x 4 bytes is just over 512 MiB; the file stays empty.
    EXPECT_EQ(load_with(R"(printf 'PSD1\001\100\000\000\000\040\000\000' >&3)"), nullptr)
        << "too large";
}

TEST_F(StandIn, FailingExitIsRefusedEvenAfterAValidAnswer) {
    EXPECT_EQ(load_with(valid_answer() + "exit 1"), nullptr);
    EXPECT_EQ(load_with(valid_answer() + "kill -SEGV $$"), nullptr);
    EXPECT_EQ(load_with("kill -SEGV $$"), nullptr);
}

// Another process of the user shrinks and grows every pixel file of this process it can
// reach through /proc, as fast as it can, until the file is sealed; after its first shrink
// of a file it writes a line to `reached`. Returns its pid; the count of shrinks that took
// goes to *shrinks.
pid_t start_shrinker(std::atomic<long>* shrinks, int reached) {
    const std::string fds = "/proc/" + std::to_string(::getpid()) + "/fd";
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL); // a crash of the test must not leave it running
    for (;;) {
        DIR* dir = ::opendir(fds.c_str());
        while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
            const std::string path = fds + "/" + entry->d_name;
            char target[64] = {};
            if (::readlink(path.c_str(), target, sizeof target - 1) <= 0 ||
                std::string(target).find("memfd:padscreen-picture") == std::string::npos)
                continue;
            const int fd = ::open(path.c_str(), O_RDWR);
            bool told = false;
            for (int i = 0; fd >= 0 && i < 100000 && ::ftruncate(fd, 0) == 0; ++i) {
                ++*shrinks;
                if (!told)
                    told = ::write(reached, "\n", 1) == 1;
                if (::ftruncate(fd, 8) != 0)
                    break; // sealed
            }
            if (fd >= 0)
                ::close(fd);
        }
        if (dir)
            ::closedir(dir);
    }
}

TEST_F(StandIn, ShrinkingThePixelFileDuringLoadsCrashesNothing) {
    // Each helper answers only once the shrinker has been at its file, so that every load
    // races it, however the two are scheduled.
    const std::string reached = dir.file("reached");
    ASSERT_EQ(::mkfifo(reached.c_str(), 0600), 0);
    const int line = ::open(reached.c_str(), O_RDWR | O_CLOEXEC); // never blocks a reader's open
    ASSERT_GE(line, 0);
    const std::string helper =
        stand_in(std::string(answer_pixels) + "\nread -r _ < '" + reached + "'\n" + answer_header);
    void* shared = ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* shrinks = new (shared) std::atomic<long>(0);
    const pid_t shrinker = start_shrinker(shrinks, line);
    ASSERT_GT(shrinker, 0);
    constexpr int loads = 1000;
    {
        HelperPictureLoader loader(helper);
        for (int i = 0; i < loads; ++i)
            if (const auto picture = loader.load(picture_path, budget)) {
                // A mapping whose file was shrunk faults here.
                [[maybe_unused]] const volatile std::uint32_t last = picture->argb[1];
            }
    }
    ::kill(shrinker, SIGKILL);
    ::waitpid(shrinker, nullptr, 0);
    ::close(line);
    // Each load waited for a line, and each line follows a shrink.
    EXPECT_GE(shrinks->load(), loads) << "the shrinker did not reach every pixel file";
    ::munmap(shared, sizeof(std::atomic<long>));
}

TEST_F(StandIn, HangingHelperIsKilledAtTheDeadline) {
    const auto timeout = std::chrono::seconds(1);
    // Output still open: the client never sees the end of the answer.
    EXPECT_EQ(load_with(valid_answer() + "exec sleep 30", timeout), nullptr);
    // Output closed, but the helper never exits.
    EXPECT_EQ(load_with(valid_answer() + "exec sleep 30 >&-", timeout), nullptr);
}

// One helper serves load after load; a child's crash costs nothing but its picture, and a
// hang costs the helper, whose place a new one takes. Each child notes its server's pid.
TEST_F(StandIn, OneHelperServesManyLoadsAndTheNextLoadOutlivesAnyChild) {
    const std::string servers = dir.file("servers");
    HelperPictureLoader loader(stand_in("echo $PPID >> '" + servers +
                                        "'\n"
                                        "case \"$(tail -c +21)\" in\n"
                                        "crash) kill -SEGV $$ ;;\n"
                                        "hang) exec sleep 30 ;;\n"
                                        "esac\n" +
                                        valid_answer()),
                               std::chrono::seconds(1));
    const std::string steps[] = {"fine", "fine", "crash", "fine", "hang", "fine", "fine"};
    for (const std::string& step : steps)
        EXPECT_EQ(loader.load(dir.write("picture", step), budget) != nullptr, step == "fine")
            << step;
    std::ifstream in(servers);
    const std::vector<std::string> served{std::istream_iterator<std::string>(in), {}};
    ASSERT_EQ(served.size(), std::size(steps));
    for (std::size_t k = 1; k < served.size(); ++k)
        EXPECT_EQ(served[k] == served[0], k <= 4) << "load " << k << " of " << steps[k];
    EXPECT_EQ(served[5], served[6]);
}

TEST_F(StandIn, IdleHookRunsWhileTheHelperWorks) {
    // A slow helper, while its output is still open and after it has been closed.
    const struct {
        std::string body;
        bool loads;
    } cases[] = {
        {"sleep 0.3\n" + valid_answer(), true},
        {valid_answer() + "exec sleep 0.3 >&-", true},
        {"sleep 0.3; exit 1", false},
    };
    for (const auto& c : cases) {
        {
            HelperPictureLoader loader(stand_in(c.body));
            int calls = 0;
            loader.set_idle([&calls] { ++calls; });
            EXPECT_EQ(loader.load(picture_path, budget) != nullptr, c.loads) << c.body;
            // 300 ms of waiting at one call per 10 ms; a loaded machine may see fewer.
            EXPECT_GE(calls, 5) << c.body;
        }
        EXPECT_FALSE(has_child_left());
    }
}

TEST_F(StandIn, MissingOrNonExecutableHelperGivesNull) {
    HelperPictureLoader missing(dir.file("no-such-helper"));
    EXPECT_EQ(missing.load(picture_path, budget), nullptr);
    HelperPictureLoader unnamed("");
    EXPECT_EQ(unnamed.load(picture_path, budget), nullptr);
    const std::string plain = dir.write("plain.sh", "#!/bin/sh\n" + valid_answer());
    HelperPictureLoader not_executable(plain);
    EXPECT_EQ(not_executable.load(picture_path, budget), nullptr);
    EXPECT_FALSE(has_child_left());
}

TEST_F(StandIn, UnstartableHelperWritesOneLineNamingItsPath) {
    const std::string plain = dir.write("plain.sh", "#!/bin/sh\n" + valid_answer());
    const std::string no_loader = dir.write("no-loader", "#!/bin/sh\nexit 127\n", true);
    const std::string failing = dir.write("failing", "#!/bin/sh\nexit 1\n", true);
    const struct {
        std::string helper;
        std::string line; // empty: nothing is written
    } cases[] = {
        {dir.file("no-such-helper"), "No such file or directory"},
        {plain, "Permission denied"},
        {no_loader, "exit status 127"},
        {failing, ""}, // a picture it cannot decode is no fault of the install
    };
    for (const auto& c : cases) {
        HelperPictureLoader loader(c.helper);
        testing::internal::CaptureStderr();
        EXPECT_EQ(loader.load(picture_path, budget), nullptr) << c.helper;
        const std::string written = testing::internal::GetCapturedStderr();
        EXPECT_EQ(written, c.line.empty() ? ""
                                          : "padscreen: cannot start the picture decoder " +
                                                c.helper + ": " + c.line + "\n");
    }
}

// Three pictures measured together: the child measuring them answers in its own way (B: a
// size taken from it, N: a refusal taken from it); every picture it leaves goes to a child
// of its own (S), and an answer it did not follow with a clean end is not taken either.
TEST_F(StandIn, MeasuredTogetherTakesOnlyWhatTheChildAnsweredBeforeItFailed) {
    const std::string log = dir.file("children");
    const std::string ok = R"(printf 'PSD1\002\000\000\000\001\000\000\000' >&3;)";
    const std::string alone = R"(printf 'PSD1\003\000\000\000\001\000\000\000' >&3)";
    const std::string no = R"(printf 'PSR1\002\000\000\000\000\000\000\000' >&3;)";
    const struct {
        std::string body;
        std::string outcome;
        int children;
    } cases[] = {
        {ok + ok + ok, "BBB", 1},
        {ok + no + ok, "BNB", 1},
        {ok + R"(printf 'PSR1\006\000\000\000\000\000\000\000' >&3;)" + ok, "BSB", 2},
        {ok + "kill -SEGV $$", "SSS", 4},
        {ok + ok + "kill -SEGV $$", "BSS", 3},
        {ok + ok + ok + "exit 1", "BBS", 2},
        {ok + ok + ok + ok, "BBS", 2}, // one answer too many
        {ok + R"(printf 'PSR1\011\000\000\000\000\000\000\000' >&3;)" + ok, "BSS", 3},
        {ok + "exec sleep 30", "SSS", 4},
    };
    // Each child notes itself; one asked for a single picture answers 3x1.
    const std::string script = "tag=$(head -c 4); cat >/dev/null; echo >> '" + log +
                               "'\n[ \"$tag\" = PSB1 ] || exec " + alone + "\n";
    for (const auto& c : cases) {
        std::filesystem::remove(log);
        HelperPictureLoader loader(stand_in(script + c.body), std::chrono::seconds(1));
        loader.set_measure_only(true);
        const auto measured =
            loader.load_all({picture_path, picture_path, picture_path}, budget, {});
        std::string outcome;
        for (const tk::PicturePtr& picture : measured)
            outcome += !picture ? 'N' : picture->width == 2 ? 'B' : 'S';
        EXPECT_EQ(outcome, c.outcome) << c.body;
        std::ifstream lines(log);
        EXPECT_EQ(std::count(std::istreambuf_iterator<char>(lines), {}, '\n'), c.children)
            << c.body;
    }
}

TEST(HelperPath, FoundBesideTheExecutable) {
    EXPECT_EQ(picture_decode::helper_path_beside("/opt/padscreen"),
              "/opt/padscreen/padscreen-decode");
    EXPECT_EQ(picture_decode::helper_path_beside("/opt/padscreen/"),
              "/opt/padscreen/padscreen-decode");
    // Installed: ../libexec/padscreen of the program's folder; in the build tree: beside it.
    TempDir prefix;
    const std::string bin = prefix.file("bin");
    std::filesystem::create_directories(bin);
    EXPECT_EQ(picture_decode::helper_path_for(bin),
              prefix.file("libexec/padscreen/padscreen-decode"));
    prefix.write("bin/padscreen-decode", "#!/bin/sh\n", true);
    EXPECT_EQ(picture_decode::helper_path_for(bin), prefix.file("bin/padscreen-decode"));
    // The tests and the helper are built into the same directory.
    const std::string found = picture_decode::default_helper_path();
    ASSERT_FALSE(found.empty());
    EXPECT_TRUE(std::filesystem::equivalent(found, PADSCREEN_DECODE_HELPER));
}

} // namespace

namespace {

// Each way a load ends without a picture gives its reason; a picture gives none.
TEST_F(StandIn, EveryFailedLoadSaysWhy) {
    namespace lf = platform::load_failure;
    const std::string dir_path = dir.file("");
    const std::string empty = dir.write("empty", "");
    tk::PictureBudget small(4); // a 2x1 picture takes 8 bytes
    const struct {
        std::string body;
        std::string path;
        tk::PictureBudget* budget;
        std::string reason;
    } cases[] = {
        {valid_answer(), picture_path, &budget, ""},
        {"exit 2", picture_path, &budget, lf::kNotAPicture},
        {"exit 1", picture_path, &budget, lf::kUnreadable},
        {"exit 3", picture_path, &budget, lf::kTooLargeForOne},
        {"exit 3", picture_path, &small, lf::kOverBudget},
        {valid_answer(), picture_path, &small, lf::kOverBudget},
        {"exit 4", picture_path, &budget, lf::kTooMuchMemory},
        {"kill -XCPU $$", picture_path, &budget, lf::kTooSlow},
        {"exec sleep 30", picture_path, &budget, lf::kTooSlow},
        {"kill -SEGV $$", picture_path, &budget, lf::kDecoderStopped},
        {"exit 127", picture_path, &budget, lf::kNoDecoder},
        {valid_answer(), dir.file("missing"), &budget,
         std::string(lf::kCannotOpen) + " (No such file or directory)"},
        {valid_answer(), dir_path, &budget, lf::kNotAFile},
        {valid_answer(), empty, &budget, lf::kEmpty},
    };
    for (const auto& c : cases) {
        HelperPictureLoader loader(stand_in(c.body), std::chrono::milliseconds(300));
        testing::internal::CaptureStderr(); // exit 127 writes its line
        const auto picture = loader.load(c.path, *c.budget);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(picture != nullptr, c.reason.empty()) << c.body << " " << c.path;
        EXPECT_EQ(loader.last_failure(), c.reason) << c.body << " " << c.path;
    }
}

} // namespace
