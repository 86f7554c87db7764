// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/linux_system_control.h"

#include "system/dbus_call.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kelvo {

LinuxSystemControl::LinuxSystemControl(QDBusConnection bus) : bus(std::move(bus)) {}

QDBusConnection& LinuxSystemControl::バス() {
    if (!bus)
        bus = QDBusConnection::systemBus();
    return *bus;
}

NetworkManagerLine& LinuxSystemControl::回線() {
    if (!line)
        line.emplace(バス());
    return *line;
}

QString LinuxSystemControl::environment(const QString& name) {
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

StartResult LinuxSystemControl::startProgram(const QString& commandLine, WindowState) {
    // Split as a command line, but started directly: no shell ever reads the user's text.
    // The window state cannot be imposed on another program's windows here.
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return {false, QStringLiteral("プログラム名がありません")};
    const QString program = arguments.takeFirst();
    const bool hasPath = program.contains(u'/');
    if (hasPath ? !QFileInfo(program).isFile() : QStandardPaths::findExecutable(program).isEmpty())
        return {false, QStringLiteral("見つかりません")};
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return {false, process.errorString()};
    return {true, {}};
}

bool LinuxSystemControl::startDialUpWindow(const QString&, WindowState) {
    return false;
}

bool LinuxSystemControl::sendKeys(const QString&, bool) {
    return false;
}

PrivilegeResult LinuxSystemControl::enableShutdownPrivilege() {
    // Nothing to enable per process: logind decides on each request.
    return PrivilegeResult::Enabled;
}

bool LinuxSystemControl::requestShutdown(ShutdownRequest) {
    // Both requests switch the machine off; not interactive, so nobody is asked.
    return dbus::succeeded(dbus::call(
        バス(), QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"), {false}));
}

bool LinuxSystemControl::hangUpDialUp() {
    return 回線().hangUp();
}

RedialStart LinuxSystemControl::startRedial() {
    return 回線().startRedial();
}

LineState LinuxSystemControl::redialState() {
    return 回線().redialState();
}

} // namespace kelvo
