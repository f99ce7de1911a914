// SPDX-License-Identifier: GPL-2.0-or-later
#include "client.h"

#include "decode_limits.h"
#include "serve.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace picture_decode {
namespace {

using Clock = std::chrono::steady_clock;
using Server = HelperPictureLoader::Server;

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

// The helper gets fd 3 = its end of the socket, 0 to 2 and 4 = /dev/null (so that nothing
// it opens takes a number its children need), nothing else open, its own process group (so
// a kill reaches every child it forked) and default signal handling.
pid_t spawn_process(const std::string& path, bool fonts, int control) {
    FileActions actions;
    SpawnAttr attr;
    if (!actions.ok() || !attr.ok())
        return -1;
    if (posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0) != 0 ||
        posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), control, control_fd) != 0 ||
        posix_spawn_file_actions_addopen(actions.get(), 4, "/dev/null", O_RDONLY, 0) != 0)
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
    std::string serve(serve_argument);
    std::string no_fonts(no_fonts_argument);
    char* argv[] = {path_arg.data(), serve.data(), fonts ? nullptr : no_fonts.data(), nullptr};
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

// Kills and reaps a helper that is no longer wanted, with any child of its, and closes
// the program's end.
void discard(Server& server) {
    if (server.pid > 0) {
        kill_helper(server.pid);
        while (::waitpid(server.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    server.pid = -1;
    close_fd(server.control);
}

Server start_server(const std::string& path, bool fonts) {
    Server server;
    server.fonts = fonts;
    errno = 0;
    int ends[2];
    if (path.empty() || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        server.spawn_error = errno != 0 ? errno : ENOENT;
        return server;
    }
    server.control = ends[0];
    int theirs = above_helper_fds(ends[1]);
    if (theirs >= 0)
        server.pid = spawn_process(path, fonts, theirs);
    if (server.pid < 0)
        server.spawn_error = errno != 0 ? errno : EINVAL;
    close_fd(theirs);
    if (server.pid < 0)
        discard(server);
    return server;
}

// Whether a started helper is still there to take a request.
bool alive(Server& server) {
    if (server.pid <= 0)
        return false;
    if (::waitpid(server.pid, nullptr, WNOHANG) == 0)
        return true;
    server.pid = -1; // gone, and now reaped
    close_fd(server.control);
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

// Waits for a helper that stopped serving until the deadline, then kills it; clears its
// process group of any child left behind and reaps it. Returns its wait status, or -1
// when it had to be killed or could not be reaped.
int reap_helper(pid_t pid, Waiter& waiter) {
    // Readable once the process has ended: one wake-up, not one per polling step.
    const int exit_fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    int status = -1;
    for (;;) {
        siginfo_t info{};
        // Left unreaped: while it is a zombie, its group cannot be anybody else's.
        const int done =
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (done == 0 && info.si_pid == pid) {
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (done < 0 && errno != EINTR)
            break;
        if (waiter.expired()) {
            kill_helper(pid);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
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

// The file, read by the program itself: its first `most` bytes, *cut set when there were
// more. Empty when it is not a readable regular file of a size the helper takes, and then
// why is set.
std::vector<unsigned char> read_file(const std::string& path, std::string& why,
                                     std::size_t most = max_file_bytes, bool* cut = nullptr) {
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
        const auto size = static_cast<std::size_t>(info.st_size);
        bytes.resize(std::min(size, most));
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
        if (cut)
            *cut = got < size;
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

// One picture's descriptors: the program's ends of its pipes and its memory file, and the
// child's ends, which go to the helper.
struct Channels {
    int request = -1; // write end
    int answer = -1;  // read end
    int pixels = -1;
    int theirs[request_descriptors] = {-1, -1, -1};

    bool open() {
        int request_pipe[2];
        int answer_pipe[2];
        if (::pipe2(request_pipe, O_CLOEXEC) != 0)
            return false;
        request = request_pipe[1];
        theirs[0] = request_pipe[0];
        if (::pipe2(answer_pipe, O_CLOEXEC) != 0)
            return false;
        answer = answer_pipe[0];
        theirs[1] = answer_pipe[1];
        pixels = ::memfd_create("padscreen-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        theirs[2] = pixels;
        // Room for a whole ordinary picture file in one write; the default size is what is
        // left.
        ::fcntl(request, F_SETPIPE_SZ, 1 << 20);
        return pixels >= 0 && ::fcntl(request, F_SETFL, O_NONBLOCK) == 0 &&
               ::fcntl(answer, F_SETFL, O_NONBLOCK) == 0;
    }
    // The child's ends, once the helper has its own copies (the memory file stays ours).
    void close_theirs() {
        close_fd(theirs[0]);
        close_fd(theirs[1]);
        theirs[2] = -1;
    }
    ~Channels() {
        close_theirs();
        close_fd(request);
        close_fd(answer);
        close_fd(pixels);
    }
};

bool hand_over(int control, const int (&fds)[request_descriptors]) {
    RequestMessage request(sizeof request_tag);
    std::memcpy(request.tag, request_tag, sizeof request_tag);
    cmsghdr* rights = CMSG_FIRSTHDR(&request.header);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof fds);
    std::memcpy(CMSG_DATA(rights), fds, sizeof fds);
    ssize_t sent = -1;
    do {
        sent = ::sendmsg(control, &request.header, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(sizeof request_tag);
}

// The child's wait status as the helper reports it once the child has ended. A helper that
// gives none by the deadline, or something else, is killed (-1); one that ended by itself
// gives its own status. Either way it is gone afterwards.
int child_status(Server& server, Waiter& waiter) {
    while (waiter.wait_for(server.control, POLLIN)) {
        unsigned char report[report_size + 1];
        const ssize_t n = ::recv(server.control, report, sizeof report, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n == report_size && std::memcmp(report, report_tag, sizeof report_tag) == 0)
            return static_cast<int>(u32_at(report + 4));
        if (n <= 0) { // it ended (a reset: with a request unread)
            const int status = reap_helper(server.pid, waiter);
            server.pid = -1;
            discard(server);
            return status;
        }
        break;
    }
    discard(server);
    return -1;
}

// Opens one request's channels and hands the child's ends to a started server. False when
// there are no descriptors left, or when the server is gone: then status is what its own end
// tells of why.
bool begin_request(Server& server, Channels& channels, Waiter& waiter, int& status) {
    if (!channels.open())
        return false;
    if (!hand_over(server.control, channels.theirs)) {
        status = child_status(server, waiter);
        return false;
    }
    channels.close_theirs();
    return true;
}

} // namespace

// What came back for one picture: the answer, how its child ended, and the memory file.
struct Exchange {
    bool complete = false;
    bool expired = false; // the deadline passed
    int status = -1;
    int spawn_error = 0; // the helper could not be started
    unsigned char answer[answer_size] = {};
    // The memory file, closed with the exchange.
    class Pixels {
    public:
        Pixels() = default;
        explicit Pixels(int fd) : fd_(fd) {}
        Pixels(Pixels&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
        Pixels& operator=(Pixels&& other) noexcept {
            std::swap(fd_, other.fd_);
            return *this;
        }
        Pixels(const Pixels&) = delete;
        Pixels& operator=(const Pixels&) = delete;
        ~Pixels() {
            if (fd_ >= 0)
                ::close(fd_);
        }
        int get() const { return fd_; }

    private:
        int fd_ = -1;
    } pixels;
};

namespace {

// Hands the file to a started helper and waits for its child's answer and end. Touches
// nothing but that helper: several may work side by side on threads of their own.
Exchange exchange(Server& server, const std::vector<unsigned char>& file, std::size_t room,
                  bool measure, std::chrono::milliseconds timeout,
                  const std::function<void()>& idle) {
    Exchange ex;
    if (server.pid <= 0) {
        ex.spawn_error = server.spawn_error;
        return ex;
    }
    Waiter waiter(Clock::now() + timeout, idle);
    Channels channels;
    if (!begin_request(server, channels, waiter, ex.status))
        return ex;
    std::vector<unsigned char> request{'P', 'S', static_cast<unsigned char>(measure ? 'M' : 'Q'),
                                       '1'};
    put_u64(request, room);
    put_u64(request, file.size());
    const bool sent = send_all(channels.request, request.data(), request.size(), waiter) &&
                      send_all(channels.request, file.data(), file.size(), waiter);
    close_fd(channels.request);
    ex.complete = sent && read_answer(channels.answer, waiter, ex.answer);
    ex.status = child_status(server, waiter);
    ex.expired = waiter.expired();
    ex.pixels = Exchange::Pixels(std::exchange(channels.pixels, -1));
    return ex;
}

bool exited_with(const Exchange& ex, int code) {
    return ex.status >= 0 && WIFEXITED(ex.status) && WEXITSTATUS(ex.status) == code;
}

// Refused for want of the room it was let take.
bool refused_for_room(const Exchange& ex) {
    return exited_with(ex, exit_too_large) ||
           (ex.status >= 0 && WIFSIGNALED(ex.status) && WTERMSIG(ex.status) == SIGXFSZ);
}

// The server in a slot, started anew when it is not there or of the other kind.
Server& ready(Server& server, const std::string& path, bool fonts) {
    if (server.fonts != fonts || !alive(server)) {
        discard(server);
        server = start_server(path, fonts);
    }
    return server;
}

// Measuring reads no more of a file than a header takes, as a rule: a photograph's size
// comes before its pixels, within the metadata.
constexpr std::size_t measure_prefix = std::size_t{256} << 10;

// What a picture's file gives the helper: its bytes (while measuring, maybe its first ones
// only), or why there are none.
struct Source {
    std::vector<unsigned char> bytes;
    bool cut = false;
    std::string why;

    Source(const std::string& path, bool measure)
        : Source(path, measure ? measure_prefix : max_file_bytes) {}
    Source(const std::string& path, std::size_t most) { bytes = read_file(path, why, most, &cut); }
};

// How the loader talks to its helpers.
struct Settings {
    const std::string& helper;
    bool measure;
    std::chrono::milliseconds timeout;
};

// One picture through the server in a slot, unless measured already. A measure from the
// file's first bytes that could not be read is made again with the whole file.
Exchange send(Server& server, const Settings& settings, const std::string& path, Source& source,
              std::size_t room, const std::function<void()>& idle,
              std::optional<Exchange> measured = std::nullopt) {
    Exchange ex = measured ? std::move(*measured)
                           : exchange(ready(server, settings.helper, !settings.measure),
                                      source.bytes, room, settings.measure, settings.timeout, idle);
    if (source.cut && exited_with(ex, exit_unreadable)) {
        source = Source(path, false);
        if (!source.bytes.empty())
            ex = exchange(ready(server, settings.helper, !settings.measure), source.bytes, room,
                          settings.measure, settings.timeout, idle);
    }
    return ex;
}

// A picture that a helper without fonts could not measure goes to one with fonts.
void measure_with_fonts(Exchange& ex, Server& fonted, const Settings& settings,
                        const std::string& path, Source& source, std::size_t room,
                        const std::function<void()>& idle) {
    if (!settings.measure || !exited_with(ex, exit_needs_fonts))
        return;
    if (source.cut)
        source = Source(path, false);
    if (!source.bytes.empty())
        ex = exchange(ready(fonted, settings.helper, true), source.bytes, room, true,
                      settings.timeout, idle);
}

// Measured together, pictures go with fewer of their first bytes: first with a few, enough for
// most pictures' headers, which keeps a design's run from copying megabytes it never reads;
// those cut short that padscreen-measure could not tell then go again with room for two of a
// JPEG's largest segments, the metadata before most photographs' frame header. One whose
// header lies further goes alone, as it would have anyway.
constexpr std::size_t together_first = std::size_t{16} << 10;
constexpr std::size_t together_prefix = std::size_t{128} << 10;

// At most this many pictures are measured together: their answers then fit in the answer
// pipe, so the child never waits for the program, which reads them once all are sent.
constexpr std::size_t together_at_most = 64;

// Reads one answer among pictures measured together: a size, or the exit status the
// picture's own child would have ended with. The program takes those as they are, into
// *taken; for any other outcome the picture goes to a child of its own (nothing taken).
// False when the answer is malformed.
bool answer_among(const unsigned char* at, std::optional<Exchange>& taken) {
    const std::uint32_t first = u32_at(at + 4);
    const std::uint32_t second = u32_at(at + 8);
    if (std::memcmp(at, "PSD1", 4) == 0) {
        if (first == 0 || second == 0 || first > INT32_MAX || second > INT32_MAX)
            return false;
        taken.emplace().complete = true;
        taken->status = 0;
        std::memcpy(taken->answer, at, answer_size);
        return true;
    }
    if (std::memcmp(at, "PSR1", 4) != 0 || second != 0 || first < exit_unreadable ||
        first > exit_takes_decoding)
        return false;
    // Memory, and decoding, only a child of its own can speak for.
    if (first != exit_out_of_memory && first != exit_takes_decoding)
        taken.emplace().status = W_EXITCODE(static_cast<int>(first), 0);
    return true;
}

// Measures the files' first bytes in one child of the server, one answer a picture. Fills
// measured[k] for the pictures answered before the child ended, hung or misbehaved; when it
// did not end cleanly, its last answer is left out too, as a lone child's answer would be.
void measure_together(Server& server, const std::vector<const Source*>& files, std::size_t room,
                      std::chrono::milliseconds timeout, const std::function<void()>& idle,
                      std::optional<Exchange>* measured) {
    if (server.pid <= 0)
        return;
    Waiter waiter(Clock::now() + timeout, idle);
    Channels channels;
    int gone = -1;
    if (!begin_request(server, channels, waiter, gone))
        return;
    std::vector<unsigned char> request{'P', 'S', 'B', '1'};
    put_u64(request, room);
    put_u64(request, files.size());
    bool sent = send_all(channels.request, request.data(), request.size(), waiter);
    for (const Source* file : files) {
        request.clear();
        put_u64(request, file->bytes.size());
        sent = sent && send_all(channels.request, request.data(), request.size(), waiter) &&
               send_all(channels.request, file->bytes.data(), file->bytes.size(), waiter);
    }
    close_fd(channels.request);
    // What came before the child ended or the deadline passed; one byte more than the
    // answers, to tell an answer too long.
    std::vector<unsigned char> answers(files.size() * answer_size + 1);
    std::size_t got = 0;
    bool ended = false;
    while (got < answers.size()) {
        const ssize_t n = ::read(channels.answer, answers.data() + got, answers.size() - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n == 0)
            ended = true;
        else if (errno == EINTR || (errno == EAGAIN && waiter.wait_for(channels.answer, POLLIN)))
            continue;
        if (n <= 0)
            break;
    }
    const int status = child_status(server, waiter);
    const bool clean = sent && ended && got == files.size() * answer_size && status == 0;
    std::size_t k = 0;
    while (k < got / answer_size && k < files.size() &&
           answer_among(&answers[k * answer_size], measured[k]))
        ++k;
    if (!clean && k > 0 && k == got / answer_size)
        measured[k - 1].reset();
}

} // namespace

HelperPictureLoader::HelperPictureLoader(std::string helper_path, std::chrono::milliseconds timeout)
    : helper_path_(std::move(helper_path)), timeout_(timeout) {}

HelperPictureLoader::~HelperPictureLoader() {
    for (Server& server : servers_)
        discard(server);
    discard(fonted_);
    discard(measurer_);
}

void HelperPictureLoader::prepare() {
    if (measure_only_ && !measure_helper_.empty()) {
        // Its only argument, --serve, is what a helper with fonts is started with.
        ready(measurer_, measure_helper_, true);
        return;
    }
    if (servers_.empty())
        servers_.resize(1);
    ready(servers_[0], helper_path_, !measure_only_);
}

tk::PicturePtr HelperPictureLoader::load(const std::string& path, tk::PictureBudget& budget) {
    last_status_ = -1;
    last_failure_.clear();
    if (helper_path_.empty()) {
        std::fprintf(stderr, "padscreen: cannot find the picture decoder: own path unknown\n");
        last_failure_ = platform::load_failure::kNoDecoder;
        return nullptr;
    }
    if (measure_only_ && !measure_helper_.empty()) {
        return measure_all({path}, budget, {})[0];
    }
    Source source(path, measure_only_);
    if (source.bytes.empty()) {
        last_failure_ = source.why;
        return nullptr;
    }
    if (servers_.empty())
        servers_.resize(1);
    // Its own limit, and what the budget has left.
    const std::size_t room = budget.room(max_pixel_bytes);
    const Settings settings{helper_path_, measure_only_, timeout_};
    Exchange ex = send(servers_[0], settings, path, source, room, idle_);
    measure_with_fonts(ex, fonted_, settings, path, source, room, idle_);
    std::shared_ptr<tk::Picture> picture = accept(ex, room, budget);
    if (picture)
        picture->path = path;
    return picture;
}

std::shared_ptr<tk::Picture> HelperPictureLoader::accept(const Exchange& ex, std::size_t room,
                                                         tk::PictureBudget& budget) {
    last_status_ = ex.status;
    if (ex.spawn_error != 0) {
        report_unstartable(helper_path_, std::strerror(ex.spawn_error));
        last_failure_ = platform::load_failure::kNoDecoder;
        return nullptr;
    }
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
    auto picture = map_picture(ex.pixels.get(), static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height), budget);
    if (!picture)
        last_failure_ = platform::load_failure::kUnreadable;
    return picture;
}

std::vector<tk::PicturePtr> HelperPictureLoader::load_all(const std::vector<std::string>& paths,
                                                          tk::PictureBudget& budget,
                                                          const platform::LoadProgress& progress) {
    if (paths.size() < 2 || helper_path_.empty())
        return PictureLoader::load_all(paths, budget, progress);
    if (measure_only_)
        return measure_all(paths, budget, progress);
    struct Job {
        Source source;
        Exchange ex;
        std::size_t room = 0; // what its child was let take
        std::string why;
        bool alone = false; // refused for room others held: goes again once they are done
    };
    std::vector<Job> jobs;
    jobs.reserve(paths.size());
    for (const std::string& path : paths)
        jobs.push_back({Source(path, measure_only_), {}, 0, {}, false});
    // As many helpers at once as there are cores: more would only share them and bring
    // each nearer its deadline. Each serves one thread. Measures are reads of a header, done
    // in turn by one helper sooner than another could set itself up.
    const unsigned cores = measure_only_ ? 1U : std::thread::hardware_concurrency();
    const unsigned workers = std::clamp(cores, 1U, static_cast<unsigned>(paths.size()));
    servers_.resize(std::max<std::size_t>(servers_.size(), workers));
    const Settings settings{helper_path_, measure_only_, timeout_};
    // The children in flight and the pictures taken share the budget: a child is let take
    // only what the others have not been promised, so memory never goes past it, whatever
    // the pictures. One refused for want of what the others held goes again once they are
    // done, alone. Answers are taken on this thread as they come, and a refused one's
    // memory file is closed at once.
    std::mutex lock;
    std::condition_variable changed;
    std::size_t left = budget.room(SIZE_MAX); // what the budget has, as this thread last saw
    std::size_t promised = 0;
    std::deque<std::size_t> todo;
    for (std::size_t k = 0; k < jobs.size(); ++k)
        todo.push_back(k);
    std::size_t unsettled = jobs.size();
    bool stopped = false;
    unsigned running = workers;
    std::vector<std::size_t> arrived;
    std::vector<pid_t> serving(workers, -1); // each worker's helper while it decodes
    const auto work = [&](Server& server, std::size_t w) {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            changed.wait(hold, [&] {
                // Answers in hand first: until taken, they still hold their promise.
                return stopped || unsettled == 0 ||
                       (arrived.empty() && !todo.empty() &&
                        (!jobs[todo.front()].alone || promised == 0));
            });
            if (stopped || unsettled == 0)
                break;
            const std::size_t k = todo.front();
            todo.pop_front();
            Job& job = jobs[k];
            if (!job.source.bytes.empty()) {
                job.room = std::min(max_pixel_bytes, left - std::min(left, promised));
                promised += job.room;
                serving[w] = ready(server, settings.helper, !settings.measure).pid;
                hold.unlock();
                job.ex = send(server, settings, paths[k], job.source, job.room, {});
                hold.lock();
                serving[w] = -1;
            }
            arrived.push_back(k);
            changed.notify_all();
        }
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back(work, std::ref(servers_[w]), w);
    std::vector<std::shared_ptr<tk::Picture>> taken(paths.size());
    {
        // The window keeps painting meanwhile, as during one load.
        std::unique_lock<std::mutex> hold(lock);
        std::size_t done = 0;
        while (running > 0 || !arrived.empty()) {
            if (!stopped && !progress.go_on(done, paths.size())) {
                // What is in hand goes: the helpers decoding go with their children, and
                // the next load starts others.
                stopped = true;
                for (const pid_t pid : serving)
                    if (pid > 0)
                        kill_helper(pid);
                changed.notify_all();
            }
            if (arrived.empty()) {
                if (!changed.wait_for(hold, idle_interval,
                                      [&] { return !arrived.empty() || running == 0; }) &&
                    idle_) {
                    hold.unlock();
                    idle_();
                    hold.lock();
                }
                continue;
            }
            const std::size_t k = arrived.back();
            arrived.pop_back();
            Job& job = jobs[k];
            bool again = false;
            if (!stopped && !job.source.bytes.empty()) {
                hold.unlock();
                measure_with_fonts(job.ex, fonted_, settings, paths[k], job.source, job.room,
                                   idle_);
                again = !job.alone && refused_for_room(job.ex) &&
                        job.room < budget.room(max_pixel_bytes);
                if (!again) {
                    last_failure_.clear();
                    taken[k] = accept(job.ex, job.room, budget);
                    job.why = last_failure_;
                }
                const std::size_t now_left = budget.room(SIZE_MAX);
                hold.lock();
                left = now_left;
            }
            job.ex = Exchange(); // its memory file: mapped by the picture, or given back now
            promised -= job.room;
            job.room = 0;
            if (again) {
                job.alone = true;
                todo.push_back(k);
            } else {
                --unsettled;
                ++done;
            }
            changed.notify_all();
        }
    }
    for (std::thread& t : threads)
        t.join();
    if (stopped)
        return {};
    std::vector<tk::PicturePtr> out;
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        if (taken[k])
            taken[k]->path = paths[k];
        else if (jobs[k].source.bytes.empty())
            last_failure_ = jobs[k].source.why;
        else
            last_failure_ = jobs[k].why;
        out.push_back(std::move(taken[k]));
    }
    return out;
}

std::vector<tk::PicturePtr>
HelperPictureLoader::measure_all(const std::vector<std::string>& paths, tk::PictureBudget& budget,
                                 const platform::LoadProgress& progress) {
    if (servers_.empty())
        servers_.resize(1);
    Server& server = servers_[0]; // started when a picture needs it
    const Settings settings{helper_path_, true, timeout_};
    // Measured pictures hold no memory: each has the room of the first.
    const std::size_t room = budget.room(max_pixel_bytes);
    std::vector<Source> sources;
    sources.reserve(paths.size());
    for (const std::string& path : paths)
        sources.emplace_back(path, measure_helper_.empty() ? together_prefix : together_first);
    std::vector<const Source*> readable;
    std::vector<std::size_t> at; // where each readable one stands among the paths
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (!sources[k].bytes.empty()) {
            readable.push_back(&sources[k]);
            at.push_back(k);
        }
    }
    std::vector<std::optional<Exchange>> measured(readable.size());
    std::vector<std::size_t> open(readable.size()); // those not measured yet
    for (std::size_t j = 0; j < open.size(); ++j)
        open[j] = j;
    // Those of `which`, in groups of at most together_at_most, through the server in that slot.
    const auto together = [&](const std::vector<std::size_t>& which, Server& slot,
                              const std::string& path, bool fonts) {
        for (std::size_t first = 0; first < which.size(); first += together_at_most) {
            const std::size_t last = std::min(which.size(), first + together_at_most);
            std::vector<const Source*> files;
            for (std::size_t i = first; i < last; ++i)
                files.push_back(readable[which[i]]);
            std::vector<std::optional<Exchange>> answers(files.size());
            measure_together(ready(slot, path, fonts), files, room, timeout_, idle_,
                             answers.data());
            for (std::size_t i = first; i < last; ++i)
                measured[which[i]] = std::move(answers[i - first]);
        }
    };
    // Through padscreen-measure, which only ever tells sizes: whatever else it said,
    // padscreen-decode says again. Those it could not tell stay open.
    const auto measure_slim = [&](const std::vector<std::size_t>& which) {
        together(which, measurer_, measure_helper_, true);
        for (const std::size_t j : which) {
            if (measured[j] && !measured[j]->complete)
                measured[j].reset();
            if (!measured[j])
                open.push_back(j);
        }
    };
    if (!measure_helper_.empty() && !readable.empty()) {
        measure_slim(std::exchange(open, {}));
        // Those cut short go again with more of their first bytes.
        std::vector<std::size_t> cut;
        for (const std::size_t j : std::exchange(open, {})) {
            if (!sources[at[j]].cut) {
                open.push_back(j);
                continue;
            }
            sources[at[j]] = Source(paths[at[j]], together_prefix);
            cut.push_back(j);
        }
        if (!cut.empty())
            measure_slim(cut);
        std::sort(open.begin(), open.end());
    }
    if (!open.empty())
        together(open, server, helper_path_, false);
    std::vector<tk::PicturePtr> out(paths.size());
    std::string failure;
    for (std::size_t j = 0, k = 0; k < paths.size(); ++k) {
        if (!progress.go_on(k, paths.size()))
            return {};
        Source& source = sources[k];
        std::optional<Exchange> answer;
        if (j < at.size() && at[j] == k) {
            answer = std::move(measured[j++]);
            // Alone, it goes with as many first bytes as a lone measure does.
            if (source.cut && (!answer || exited_with(*answer, exit_unreadable))) {
                source = Source(paths[k], true);
                answer.reset();
            }
        }
        if (source.bytes.empty()) {
            failure = source.why;
            continue;
        }
        Exchange ex = send(server, settings, paths[k], source, room, idle_, std::move(answer));
        measure_with_fonts(ex, fonted_, settings, paths[k], source, room, idle_);
        last_failure_.clear();
        std::shared_ptr<tk::Picture> picture = accept(ex, room, budget);
        if (picture)
            picture->path = paths[k];
        else
            failure = last_failure_;
        out[k] = std::move(picture);
    }
    last_failure_ = failure;
    return out;
}

std::string helper_path_beside(const std::string& exe_dir) {
    if (exe_dir.empty() || exe_dir.back() == '/')
        return exe_dir + "padscreen-decode";
    return exe_dir + "/padscreen-decode";
}

std::string measure_helper_beside(const std::string& helper_path) {
    const auto slash = helper_path.rfind('/');
    return helper_path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "padscreen-measure";
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
