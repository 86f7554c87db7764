// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/command_runner.h"

#include "command_tree.h"
#include "mail/core/mail_error.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kelvo {

namespace {

// What a command prints is kept up to these sizes; the rest is read and let go. A password,
// a token or the first line of an error is far shorter.
constexpr qsizetype maxOutput = 1 << 20;
constexpr qsizetype maxErrorOutput = 64 << 10;
// The supervisor ends the tree within the TERM grace and the KILL wait (2 s each); the rest
// is a margin before it is given up on.
constexpr int supervisorEndMs = 6000;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd; }
    void reset(int other = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = other;
    }

private:
    int fd = -1;
};

struct Pipe {
    Fd read, write;
    bool open() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return false;
        read.reset(ends[0]);
        write.reset(ends[1]);
        return true;
    }
};

QString systemError(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// Reads what is there now, a megabyte at most (a writer that never stops cannot hold Kelvo
// here), keeping up to limit bytes; false at the end of the stream.
bool readSome(int fd, QByteArray& into, qsizetype limit) {
    char buffer[16384];
    for (qsizetype read = 0; read < (1 << 20);) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer,
                        std::min<qsizetype>(n, std::max<qsizetype>(0, limit - into.size())));
            read += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EAGAIN;
    }
    return true;
}

// SIGPIPE is held while Kelvo writes to a command that may have closed its input; the
// write fails with EPIPE instead, and a SIGPIPE raised meanwhile is taken back.
class PipeSignalHeld {
public:
    PipeSignalHeld() {
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;
    ~PipeSignalHeld() {
        const timespec none{0, 0};
        while (::sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
        }
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }

private:
    sigset_t pipeSignal;
    sigset_t before;
};

// The running command's supervisor, reaped whatever happens.
class Supervisor {
public:
    explicit Supervisor(pid_t pid)
        : pid(pid), exitFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))) {}
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;
    // Left running (an error on the way): its tree is ended as at a time-out.
    ~Supervisor() {
        if (reaped)
            return;
        terminate();
        if (!wait(supervisorEndMs)) {
            ::kill(pid, SIGKILL);
            wait(-1);
        }
    }
    // Whether it ended within ms (-1: however long it takes); its status is then known.
    bool wait(int ms) {
        const QDeadlineTimer deadline(ms < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(ms));
        while (!reaped) {
            const pid_t r = ::waitpid(pid, &status, deadline.isForever() ? 0 : WNOHANG);
            if (r == pid)
                reaped = true;
            else if (r < 0 && errno != EINTR)
                return false;
            else if (r == 0 && deadline.hasExpired())
                return false;
            else if (r == 0)
                pollExit(exitFd.get() < 0 ? std::min<qint64>(deadline.remainingTime(), 100)
                                          : deadline.remainingTime());
        }
        return true;
    }
    // Sleeps until it ends, at most ms (without a pidfd, on an old kernel, simply ms).
    void pollExit(qint64 ms) const {
        pollfd p{exitFd.get(), POLLIN, 0};
        ::poll(&p, exitFd.get() >= 0 ? 1 : 0, static_cast<int>(ms));
    }
    int exitFdOrNone() const { return exitFd.get(); }
    void terminate() const { ::kill(pid, SIGTERM); }
    bool exitedNormally() const { return WIFEXITED(status); }
    int exitCode() const { return WEXITSTATUS(status); }

private:
    pid_t pid;
    Fd exitFd;
    int status = 0;
    bool reaped = false;
};

// The program as execve wants it: a path. A bare name is looked for on PATH, as a shell does.
QString programPath(const QString& program) {
    if (program.contains(u'/'))
        return program;
    return QStandardPaths::findExecutable(program);
}

} // namespace

QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      const CommandFailure& failure) {
    if (commandLine.isEmpty())
        throw mailError(failure.number);
    const QString path = programPath(commandLine.first());
    if (path.isEmpty())
        throw mailError(failure.number, systemError(ENOENT) + QStringLiteral(": ") + failure.name);

    // Everything the forked side needs is made here: it may not allocate.
    const QByteArray program = QFile::encodeName(path);
    std::vector<QByteArray> arguments;
    for (const QString& argument : commandLine)
        arguments.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    Pipe in, out, err, report;
    if (!in.open() || !out.open() || !err.open() || !report.open())
        throw mailError(failure.number, systemError(errno) + QStringLiteral(": ") + failure.name);
    const CommandLaunch launch{program.constData(), argv.data(),     environ,
                               in.read.get(),       out.write.get(), err.write.get(),
                               report.write.get()};
    const pid_t pid = startSupervisedCommand(launch);
    if (pid < 0)
        throw mailError(failure.number, systemError(errno) + QStringLiteral(": ") + failure.name);
    Supervisor supervisor(pid);
    in.read.reset();
    out.write.reset();
    err.write.reset();
    report.write.reset();

    // The report pipe closes when the program starts, or brings why it did not.
    int startError = 0;
    ssize_t got = 0;
    do {
        got = ::read(report.read.get(), &startError, sizeof startError);
    } while (got < 0 && errno == EINTR);
    if (got == sizeof startError) {
        supervisor.wait(-1);
        throw mailError(failure.number,
                        systemError(startError) + QStringLiteral(": ") + failure.name);
    }

    for (Fd* fd : {&in.write, &out.read, &err.read})
        ::fcntl(fd->get(), F_SETFL, ::fcntl(fd->get(), F_GETFL) | O_NONBLOCK);
    QByteArray output;
    QByteArray errorOutput;
    qsizetype written = 0;
    if (input.isEmpty())
        in.write.reset();
    const PipeSignalHeld pipeSignal;
    const QDeadlineTimer deadline(std::chrono::seconds(std::max(1, timeoutSeconds)));
    bool ended = false;
    while (!ended && !deadline.hasExpired()) {
        pollfd fds[4] = {{out.read.get(), POLLIN, 0},
                         {err.read.get(), POLLIN, 0},
                         {in.write.get(), POLLOUT, 0},
                         {supervisor.exitFdOrNone(), POLLIN, 0}};
        // Without a pidfd the end is looked for every 100 ms.
        const qint64 wait =
            std::min<qint64>(deadline.remainingTime(), supervisor.exitFdOrNone() < 0 ? 100 : 60000);
        if (::poll(fds, 4, static_cast<int>(wait)) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0 && !readSome(out.read.get(), output, maxOutput))
            out.read.reset();
        if (fds[1].revents != 0 && !readSome(err.read.get(), errorOutput, maxErrorOutput))
            err.read.reset();
        if (fds[2].revents & POLLOUT) {
            const ssize_t n =
                ::write(in.write.get(), input.constData() + written, input.size() - written);
            if (n > 0)
                written += n;
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                in.write.reset();
        } else if (fds[2].revents != 0) {
            in.write.reset(); // the command closed its input
        }
        ended = supervisor.wait(0);
    }
    if (!ended) {
        supervisor.terminate();
        supervisor.wait(supervisorEndMs);
        throw mailError(mailerr::TimedOut, failure.name);
    }
    // What the command wrote before it ended.
    if (out.read.get() >= 0)
        readSome(out.read.get(), output, maxOutput);
    if (err.read.get() >= 0)
        readSome(err.read.get(), errorOutput, maxErrorOutput);

    if (!supervisor.exitedNormally() || supervisor.exitCode() != 0) {
        QString text = supervisor.exitedNormally()
                           ? failure.name + QStringLiteral("（終了コード ") +
                                 QString::number(supervisor.exitCode()) + u'）'
                           : failure.name + QStringLiteral("（異常終了）");
        if (failure.showErrorOutput) {
            const QString first =
                QString::fromLocal8Bit(errorOutput).trimmed().section(u'\n', 0, 0);
            if (!first.isEmpty())
                text += QStringLiteral("：") + redacted(first, failure.secrets);
        }
        throw mailError(failure.number, text);
    }
    return output;
}

QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      int errorNumber) {
    return runProgram(commandLine, input, timeoutSeconds,
                      CommandFailure{errorNumber, commandLine.value(0), true, {}});
}

QByteArray runShellCommand(const QString& command, int timeoutSeconds,
                           const CommandFailure& failure) {
    return runProgram({QStringLiteral("/bin/sh"), QStringLiteral("-c"), command}, QByteArray(),
                      timeoutSeconds, failure);
}

} // namespace kelvo
