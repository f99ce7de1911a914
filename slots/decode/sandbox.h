// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

namespace picture_decode {

// Locks the calling process down for good, in two steps. The first, restrict_files, is
// kept by every process it forks: no new privileges, and a Landlock ruleset under which it
// may read files beneath the folders given and nothing else of the file system (without
// Landlock in the kernel it may open nothing at all). The second, restrict_calls, is a
// seccomp filter that lets it use memory and threads, read what it has, write to the
// descriptors it was given, and exit. Anything else (opening for writing, execve, new
// processes, sockets, signals to others, setting limits, descriptor commands that signal)
// kills it with SIGSYS. Each is false when the kernel refused; the caller must not go on then.
bool restrict_files(const std::vector<std::string>& readable);
bool restrict_calls();
// Builds the filter once without installing it, in a process that forks those that will: the
// kernel's features are looked up and the library's code is bound once, not in each child.
void prepare_restrict_calls();

} // namespace picture_decode
