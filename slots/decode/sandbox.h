// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

namespace picture_decode {

// Locks the calling process down for good: no new privileges; a Landlock ruleset under
// which it may read files beneath the folders given and nothing else of the file system
// (without Landlock in the kernel it may open nothing at all); and a seccomp filter that
// lets it use memory and threads, read what it has, write to the descriptors it was given,
// and exit. Anything else (opening for writing, execve, new processes, sockets, signals to
// others, setting limits, descriptor commands that signal) kills it with SIGSYS. False when
// the kernel refused; the caller must not go on then.
bool lock_down(const std::vector<std::string>& readable);

} // namespace picture_decode
