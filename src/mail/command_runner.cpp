#include "mail/command_runner.h"

#include "mail/mail_error.h"

#include <QProcess>

namespace kelvo {

QByteArray runProgram(const QStringList& commandLine, const QByteArray& input, int timeoutSeconds,
                      int errorNumber) {
    if (commandLine.isEmpty())
        throw mailError(errorNumber);
    const QString name = commandLine.first();
    QProcess process;
    process.setProgram(name);
    process.setArguments(commandLine.mid(1));
    process.start();
    if (!process.waitForStarted(10000))
        throw mailError(errorNumber, process.errorString() + QStringLiteral(": ") + name);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(std::max(1, timeoutSeconds) * 1000)) {
        process.kill();
        process.waitForFinished(5000);
        throw mailError(mailerr::TimedOut, name);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString err =
            QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(u'\n', 0, 0);
        throw mailError(errorNumber,
                        QStringLiteral("%1 (%2)%3")
                            .arg(name)
                            .arg(process.exitCode())
                            .arg(err.isEmpty() ? QString() : QStringLiteral(": ") + err));
    }
    return process.readAllStandardOutput();
}

QByteArray runShellCommand(const QString& command, int timeoutSeconds, int errorNumber) {
    return runProgram({QStringLiteral("/bin/sh"), QStringLiteral("-c"), command}, QByteArray(),
                      timeoutSeconds, errorNumber);
}

} // namespace kelvo
