#include "client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace picture_decode {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t header_size = 12;
constexpr std::uint64_t max_pixel_bytes = std::uint64_t{128} << 20;

std::uint32_t u32_at(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// The deadline of one load, and the idle hook that runs while it waits.
class Waiter {
public:
    Waiter(Clock::time_point deadline, const std::function<void()>& idle)
        : deadline_(deadline), idle_(idle), last_idle_(Clock::now()) {}

    bool expired() const { return Clock::now() >= deadline_; }

    // How long one wait may block: until the deadline, or until the hook is due.
    int wait_ms() const {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (idle_)
            left = std::min(left, HelperPictureLoader::idle_interval);
        return left.count() <= 0 ? 0 : static_cast<int>(left.count());
    }

    // Runs the hook when it is due.
    void tick() {
        if (!idle_)
            return;
        const auto now = Clock::now();
        if (now - last_idle_ >= HelperPictureLoader::idle_interval) {
            last_idle_ = now;
            idle_();
        }
    }

private:
    Clock::time_point deadline_;
    const std::function<void()>& idle_;
    Clock::time_point last_idle_;
};

// A posix_spawn settings object, destroyed with the scope that made it.
template <class T, int (*Init)(T*), int (*Destroy)(T*)> class Spawn {
public:
    Spawn() { ok_ = Init(&value_) == 0; }
    ~Spawn() {
        if (ok_)
            Destroy(&value_);
    }
    Spawn(const Spawn&) = delete;
    Spawn& operator=(const Spawn&) = delete;
    bool ok() const { return ok_; }
    T* get() { return &value_; }

private:
    T value_;
    bool ok_ = false;
};

using FileActions = Spawn<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                          posix_spawn_file_actions_destroy>;
using SpawnAttr = Spawn<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

// The helper gets stdout = pipe, stdin and stderr = /dev/null, nothing else open, its own
// process group (so a kill reaches anything it started) and default signal handling.
pid_t spawn_helper(const std::string& helper, const std::string& path, int stdout_fd) {
    FileActions actions;
    SpawnAttr attr;
    if (!actions.ok() || !attr.ok())
        return -1;
    if (posix_spawn_file_actions_adddup2(actions.get(), stdout_fd, STDOUT_FILENO) != 0 ||
        posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) !=
            0 ||
        posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0) !=
            0)
        return -1;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the program opened without close-on-exec must not reach the helper.
    if (posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1) != 0)
        return -1;
#endif
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    if (posix_spawnattr_setflags(attr.get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                 POSIX_SPAWN_SETSIGDEF) != 0 ||
        posix_spawnattr_setpgroup(attr.get(), 0) != 0 ||
        posix_spawnattr_setsigmask(attr.get(), &none) != 0 ||
        posix_spawnattr_setsigdefault(attr.get(), &all) != 0)
        return -1;

    std::vector<char> helper_arg(helper.begin(), helper.end());
    std::vector<char> path_arg(path.begin(), path.end());
    helper_arg.push_back('\0');
    path_arg.push_back('\0');
    char* argv[] = {helper_arg.data(), path_arg.data(), nullptr};
    pid_t pid = -1;
    if (const int error = posix_spawn(&pid, helper_arg.data(), actions.get(), attr.get(), argv,
                                      environ);
        error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

void kill_helper(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL); // in case it left its group
}

// Waits for the helper until the deadline, then kills it; always reaps it.
// Returns the wait status, or -1 when it had to be killed or could not be reaped.
int reap_helper(pid_t pid, Waiter& waiter) {
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 && errno != EINTR)
            return -1;
        if (waiter.expired())
            break;
        const timespec pause{0, 1'000'000};
        ::nanosleep(&pause, nullptr);
        waiter.tick();
    }
    kill_helper(pid);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
}

