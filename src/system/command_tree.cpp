// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command_tree.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <initializer_list>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Everything below the fork runs in a copy of a multi-threaded Kelvo: system calls only.

namespace kelvo {

namespace {

constexpr int termGraceMs = 2000;
constexpr int killWaitMs = 2000;
// The most processes one walk of the tree signals; a bigger tree takes more walks.
constexpr int maxWalk = 2048;

[[noreturn]] void failStart(int report, int err) {
    [[maybe_unused]] const ssize_t n = ::write(report, &err, sizeof err);
    ::_exit(127);
}

// "/proc/" + digits + tail into out, NUL-terminated.
void procPath(char* out, long number, const char* middle, long second, const char* tail) {
    auto put = [&out](const char* s) {
        while (*s != '\0')
            *out++ = *s++;
    };
    auto putNumber = [&out](long n) {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n > 0);
        while (count > 0)
            *out++ = digits[--count];
    };
    put("/proc/");
    putNumber(number);
    put(middle);
    if (second >= 0)
        putNumber(second);
    put(tail);
    *out = '\0';
}

struct Walk {
    pid_t pids[maxWalk];
    int count = 0;

    void add(pid_t pid) {
        if (count < maxWalk && pid > 0)
            pids[count++] = pid;
    }

    // The children of every thread of the process, from /proc/<pid>/task/<tid>/children.
    void addChildrenOf(pid_t pid) {
        char path[96];
        procPath(path, pid, "/task", -1, "");
        const int tasks = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (tasks < 0)
            return;
        alignas(8) char entries[2048];
        for (;;) {
            const ssize_t size = ::getdents64(tasks, entries, sizeof entries);
            if (size <= 0)
                break;
            for (ssize_t at = 0; at < size;) {
                const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
                at += entry->d_reclen;
                long tid = 0;
                const char* c = entry->d_name;
                for (; *c >= '0' && *c <= '9'; ++c)
                    tid = tid * 10 + (*c - '0');
                if (*c == '\0' && c != entry->d_name)
                    addChildrenListed(pid, tid);
            }
        }
        ::close(tasks);
    }

    void addChildrenListed(pid_t pid, long tid) {
        char path[96];
        procPath(path, pid, "/task/", tid, "/children");
        const int list = ::open(path, O_RDONLY | O_CLOEXEC);
        if (list < 0)
            return;
        char text[1024];
        long number = 0;
        bool inNumber = false;
        ssize_t size = 0;
        while ((size = ::read(list, text, sizeof text)) > 0) {
            for (ssize_t i = 0; i < size; ++i) {
                if (text[i] >= '0' && text[i] <= '9') {
                    number = number * 10 + (text[i] - '0');
                    inNumber = true;
                } else if (inNumber) {
                    add(static_cast<pid_t>(number));
                    number = 0;
                    inNumber = false;
                }
            }
        }
        if (inNumber)
            add(static_cast<pid_t>(number));
        ::close(list);
    }
};

// Signals every process of the tree below us: the command's own group as before, then each
// descendant, whose children are read before it is signalled so that none slips away to us
// unseen. What is started after the walk is met by the next one.
void signalTree(pid_t command, int signal) {
    ::kill(-command, signal);
    Walk walk;
    walk.addChildrenOf(::getpid());
    for (int i = 0; i < walk.count; ++i) {
        walk.addChildrenOf(walk.pids[i]);
        ::kill(walk.pids[i], signal);
    }
}

long nowMs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000L + t.tv_nsec / 1000000L;
}

// Reaps what ended. True when no child is left: then the whole tree has ended, as every
// descendant whose parent ends becomes our child. Sets *status when the command ended.
bool reap(pid_t command, int* status, bool* commandEnded) {
    for (;;) {
        int st = 0;
        const pid_t pid = ::waitpid(-1, &st, WNOHANG);
        if (pid < 0 && errno == EINTR)
            continue;
        if (pid < 0)
            return errno == ECHILD;
        if (pid == 0)
            return false;
        if (pid == command) {
            *status = st;
            *commandEnded = true;
        }
    }
}

// Waits up to ms for the tree to end, signalling it again at each end of one of its processes
// (an orphan that came to us) when a signal is given.
bool waitForTree(pid_t command, long ms, int resend) {
    const long deadline = nowMs() + ms;
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    int status = 0;
    bool ended = false;
    for (;;) {
        if (resend != 0)
            signalTree(command, resend);
        if (reap(command, &status, &ended))
            return true;
        const long left = deadline - nowMs();
        if (left <= 0)
            return false;
        const timespec wait{left / 1000, (left % 1000) * 1000000L};
        ::sigtimedwait(&child, nullptr, &wait);
    }
}

void endTree(pid_t command) {
    signalTree(command, SIGTERM);
    if (!waitForTree(command, termGraceMs, 0))
        waitForTree(command, killWaitMs, SIGKILL);
}

[[noreturn]] void runCommand(const CommandLaunch& l) {
    // A group of its own, as before: the group reaches children that have not left it.
    ::setpgid(0, 0);
    const int fds[3] = {l.input, l.output, l.errorOutput};
    for (int target = 0; target < 3; ++target)
        if (::dup2(fds[target], target) < 0)
            failStart(l.report, errno);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(l.path, l.argv, l.envp);
    failStart(l.report, errno);
}

[[noreturn]] void supervise(const CommandLaunch& launch) {
    // Every signal is blocked since before the fork. Kelvo's handlers would write to its own
    // descriptors: all go back to their default, before anything unblocks them.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &byDefault, nullptr);
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0)
        failStart(launch.report, errno);
    // The pipe ends are moved above the standard descriptors, so that setting one in place
    // cannot overwrite another.
    CommandLaunch l = launch;
    for (int* fd : {&l.input, &l.output, &l.errorOutput}) {
        const int moved = ::fcntl(*fd, F_DUPFD_CLOEXEC, 3);
        if (moved < 0)
            failStart(l.report, errno);
        *fd = moved;
    }
    const pid_t command = ::_Fork();
    if (command == 0)
        runCommand(l);
    if (command < 0)
        failStart(l.report, errno);
    // Its group, also if the command had no time to make it yet.
    ::setpgid(command, command);
    // Nothing of Kelvo's stays open here: not its connections, nor the command's pipes, whose
    // ends must close when the command's do.
    if (::close_range(0, ~0U, 0) != 0)
        for (int fd = 0; fd < 65536; ++fd)
            ::close(fd);

    // Signals stay blocked and are taken when waited for: none slips in between a check and a
    // wait.
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGCHLD);
    sigaddset(&wanted, SIGTERM);
    int status = 0;
    bool ended = false;
    for (;;) {
        reap(command, &status, &ended);
        if (ended)
            break;
        if (::sigwaitinfo(&wanted, nullptr) == SIGTERM) {
            endTree(command);
            ::_exit(128 + SIGTERM);
        }
    }
    if (WIFEXITED(status))
        ::_exit(WEXITSTATUS(status));
    // Killed by a signal: said by a death by signal too, one that leaves no core of this copy
    // of Kelvo.
    ::kill(::getpid(), SIGKILL);
    ::_exit(127);
}

} // namespace

pid_t startSupervisedCommand(const CommandLaunch& launch) {
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t pid = ::_Fork();
    if (pid == 0)
        supervise(launch);
    const int err = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = err;
    return pid;
}

} // namespace kelvo
