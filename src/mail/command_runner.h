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

// Runs a program in a process group of its own and waits for it, at most timeoutSeconds; at
// the time-out the whole group is ended (TERM, then KILL), so no child of it is left behind.
// Returns what it wrote to its standard output. A program that cannot start, runs too long or
// ends with a code other than 0 raises failure.number naming the program and its exit code,
// never its standard output (which may hold a password).
QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      const CommandFailure& failure);

// The same, named by the program itself.
QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      int errorNumber);

// The same for a shell command line.
QByteArray runShellCommand(const QString& command, int timeoutSeconds,
                           const CommandFailure& failure);

} // namespace kelvo
