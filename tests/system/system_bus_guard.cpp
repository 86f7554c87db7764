// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system_bus_guard.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace kelvo::test {

void SystemBusGuard::SetUp() {
    準備完了 = prepare();
}

bool SystemBusGuard::prepare() {
    const auto fail = [](const QString& why) {
        問題 = why;
        return false;
    };
    バス = new PrivateSystemBus;
    QString error;
    if (!バス->start(&error))
        return fail(error);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", バス->address().toUtf8());

    QString firstLine;
    if (!startTiedToParent(standIns, QStringLiteral(KELVO_SYSTEM_TEST_HELPER),
                           {QStringLiteral("standins"), バス->address()}, &firstLine, &error))
        return fail(error);
    if (firstLine != QLatin1String("ready"))
        return fail(QStringLiteral("stand-ins did not come up: ") + firstLine);

    // The stand-ins connected to the private address only. The process's system bus is ours
    // when the stand-ins' name on it belongs to that very process; asking this touches no
    // service but the bus itself.
    QDBusConnectionInterface* daemon = QDBusConnection::systemBus().interface();
    const auto pid = daemon ? daemon->servicePid(QStringLiteral("org.kelvo.StandIns")).value() : 0;
    if (pid == 0 || qint64(pid) != standIns.processId())
        return fail(QStringLiteral("the system bus of this process is not the private one; "
                                   "refusing to run"));
    問題.clear();
    return true;
}

void SystemBusGuard::TearDown() {
    準備完了 = false;
    stopChild(standIns);
    delete バス;
    バス = nullptr;
}

} // namespace kelvo::test
