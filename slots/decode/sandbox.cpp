// SPDX-License-Identifier: GPL-2.0-or-later
#include "sandbox.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <linux/sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PADSCREEN_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PADSCREEN_SANITIZED 1
#endif
#endif

namespace picture_decode {
namespace {

using Filter = std::unique_ptr<void, decltype(&seccomp_release)>;

bool allow(scmp_filter_ctx ctx, int syscall) {
    return seccomp_rule_add(ctx, SCMP_ACT_ALLOW, syscall, 0) == 0;
}

template <class... Args> bool allow_if(scmp_filter_ctx ctx, int syscall, Args... conditions) {
    return seccomp_rule_add(ctx, SCMP_ACT_ALLOW, syscall, sizeof...(Args), conditions...) == 0;
}

bool refuse(scmp_filter_ctx ctx, int syscall, int error) {
    return seccomp_rule_add(ctx, SCMP_ACT_ERRNO(static_cast<std::uint32_t>(error)), syscall, 0) ==
           0;
}

// The descriptor commands the libraries use; not F_SETOWN, F_SETSIG or O_ASYNC, through
// which a descriptor signals any process, nor locks or leases.
bool allow_fcntl(scmp_filter_ctx ctx) {
    for (const int command : {F_GETFD, F_SETFD, F_GETFL, F_DUPFD, F_DUPFD_CLOEXEC})
        if (!allow_if(ctx, SCMP_SYS(fcntl), SCMP_A1(SCMP_CMP_EQ, scmp_datum_t(command))))
            return false;
    return allow_if(ctx, SCMP_SYS(fcntl), SCMP_A1(SCMP_CMP_EQ, scmp_datum_t(F_SETFL)),
                    SCMP_A2(SCMP_CMP_MASKED_EQ, scmp_datum_t(O_ASYNC), 0));
}

bool add_rules(scmp_filter_ctx ctx, bool paths_restricted) {
    // Memory, time, threads' own housekeeping, reading, writing to what it holds, exiting.
    for (int syscall :
         {SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(lseek),
          SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(ftruncate), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(newfstatat),
          SCMP_SYS(statx), SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(access), SCMP_SYS(faccessat),
          SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(getdents64),
          SCMP_SYS(dup), SCMP_SYS(poll), SCMP_SYS(ppoll), SCMP_SYS(munmap),
          SCMP_SYS(mremap), SCMP_SYS(brk), SCMP_SYS(madvise), SCMP_SYS(mincore), SCMP_SYS(futex),
          SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
          SCMP_SYS(set_tid_address), SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity),
          SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getppid), SCMP_SYS(getuid),
          SCMP_SYS(geteuid), SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(getrandom),
          SCMP_SYS(uname), SCMP_SYS(getcwd), SCMP_SYS(sysinfo), SCMP_SYS(getrlimit),
          SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
          SCMP_SYS(gettimeofday), SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep),
          SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn),
          SCMP_SYS(sigaltstack), SCMP_SYS(eventfd2), SCMP_SYS(restart_syscall), SCMP_SYS(exit),
          SCMP_SYS(exit_group)})
        if (!allow(ctx, syscall))
            return false;
#ifdef PADSCREEN_SANITIZED
    // Sanitizer builds only: the sanitizer runtime tests whether memory is readable by
    // writing it into a pipe of its own.
    if (!allow(ctx, SCMP_SYS(pipe)) || !allow(ctx, SCMP_SYS(pipe2)))
        return false;
