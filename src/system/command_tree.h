// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <sys/types.h>

namespace kelvo {

// What the command's process is given. Everything is made before the fork: Kelvo has other
// threads, so the forked side may only make system calls (no allocation, no locks, no Qt).
struct CommandLaunch {
    const char* path; // the program, found on PATH beforehand
    char* const* argv;
    char* const* envp;
    int input, output, errorOutput; // become the command's standard input, output and error
    int report;                     // a close-on-exec pipe: gets errno when the start fails
};

// Forks a supervisor that runs the command and is the subreaper of the command's tree alone:
// whatever the command starts comes back to it when its parent ends, even after setsid. The
// supervisor ends as the command does (the same exit code; killed when the command was killed).
// A SIGTERM to the supervisor ends the whole tree: TERM to every process of it, KILL to what
// is left after 2 seconds. Kelvo itself never becomes a subreaper, so programs it starts
// detached stay none of its business. Returns the supervisor's pid, or -1 with errno.
pid_t startSupervisedCommand(const CommandLaunch& launch);

} // namespace kelvo
