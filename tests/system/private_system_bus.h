// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kelvo::test {

// A dbus-daemon of our own, listening in a fresh temporary directory, with a configuration
// that allows everything on it and starts no services. Tests put the stand-in system
// services on it, so nothing ever reaches the machine's real system bus.
class PrivateSystemBus {
public:
    PrivateSystemBus() = default;
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    // Starts the daemon; false with a reason when it did not come up within a few seconds.
    bool start(QString* error);
    void stop();

    // "unix:path=<dir>/system_bus_socket,guid=..." once started.
    QString address() const { return 接続先; }
    // True only for an address inside one of our private bus directories, and never for the
    // machine's own system bus.
    static bool isPrivateAddress(const QString& address);

private:
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/kelvo-bus-XXXXXX")};
    QProcess daemon;
    QString 接続先;
};

// Starts a child process that is ended when this process ends, however it ends, and reads
// the first line it prints. False with a reason when it does not start or print in time.
bool startTiedToParent(QProcess& process, const QString& program, const QStringList& arguments,
                       QString* firstLine, QString* error);
// Ends a child: politely first, then for sure.
void stopChild(QProcess& process);

} // namespace kelvo::test
