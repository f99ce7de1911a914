// SPDX-License-Identifier: GPL-2.0-or-later
#include "sandbox.h"

#include <fcntl.h>
#include <linux/sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <memory>

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

bool add_rules(scmp_filter_ctx ctx) {
    // Memory, time, threads' own housekeeping, reading, writing to what it holds, exiting.
    for (int syscall :
         {SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(lseek),
          SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(ftruncate), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(newfstatat),
          SCMP_SYS(statx), SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(access), SCMP_SYS(faccessat),
          SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat), SCMP_SYS(getdents64),
          SCMP_SYS(fcntl), SCMP_SYS(dup), SCMP_SYS(poll), SCMP_SYS(ppoll), SCMP_SYS(munmap),
          SCMP_SYS(mremap), SCMP_SYS(brk), SCMP_SYS(madvise), SCMP_SYS(mincore), SCMP_SYS(futex),
          SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
          SCMP_SYS(set_tid_address), SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity),
          SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getppid), SCMP_SYS(getuid),
          SCMP_SYS(geteuid), SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(getrandom),
          SCMP_SYS(uname), SCMP_SYS(getcwd), SCMP_SYS(sysinfo), SCMP_SYS(getrlimit),
          SCMP_SYS(prlimit64), SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
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
    return allow_if(ctx, SCMP_SYS(open), SCMP_A1(SCMP_CMP_MASKED_EQ, write_flags, O_RDONLY)) &&
           allow_if(ctx, SCMP_SYS(openat), SCMP_A2(SCMP_CMP_MASKED_EQ, write_flags, O_RDONLY)) &&
           allow_if(ctx, SCMP_SYS(mmap), SCMP_A2(SCMP_CMP_MASKED_EQ, exec, 0)) &&
           allow_if(ctx, SCMP_SYS(mprotect), SCMP_A2(SCMP_CMP_MASKED_EQ, exec, 0)) &&
           // Threads (Qt may start some) but no processes.
           allow_if(ctx, SCMP_SYS(clone),
                    SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) &&
           // Its own threads may be signalled (abort), nobody else.
           allow_if(ctx, SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, own_pid)) &&
           allow_if(ctx, SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)) &&
           // Answers that make the libraries fall back rather than die: clone3's flags
           // cannot be checked, so threads come through clone; no terminal controls at all.
           refuse(ctx, SCMP_SYS(clone3), ENOSYS) && refuse(ctx, SCMP_SYS(ioctl), ENOTTY) &&
           refuse(ctx, SCMP_SYS(openat2), ENOSYS);
}

} // namespace

bool lock_down() {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    const Filter filter(seccomp_init(SCMP_ACT_KILL_PROCESS), &seccomp_release);
    return filter && add_rules(filter.get()) && seccomp_load(filter.get()) == 0;
}

} // namespace picture_decode