#endif

    // Opening only to read: no file is created, truncated or written.
    const scmp_datum_t write_flags = O_ACCMODE | O_CREAT | O_TRUNC | O_APPEND;
    // No memory becomes executable: every library it runs was loaded before.
    const scmp_datum_t exec = PROT_EXEC;
    const auto own_pid = static_cast<scmp_datum_t>(::getpid());
    const bool opens =
        paths_restricted
            ? allow_if(ctx, SCMP_SYS(open), SCMP_A1(SCMP_CMP_MASKED_EQ, write_flags, O_RDONLY)) &&
                  allow_if(ctx, SCMP_SYS(openat),
                           SCMP_A2(SCMP_CMP_MASKED_EQ, write_flags, O_RDONLY))
            : refuse(ctx, SCMP_SYS(open), EACCES) && refuse(ctx, SCMP_SYS(openat), EACCES);
    return opens &&
           allow_if(ctx, SCMP_SYS(mmap), SCMP_A2(SCMP_CMP_MASKED_EQ, exec, 0)) &&
           allow_if(ctx, SCMP_SYS(mprotect), SCMP_A2(SCMP_CMP_MASKED_EQ, exec, 0)) &&
           // Threads (Qt may start some) but no processes.
           allow_if(ctx, SCMP_SYS(clone),
                    SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) &&
           // Its own threads may be signalled (abort), nobody else.
           allow_if(ctx, SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, own_pid)) &&
           allow_if(ctx, SCMP_SYS(kill), SCMP_A0(SCMP_CMP_EQ, own_pid)) &&
           // Its own limits may be read, never set: all were set before.
           allow_if(ctx, SCMP_SYS(prlimit64), SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A2(SCMP_CMP_EQ, 0)) &&
           allow_if(ctx, SCMP_SYS(prlimit64), SCMP_A0(SCMP_CMP_EQ, own_pid),
                    SCMP_A2(SCMP_CMP_EQ, 0)) &&
           allow_fcntl(ctx) &&
           allow_if(ctx, SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)) &&
           // Answers that make the libraries fall back rather than die: clone3's flags
           // cannot be checked, so threads come through clone; no terminal controls at all.
           refuse(ctx, SCMP_SYS(clone3), ENOSYS) && refuse(ctx, SCMP_SYS(ioctl), ENOTTY) &&
           refuse(ctx, SCMP_SYS(openat2), ENOSYS);
}

// ---- Landlock: the file system, beyond the folders given, out of reach -------------

// The kernel's structure as of its sixth version; older kernels take a prefix of it.
struct RulesetAttr {
    std::uint64_t handled_access_fs;
    std::uint64_t handled_access_net;
    std::uint64_t scoped;
};
constexpr std::uint64_t fs_read_file = 1ULL << 2;
constexpr std::uint64_t fs_read_dir = 1ULL << 3;
constexpr std::uint64_t fs_refer = 1ULL << 13;
constexpr std::uint64_t fs_truncate = 1ULL << 14;
constexpr std::uint64_t fs_ioctl_dev = 1ULL << 15;
constexpr std::uint64_t net_tcp = 3; // bind and connect
constexpr std::uint64_t scope_abstract_sockets_and_signals = 3;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Landlock's ABI version, 0 when the kernel has none.
int landlock_abi() {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0,
                               LANDLOCK_CREATE_RULESET_VERSION);
    return abi < 0 ? 0 : static_cast<int>(abi);
}

bool restrict_paths(int abi, const std::vector<std::string>& readable) {
    RulesetAttr attr{(1ULL << 13) - 1, 0, 0}; // every right of the first version
    std::size_t size = sizeof attr.handled_access_fs;
    if (abi >= 2)
        attr.handled_access_fs |= fs_refer;
    if (abi >= 3)
        attr.handled_access_fs |= fs_truncate;
    if (abi >= 4) {
        attr.handled_access_net = net_tcp;
        size += sizeof attr.handled_access_net;
    }
    if (abi >= 5)
        attr.handled_access_fs |= fs_ioctl_dev;
    if (abi >= 6) {
        // Signals to processes outside the sandbox, F_SETOWN's included.
        attr.scoped = scope_abstract_sockets_and_signals;
        size += sizeof attr.scoped;
    }
    const Fd ruleset(static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, size, 0)));
    if (ruleset.get() < 0)
        return false;
    for (const std::string& folder : readable) {
        const Fd where(::open(folder.c_str(), O_PATH | O_CLOEXEC | O_DIRECTORY));
        if (where.get() < 0)
            continue; // not on this machine
        landlock_path_beneath_attr rule{};
        rule.allowed_access = fs_read_file | fs_read_dir;
        rule.parent_fd = where.get();
        if (::syscall(SYS_landlock_add_rule, ruleset.get(), LANDLOCK_RULE_PATH_BENEATH, &rule, 0) !=
            0)
            return false;
    }
    return ::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) == 0;
}

// Whether restrict_files could limit paths; its forked children build their filter on it.
bool paths_restricted = false;

} // namespace

bool restrict_files(const std::vector<std::string>& readable) {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    // Without Landlock no path at all can be opened.
    const int abi = landlock_abi();
    if (abi > 0 && !restrict_paths(abi, readable))
        return false;
    paths_restricted = abi > 0;
    return true;
}

void prepare_restrict_calls() {
    const Filter filter(seccomp_init(SCMP_ACT_KILL_PROCESS), &seccomp_release);
    if (filter)
        add_rules(filter.get(), paths_restricted);
}

bool restrict_calls() {
    const Filter filter(seccomp_init(SCMP_ACT_KILL_PROCESS), &seccomp_release);
    return filter && add_rules(filter.get(), paths_restricted) && seccomp_load(filter.get()) == 0;
}

} // namespace picture_decode