// Reads the whole answer. Stops early, with false, once it cannot be valid any more.
bool read_answer(int fd, Waiter& waiter, std::vector<unsigned char>& answer) {
    answer.assign(header_size, 0);
    std::size_t got = 0;
    std::size_t total = header_size; // what the answer announces, once its header is in
    bool have_header = false;
    for (;;) {
        if (waiter.expired())
            return false;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, waiter.wait_ms());
        waiter.tick();
        if (polled < 0 && errno != EINTR)
            return false;
        if (polled <= 0)
            continue;

        if (got == total) {
            // Everything announced is here: the stream must end now.
            unsigned char extra;
            const ssize_t n = ::read(fd, &extra, 1);
            if (n < 0 && errno == EINTR)
                continue;
            return n == 0 && have_header;
        }
        if (got == answer.size()) {
            // Grown as the pixels come: touching all of a big buffer at once
            // would hold up the idle hook.
            constexpr std::size_t grow_step = std::size_t{4} << 20;
            answer.resize(std::min(total, got + grow_step));
        }
        const ssize_t n = ::read(fd, answer.data() + got, answer.size() - got);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        if (n == 0)
            return false; // ended short
        got += static_cast<std::size_t>(n);

        if (!have_header && got == header_size) {
            if (std::memcmp(answer.data(), "PSD1", 4) != 0)
                return false;
            const std::uint64_t width = u32_at(answer.data() + 4);
            const std::uint64_t height = u32_at(answer.data() + 8);
            if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX ||
                width * height * 4 > max_pixel_bytes)
                return false;
            total = header_size + static_cast<std::size_t>(width * height * 4);
            answer.reserve(total);
            have_header = true;
        }
    }
}

// One line on stderr, the only trace of a broken install: the load itself fails silently.
void report_unstartable(const std::string& helper, const char* reason) {
    std::fprintf(stderr, "padscreen: cannot start the picture decoder %s: %s\n", helper.c_str(),
                 reason);
}

} // namespace

HelperPictureLoader::HelperPictureLoader(std::string helper_path, std::chrono::milliseconds timeout)
    : helper_path_(std::move(helper_path)), timeout_(timeout) {}

tk::PicturePtr HelperPictureLoader::load(const std::string& path) {
    if (helper_path_.empty()) {
        std::fprintf(stderr, "padscreen: cannot find the picture decoder: own path unknown\n");
        return nullptr;
    }
    Waiter waiter(Clock::now() + timeout_, idle_);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
        return nullptr;
    const pid_t pid = spawn_helper(helper_path_, path, pipe_fds[1]);
    ::close(pipe_fds[1]);
    if (pid < 0) {
        report_unstartable(helper_path_, std::strerror(errno));
        ::close(pipe_fds[0]);
        return nullptr;
    }

    std::vector<unsigned char> answer;
    const bool complete = read_answer(pipe_fds[0], waiter, answer);
    ::close(pipe_fds[0]);
    if (!complete)
        kill_helper(pid);
    const int status = reap_helper(pid, waiter);
    // 127: the loader could not start it, most often for a missing library.
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 127)
        report_unstartable(helper_path_, "exit status 127");
    if (!complete || status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return nullptr;

    auto picture = std::make_shared<tk::Picture>();
    picture->width = static_cast<int>(u32_at(answer.data() + 4));
    picture->height = static_cast<int>(u32_at(answer.data() + 8));
    const std::size_t count =
        static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height);
    picture->argb.reserve(count);
    const unsigned char* pixels = answer.data() + header_size;
    // In slices, with the idle hook between them: a big picture takes a while.
    constexpr std::size_t slice = std::size_t{1} << 18;
    for (std::size_t start = 0; start < count; start += slice) {
        const std::size_t end = std::min(start + slice, count);
        picture->argb.resize(end);
        for (std::size_t i = start; i < end; ++i)
            picture->argb[i] = u32_at(pixels + 4 * i);
        waiter.tick();
    }
    return picture;
}

std::string helper_path_beside(const std::string& exe_dir) {
    if (exe_dir.empty() || exe_dir.back() == '/')
        return exe_dir + "padscreen-decode";
    return exe_dir + "/padscreen-decode";
}

std::string helper_path_for(const std::string& exe_dir) {
    // Beside the program in the build tree; installed, in libexec of the same prefix.
    std::string beside = helper_path_beside(exe_dir);
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    return (std::filesystem::path(helper_path_beside(exe_dir + "/../libexec/padscreen")))
        .lexically_normal()
        .string();
}

std::string default_helper_path() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size())
        return {};
    std::string exe(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return helper_path_for(exe.substr(0, slash + 1));
}

} // namespace picture_decode
