// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "error_of.h"
#include "system/command_runner.h"
#include "mail/core/mail_error.h"
#include "temp_dir.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace kelvo::test {
namespace {

// Whether the process still runs; a zombie waiting for its new parent counts as ended.
bool alive(pid_t pid) {
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
}

// A command that hangs is ended with everything it started: TERM, then KILL for what ignores
// TERM, also for what left the command's process group and session with setsid, and for a
// daemon whose parent has already gone.
TEST(CommandRunner, ATimedOutCommandLeavesNoProcessBehind) {
    QTemporaryDir dir;
    const QString pids = dir.filePath("pids");
    const QString stubborn =
        QStringLiteral("trap \"\" TERM; echo $$ >> %1; exec sleep 30").arg(pids);
    const QString command =
        QStringLiteral("sleep 30 & echo $! >> %1; "
                       "sh -c '%2' & "
                       "setsid sh -c 'echo $$ >> %1; exec sleep 30' & "
                       "setsid sh -c '%2' & "
                       "(setsid sh -c 'sleep 0.2; echo $$ >> %1; exec sleep 30' &); "
                       "sleep 30 & echo $! >> %1; wait")
            .arg(pids, stubborn);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(errorOf([&] {
                  runShellCommand(command, 1, {mailerr::CommandFailed, "x", true, {}});
              }),
              mailerr::TimedOut);
    const QList<QByteArray> started = readAll(pids).trimmed().split('\n');
    EXPECT_EQ(started.size(), 6) << readAll(pids).toStdString();
    QStringList left;
    for (const QByteArray& pid : started) {
        while (alive(pid.toInt()) && clock.elapsed() < 5000)
            QThread::msleep(50);
        if (alive(pid.toInt())) {
            left << pid;
            ::kill(pid.toInt(), SIGKILL);
        }
    }
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    // The tree's reaper was the command's own: Kelvo adopts nothing it did not start.
    int subreaper = -1;
    ASSERT_EQ(::prctl(PR_GET_CHILD_SUBREAPER, &subreaper, 0, 0, 0), 0);
    EXPECT_EQ(subreaper, 0);
}

// The supervisor in between changes nothing of what a command reads, prints and ends with.
TEST(CommandRunner, InputOutputAndEndAreTheCommandsOwn) {
    const CommandFailure failure{mailerr::SendRefused, "cmd", true, {"hunter2"}};
    QByteArray big(3 << 20, 'x'); // beyond any pipe's buffer, both ways
    EXPECT_EQ(runProgram({"cat"}, big, 10, failure).size(), 1 << 20);
    EXPECT_EQ(runProgram({"sh", "-c", "cat; echo end"}, "in\n", 10, failure), "in\nend\n");
    struct Case {
        QStringList commandLine;
        int number;
        QString text;
    };
    const Case cases[] = {
        {{"sh", "-c", "echo hunter2 says no >&2; exit 3"},
         mailerr::SendRefused,
         "cmd（終了コード 3）：**** says no"},
        {{"sh", "-c", "kill -KILL $$"}, mailerr::SendRefused, "cmd（異常終了）"},
        {{"/nonexistent/program"}, mailerr::SendRefused, "No such file or directory: cmd"},
        {{"no-such-program-anywhere"}, mailerr::SendRefused, "No such file or directory: cmd"},
    };
    for (const Case& c : cases) {
        QString text;
        EXPECT_EQ(errorOf([&] { runProgram(c.commandLine, {}, 10, failure); }, &text), c.number);
        EXPECT_EQ(text, mailErrorText(c.number) + "：" + c.text)
            << c.commandLine.join(' ').toStdString();
    }
}

} // namespace
} // namespace kelvo::test
