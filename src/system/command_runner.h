// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kelvo {

// How a failing program is reported.
struct CommandFailure {
    int number = 0;              // the error raised when the program fails
    QString name;                // names the program in the error
    bool showErrorOutput = true; // add the first line of its error output to the error...
    QStringList secrets;         // ...with these blotted out
};

// Runs a program in a process group of its own, under a supervisor that is the subreaper of its
// tree, and waits for it, at most timeoutSeconds; at the time-out the whole tree is ended (TERM,
// then KILL after 2 seconds), even what left the group with setsid, so nothing it started is
// left behind. Returns what it wrote to its standard output (the first megabyte). A program
// that cannot start or ends with a code other than 0 raises failure.number naming the program
// and its exit code, never its standard output (which may hold a password); one that runs too
// long raises TimedOut.
QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      const CommandFailure& failure);

// The same, named by the program itself.
QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      int errorNumber);

// The same for a shell command line.
QByteArray runShellCommand(const QString& command, int timeoutSeconds,
                           const CommandFailure& failure);

} // namespace kelvo
