// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "private_system_bus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <sys/prctl.h>

namespace kelvo::test {

namespace {

const QString kSocketName = QStringLiteral("system_bus_socket");
const QString kDirPrefix = QStringLiteral("kelvo-bus-");

QString configuration(const QString& socketPath) {
    return QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                          "Configuration 1.0//EN\"\n"
                          " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                          "<busconfig>\n"
                          "  <type>kelvo-test</type>\n"
                          "  <listen>unix:path=%1</listen>\n"
                          "  <auth>EXTERNAL</auth>\n"
                          "  <policy context=\"default\">\n"
                          "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                          "    <allow eavesdrop=\"true\"/>\n"
                          "    <allow own=\"*\"/>\n"
                          "  </policy>\n"
                          "</busconfig>\n")
        .arg(socketPath.toHtmlEscaped());
}

} // namespace

bool startTiedToParent(QProcess& process, const QString& program, const QStringList& arguments,
                       QString* firstLine, QString* error) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        *error = program + QStringLiteral(" did not start: ") + process.errorString();
        return false;
    }
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(5000)) {
            *error = program + QStringLiteral(" printed nothing: ") +
                     QString::fromLocal8Bit(process.readAllStandardError());
            return false;
        }
    }
    *firstLine = QString::fromUtf8(process.readLine()).trimmed();
    return true;
}

void stopChild(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.closeWriteChannel();
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

PrivateSystemBus::~PrivateSystemBus() {
    stop();
}

bool PrivateSystemBus::start(QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    if (!dir.isValid())
        return fail(QStringLiteral("no temporary directory"));
    const QString configPath = dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(configuration(dir.filePath(kSocketName)).toUtf8()) < 0)
        return fail(QStringLiteral("cannot write ") + configPath);
    config.close();

    QString why;
    if (!startTiedToParent(daemon, QStringLiteral("dbus-daemon"),
                           {QStringLiteral("--config-file=") + configPath,
                            QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                            QStringLiteral("--print-address=1")},
                           &接続先, &why))
        return fail(why);
    if (!isPrivateAddress(接続先))
        return fail(QStringLiteral("unexpected bus address ") + 接続先);
    return true;
}

void PrivateSystemBus::stop() {
    stopChild(daemon);
    接続先.clear();
}

bool PrivateSystemBus::isPrivateAddress(const QString& address) {
    static const QString prefix = QStringLiteral("unix:path=");
    if (!address.startsWith(prefix))
        return false;
    const QString path = address.mid(prefix.size()).section(u',', 0, 0);
    const QFileInfo socket(path);
    return socket.fileName() == kSocketName && socket.dir().dirName().startsWith(kDirPrefix) &&
           QFileInfo(socket.dir().absolutePath()).dir() == QDir(QDir::tempPath()) &&
           !path.startsWith(QLatin1String("/run/")) && !path.startsWith(QLatin1String("/var/run/"));
}

} // namespace kelvo::test
