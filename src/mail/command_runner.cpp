#include "mail/command_runner.h"

#include "mail/mail_error.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace kelvo {

namespace {

// Whether a process of the group still runs. A zombie waiting for its new parent to reap it
// (not every init does so at once) has ended.
bool groupAlive(pid_t group) {
    if (::kill(-group, 0) != 0 && errno == ESRCH)
        return false;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    if (pids.isEmpty())
        return true;
    for (const QString& pid : pids) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!pid.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid pgrp ...": the name may hold blanks and parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z" && fields[0] != "X")
            return true;
    }
    return false;
}

// Waits up to ms for every process of the group to end (the leader reaped by QProcess, the
// others by whoever inherited them).
bool waitForGroup(QProcess& process, pid_t group, int ms) {
    const QDeadlineTimer deadline(ms);
    process.waitForFinished(static_cast<int>(deadline.remainingTime()));
    while (groupAlive(group) && !deadline.hasExpired())
        QThread::msleep(50);
    return !groupAlive(group);
}

// Ends the program and everything it started: TERM to its group, KILL to what is left after
// 2 seconds.
void endGroup(QProcess& process, pid_t group) {
    if (group <= 0)
        return;
    ::kill(-group, SIGTERM);
    if (waitForGroup(process, group, 2000))
        return;
    ::kill(-group, SIGKILL);
    waitForGroup(process, group, 1000);
}

} // namespace

QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      const CommandFailure& failure) {
    if (commandLine.isEmpty())
        throw mailError(failure.number);
    QProcess process;
    process.setProgram(commandLine.first());
    process.setArguments(commandLine.mid(1));
    // A group of its own, so that a time-out reaches the children of a shell command too.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted(10000))
        throw mailError(failure.number,
                        process.errorString() + QStringLiteral(": ") + failure.name);
    const auto group = static_cast<pid_t>(process.processId());
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(std::max(1, timeoutSeconds) * 1000)) {
        endGroup(process, group);
        throw mailError(mailerr::TimedOut, failure.name);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QString text = process.exitStatus() == QProcess::NormalExit
                           ? failure.name + QStringLiteral("（終了コード ") +
                                 QString::number(process.exitCode()) + u'）'
                           : failure.name + QStringLiteral("（異常終了）");
        if (failure.showErrorOutput) {
            const QString err = QString::fromLocal8Bit(process.readAllStandardError())
                                    .trimmed()
                                    .section(u'\n', 0, 0);
            if (!err.isEmpty())
                text += QStringLiteral("：") + redacted(err, failure.secrets);
        }
        throw mailError(failure.number, text);
    }
    return process.readAllStandardOutput();
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
