#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kelvo {

// Runs a program and waits for it, at most timeoutSeconds. Returns what it wrote to its
// standard output. A program that cannot start, runs too long or ends with a code other than 0
// raises errorNumber naming the program (never its output, which may hold a password).
QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      int errorNumber);

// The same for a shell command line.
QByteArray runShellCommand(const QString& command, int timeoutSeconds, int errorNumber);

} // namespace kelvo
