// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace picture_decode {

// Locks the calling process down for good: no new privileges, and a seccomp filter that
// lets it use memory and threads, read what it has or can open read-only, write to the
// descriptors it was given, and exit. Anything else (opening for writing, execve, new
// processes, sockets, signals to others) kills it with SIGSYS. False when the kernel
// refused; the caller must not go on then.
bool lock_down();

} // namespace picture_decode
