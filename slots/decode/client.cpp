// SPDX-License-Identifier: GPL-2.0-or-later
#include "client.h"

#include "decode_limits.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>
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
using Helper = HelperPictureLoader::Helper;

constexpr std::size_t answer_size = 12;

std::uint32_t u32_at(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void put_u64(std::vector<unsigned char>& out, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
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

    // Waits until fd is ready for events or the deadline has passed, running the hook
    // meanwhile. False once the deadline has passed or the wait failed.
    bool wait_for(int fd, short events) {
        for (;;) {
            if (expired())
                return false;
            pollfd ready{fd, events, 0};
            const int polled = ::poll(&ready, 1, wait_ms());
            tick();
            if (polled > 0)
                return true;
            if (polled < 0 && errno != EINTR)
                return false;
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

void close_fd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A descriptor moved to 5 or above, so that placing the helper's 0 to 4 never overwrites
// another of them; close-on-exec.
int above_helper_fds(int fd) {
    if (fd < 0 || fd >= 5)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 5);
    ::close(fd);
    return moved;
}

// The helper gets fd 0 = request pipe, 1 and 2 = /dev/null, 3 = answer pipe, 4 = memory
// file for the pixels, nothing else open, its own process group (so a kill reaches
// anything it started) and default signal handling.
pid_t spawn_process(const std::string& path, int request, int answer, int pixels) {
    FileActions actions;
    SpawnAttr attr;
    if (!actions.ok() || !attr.ok())
        return -1;
    if (posix_spawn_file_actions_adddup2(actions.get(), request, 0) != 0 ||
        posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0) != 0 ||
        posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), answer, 3) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), pixels, 4) != 0)
        return -1;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the program opened without close-on-exec must not reach the helper.
    if (posix_spawn_file_actions_addclosefrom_np(actions.get(), 5) != 0)
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

    std::vector<char> path_arg(path.begin(), path.end());
    path_arg.push_back('\0');
    char* argv[] = {path_arg.data(), nullptr};
    pid_t pid = -1;
    if (const int error =
            posix_spawn(&pid, path_arg.data(), actions.get(), attr.get(), argv, environ);
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

// Kills and reaps a helper that is no longer wanted, and closes the program's ends.
void discard(Helper& helper) {
    if (helper.pid > 0) {
        kill_helper(helper.pid);
        while (::waitpid(helper.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    helper.pid = -1;
    close_fd(helper.request);
    close_fd(helper.answer);
    close_fd(helper.pixels);
}

Helper spawn_helper(const std::string& path) {
    Helper helper;
    errno = 0;
    int request[2];
    int answer[2];
    if (path.empty() || ::pipe2(request, O_CLOEXEC) != 0)
        return helper;
    if (::pipe2(answer, O_CLOEXEC) != 0) {
        ::close(request[0]);
        ::close(request[1]);
        return helper;
    }
    helper.request = request[1];
    helper.answer = answer[0];
    // Room for a whole ordinary picture file in one write; the default size is what is left.
    ::fcntl(helper.request, F_SETPIPE_SZ, 1 << 20);
    int theirs[3] = {
        above_helper_fds(request[0]), above_helper_fds(answer[1]),
        above_helper_fds(::memfd_create("padscreen-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING))};
    if (theirs[0] >= 0 && theirs[1] >= 0 && theirs[2] >= 0) {
        helper.pid = spawn_process(path, theirs[0], theirs[1], theirs[2]);
        // Close-on-exec: a helper started meanwhile by another thread must not keep it.
        helper.pixels = ::fcntl(theirs[2], F_DUPFD_CLOEXEC, 0);
    }
    for (int& fd : theirs)
        close_fd(fd);
    if (helper.pid < 0 || helper.pixels < 0 || ::fcntl(helper.request, F_SETFL, O_NONBLOCK) != 0 ||
        ::fcntl(helper.answer, F_SETFL, O_NONBLOCK) != 0) {
        helper.spawn_error = errno != 0 ? errno : EINVAL;
        discard(helper);
    }
    return helper;
}

// Whether a started helper is still there to take a request.
bool alive(Helper& helper) {
    if (helper.pid <= 0)
        return false;
    if (::waitpid(helper.pid, nullptr, WNOHANG) == 0)
        return true;
    helper.pid = -1; // gone, and now reaped
    return false;
}

// Writes without letting a helper that has gone raise SIGPIPE in the program.
ssize_t write_quietly(int fd, const unsigned char* data, std::size_t size) {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool was_pending = sigismember(&pending, SIGPIPE) == 1;
    sigset_t old_mask;
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &old_mask);
    const ssize_t written = ::write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE && !was_pending) {
        const timespec now{0, 0};
        ::sigtimedwait(&pipe_signal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    errno = error;
    return written;
}

bool send_all(int fd, const unsigned char* data, std::size_t size, Waiter& waiter) {
    while (size > 0) {
        const ssize_t written = write_quietly(fd, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        const bool full = written == 0 || errno == EAGAIN || errno == EINTR;
        if (!full || !waiter.wait_for(fd, POLLOUT))
            return false;
    }
    return true;
}

// Reads the answer, which must be exactly answer_size bytes and then the end.
bool read_answer(int fd, Waiter& waiter, unsigned char (&answer)[answer_size]) {
    std::size_t got = 0;
    for (;;) {
        if (!waiter.wait_for(fd, POLLIN))
            return false;
        unsigned char extra;
        const bool complete = got == answer_size;
        const ssize_t n =
            complete ? ::read(fd, &extra, 1) : ::read(fd, answer + got, answer_size - got);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        if (n == 0)
            return complete; // the end: right only after the whole answer
        if (complete)
            return false; // more than announced
        got += static_cast<std::size_t>(n);
    }
}

// Waits for the helper until the deadline, then kills it; always reaps it.
// Returns the wait status, or -1 when it had to be killed or could not be reaped.
int reap_helper(pid_t pid, Waiter& waiter) {
    // Readable once the process has ended: one wake-up, not one per polling step.
    const int exit_fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            status = -1;
            break;
        }
        if (waiter.expired()) {
            kill_helper(pid);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            status = -1;
            break;
        }
        if (exit_fd >= 0) {
            waiter.wait_for(exit_fd, POLLIN);
        } else {
            const timespec pause{0, 1'000'000};
            ::nanosleep(&pause, nullptr);
            waiter.tick();
        }
    }
    if (exit_fd >= 0)
        ::close(exit_fd);
    return status;
}

std::string with_errno(const char* what, int error) {
    return std::string(what) + " (" + std::strerror(error) + ")";
}

// The whole file, read by the program itself; empty when it is not a readable regular
// file of a size the helper takes, and then why is set.
std::vector<unsigned char> read_file(const std::string& path, std::string& why) {
    namespace lf = platform::load_failure;
    std::vector<unsigned char> bytes;
    // Non-blocking, so that a FIFO's open cannot hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        why = with_errno(lf::kCannotOpen, errno);
        return bytes;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        why = with_errno(lf::kCannotOpen, errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = lf::kNotAFile;
    } else if (info.st_size <= 0) {
        why = lf::kEmpty;
    } else if (static_cast<std::uint64_t>(info.st_size) > max_file_bytes) {
        why = lf::kFileTooLarge;
    } else {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                why = with_errno(lf::kCannotOpen, errno);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        if (bytes.empty() && why.empty())
            why = lf::kEmpty;
    }
    ::close(fd);
    return bytes;
}

// Too large: for one picture when the request offered a whole picture's room, else for
// what the budget had left.
const char* too_large(std::size_t room) {
    return room < max_pixel_bytes ? platform::load_failure::kOverBudget
                                  : platform::load_failure::kTooLargeForOne;
}

// Why a helper that gave no picture gave none, from how it ended.
std::string helper_failure(int status, bool timed_out, std::size_t room) {
    namespace lf = platform::load_failure;
    if (timed_out)
        return lf::kTooSlow;
    if (status >= 0 && WIFEXITED(status)) {
        switch (WEXITSTATUS(status)) {
        case exit_not_a_picture:
            return lf::kNotAPicture;
        case exit_too_large:
            return too_large(room);
        case exit_out_of_memory:
            return lf::kTooMuchMemory;
        case 127:
            return lf::kNoDecoder;
        default:
            return lf::kUnreadable;
        }
    }
    if (status >= 0 && WIFSIGNALED(status)) {
        switch (WTERMSIG(status)) {
        case SIGXCPU: // its CPU limit
            return lf::kTooSlow;
        case SIGXFSZ: // its memory file's limit
            return too_large(room);
        default:
            break;
        }
    }
    return lf::kDecoderStopped;
}

// One line on stderr, the only trace of a broken install: the load itself fails silently.
void report_unstartable(const std::string& helper, const char* reason) {
    std::fprintf(stderr, "padscreen: cannot start the picture decoder %s: %s\n", helper.c_str(),
                 reason);
}

void unmap(void* data, std::size_t bytes) { ::munmap(data, bytes); }

// The pixels the helper left in its memory file, mapped read-only as the picture's buffer.
// Sealed before its size is read: any process of the user can reach the file through
// /proc/<program>/fd, and one that shrank it after the check would fault the mapping.
std::shared_ptr<tk::Picture> map_picture(int fd, std::uint32_t width, std::uint32_t height,
                                         const tk::PictureBudget& budget) {
    const std::size_t bytes = std::size_t{width} * height * 4;
    struct stat info {};
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0 ||
        ::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) != bytes)
        return nullptr;
    void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return nullptr;
    auto picture = std::make_shared<tk::Picture>();
    picture->width = static_cast<int>(width);
    picture->height = static_cast<int>(height);
    // Read-only, although the type lets a picture's owner write: nothing does.
    picture->argb = tk::Pixels::adopt(static_cast<std::uint32_t*>(map), bytes / 4, unmap, &budget);
    return picture;
}

} // namespace

HelperPictureLoader::HelperPictureLoader(std::string helper_path, std::chrono::milliseconds timeout)
    : helper_path_(std::move(helper_path)), timeout_(timeout) {}

HelperPictureLoader::~HelperPictureLoader() { discard(ready_); }

void HelperPictureLoader::prepare() {
    if (!alive(ready_)) {
        discard(ready_);
        ready_ = spawn_helper(helper_path_);
    }
}

tk::PicturePtr HelperPictureLoader::load(const std::string& path, tk::PictureBudget& budget) {
    last_status_ = -1;
    last_failure_.clear();
    if (helper_path_.empty()) {
        std::fprintf(stderr, "padscreen: cannot find the picture decoder: own path unknown\n");
        last_failure_ = platform::load_failure::kNoDecoder;
        return nullptr;
    }
    const std::vector<unsigned char> file = read_file(path, last_failure_);
    if (file.empty())
        return nullptr;
    prepare();
    Helper helper = ready_;
    ready_ = Helper();
    if (helper.pid <= 0) {
        report_unstartable(helper_path_, std::strerror(helper.spawn_error));
        last_failure_ = platform::load_failure::kNoDecoder;
        return nullptr;
    }
    std::shared_ptr<tk::Picture> picture = run(helper, file, budget);
    if (picture)
        picture->path = path;
    discard(helper);
    return picture;
}

// What came back from one helper: its answer and how it ended.
struct Exchange {
    bool complete = false;
    bool expired = false; // the deadline passed
    int status = -1;
    unsigned char answer[answer_size] = {};
};

namespace {

// Hands the file to a started helper and waits for its answer and its end. Touches
// nothing but the helper: several may run side by side on threads of their own.
Exchange exchange(HelperPictureLoader::Helper& helper, const std::vector<unsigned char>& file,
                  std::size_t room, bool measure, std::chrono::milliseconds timeout,
                  const std::function<void()>& idle) {
    Exchange ex;
    Waiter waiter(Clock::now() + timeout, idle);
    std::vector<unsigned char> request{'P', 'S', static_cast<unsigned char>(measure ? 'M' : 'Q'),
                                       '1'};
    put_u64(request, room);
    put_u64(request, file.size());
    const bool sent = send_all(helper.request, request.data(), request.size(), waiter) &&
                      send_all(helper.request, file.data(), file.size(), waiter);
    close_fd(helper.request);
    ex.complete = sent && read_answer(helper.answer, waiter, ex.answer);
    if (!ex.complete)
        kill_helper(helper.pid);
    ex.status = reap_helper(helper.pid, waiter);
    ex.expired = waiter.expired();
    helper.pid = -1;
    return ex;
}

} // namespace

std::shared_ptr<tk::Picture> HelperPictureLoader::accept(Helper& helper, const Exchange& ex,
                                                         std::size_t room,
                                                         tk::PictureBudget& budget) {
    last_status_ = ex.status;
    // 127: the loader could not start it, most often for a missing library.
    if (last_status_ >= 0 && WIFEXITED(last_status_) && WEXITSTATUS(last_status_) == 127)
        report_unstartable(helper_path_, "exit status 127");
    if (!ex.complete || last_status_ < 0 || !WIFEXITED(last_status_) ||
        WEXITSTATUS(last_status_) != 0) {
        last_failure_ = helper_failure(last_status_, ex.expired, room);
        return nullptr;
    }
    const std::uint64_t width = u32_at(ex.answer + 4);
    const std::uint64_t height = u32_at(ex.answer + 8);
    if (std::memcmp(ex.answer, "PSD1", 4) != 0 || width == 0 || height == 0 || width > INT32_MAX ||
        height > INT32_MAX) {
        last_failure_ = platform::load_failure::kUnreadable;
        return nullptr;
    }
    if (width * height * 4 > room) {
        last_failure_ = too_large(room);
        return nullptr;
    }
    if (!budget.make_room(width * height * 4)) {
        last_failure_ = platform::load_failure::kOverBudget;
        return nullptr;
    }
    if (measure_only_) {
        auto measured = std::make_shared<tk::Picture>();
        measured->width = static_cast<int>(width);
        measured->height = static_cast<int>(height);
        return measured;
    }
    auto picture = map_picture(helper.pixels, static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height), budget);
    if (!picture)
        last_failure_ = platform::load_failure::kUnreadable;
    return picture;
}

std::shared_ptr<tk::Picture> HelperPictureLoader::run(Helper& helper,
                                                      const std::vector<unsigned char>& file,
                                                      tk::PictureBudget& budget) {
    if (helper.pid <= 0)
        return nullptr;
    // Its own limit, and what the budget has left.
    const std::size_t room = budget.room(max_pixel_bytes);
    const Exchange ex = exchange(helper, file, room, measure_only_, timeout_, idle_);
    return accept(helper, ex, room, budget);
}

std::vector<tk::PicturePtr> HelperPictureLoader::load_all(const std::vector<std::string>& paths,
                                                          tk::PictureBudget& budget) {
    if (paths.size() < 2 || helper_path_.empty())
        return PictureLoader::load_all(paths, budget);
    // Each helper may take what is left now; the budget decides as each answer is taken.
    const std::size_t room = budget.room(max_pixel_bytes);
    struct Job {
        std::vector<unsigned char> file;
        Helper helper;
        Exchange ex;
    };
    std::vector<Job> jobs(paths.size());
    std::string why;
    for (std::size_t k = 0; k < paths.size(); ++k)
        jobs[k].file = read_file(paths[k], why);
    // As many helpers at once as there are cores: more would only share them and bring
    // each nearer its deadline.
    const unsigned workers =
        std::clamp(std::thread::hardware_concurrency(), 1U, static_cast<unsigned>(paths.size()));
    std::atomic<std::size_t> next{0};
    std::atomic<unsigned> running{workers};
    const auto work = [&] {
        for (std::size_t k = next++; k < jobs.size(); k = next++) {
            Job& job = jobs[k];
            if (job.file.empty())
                continue;
            job.helper = spawn_helper(helper_path_);
            if (job.helper.pid > 0)
                job.ex = exchange(job.helper, job.file, room, measure_only_, timeout_, {});
        }
        --running;
    };
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back(work);
    // The window keeps painting meanwhile, as during one load.
    while (running > 0) {
        if (idle_)
            idle_();
        std::this_thread::sleep_for(idle_interval);
    }
    for (std::thread& t : threads)
        t.join();
    std::vector<tk::PicturePtr> out;
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        Job& job = jobs[k];
        std::shared_ptr<tk::Picture> picture;
        if (!job.file.empty() && job.ex.status != -1)
            picture = accept(job.helper, job.ex, room, budget);
        else
            last_failure_ = platform::load_failure::kUnreadable;
        if (picture)
            picture->path = paths[k];
        discard(job.helper);
        out.push_back(std::move(picture));
    }
    return out;
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
