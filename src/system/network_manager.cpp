// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/network_manager.h"

#include "system/dbus_call.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>

namespace kelvo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kSettingsConnection =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");

using ConnectionSettings = QMap<QString, QVariantMap>;

// The states of an active connection.
constexpr uint kActivating = 1;
constexpr uint kActivated = 2;

QString pathOf(const QVariant& value) {
    return value.value<QDBusObjectPath>().path();
}

QList<QDBusObjectPath> pathsOf(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusArgument>());
    return value.value<QList<QDBusObjectPath>>();
}

} // namespace

NetworkManagerLine::NetworkManagerLine(QDBusConnection bus) : bus(std::move(bus)) {
    qDBusRegisterMetaType<ConnectionSettings>();
}

QList<NetworkManagerLine::ActiveConnection> NetworkManagerLine::activeConnections() {
    QList<ActiveConnection> result;
    const auto paths = pathsOf(
        dbus::property(bus, kService, kManagerPath, kManager, QStringLiteral("ActiveConnections")));
    for (const QDBusObjectPath& path : paths) {
        const QVariantMap p = dbus::properties(bus, kService, path.path(), kActive);
        if (p.isEmpty())
            continue; // gone while we looked
        result.append({path.path(), pathOf(p.value(QStringLiteral("Connection"))),
                       p.value(QStringLiteral("Id")).toString(),
                       p.value(QStringLiteral("Type")).toString(),
                       p.value(QStringLiteral("State")).toUInt()});
    }
    return result;
}

bool NetworkManagerLine::isDialUp(const ActiveConnection& active) {
    static const QStringList dialUpTypes = {QStringLiteral("gsm"), QStringLiteral("cdma"),
                                            QStringLiteral("pppoe")};
    if (dialUpTypes.contains(active.type))
        return true;
    if (active.type != QLatin1String("bluetooth"))
        return false;
    // A Bluetooth profile is dial-up only as DUN; a personal-area network is not.
    const QVariant value = dbus::firstValue(dbus::call(
        bus, kService, active.connection, kSettingsConnection, QStringLiteral("GetSettings")));
    if (!value.canConvert<QDBusArgument>())
        return false;
    const auto settings = qdbus_cast<ConnectionSettings>(value.value<QDBusArgument>());
    return settings.value(QStringLiteral("bluetooth")).value(QStringLiteral("type")).toString() ==
           QLatin1String("dun");
}

bool NetworkManagerLine::hangUp() {
    for (const ActiveConnection& active : activeConnections()) {
        if ((active.state != kActivating && active.state != kActivated) || !isDialUp(active))
            continue;
        const QDBusMessage reply = dbus::call(bus, kService, kManagerPath, kManager,
                                              QStringLiteral("DeactivateConnection"),
                                              {QVariant::fromValue(QDBusObjectPath(active.path))});
        if (!dbus::succeeded(reply))
            return false;
        記憶接続 = active.connection;
        記憶名 = active.id;
        接続中.clear();
        return true;
    }
    return false;
}

std::optional<NetworkManagerLine::ActiveConnection>
NetworkManagerLine::activeFor(const QString& connection) {
    for (const ActiveConnection& active : activeConnections())
        if (active.connection == connection)
            return active;
    return std::nullopt;
}

RedialStart NetworkManagerLine::startRedial() {
    if (記憶接続.isEmpty())
        return {RedialStatus::NothingRemembered, {}, {}};
    const QString name = 記憶名;
    // Someone may have connected it already; activating it again would drop it first.
    if (const auto active = activeFor(記憶接続)) {
        if (active->state == kActivated) {
            forget();
            return {RedialStatus::AlreadyUp, name, {}};
        }
        if (active->state == kActivating) {
            接続中 = active->path;
            return {RedialStatus::Started, name, {}};
        }
    }
    const QDBusObjectPath none(QStringLiteral("/"));
    const QDBusMessage reply =
        dbus::call(bus, kService, kManagerPath, kManager, QStringLiteral("ActivateConnection"),
                   {QVariant::fromValue(QDBusObjectPath(記憶接続)), QVariant::fromValue(none),
                    QVariant::fromValue(none)});
    if (!dbus::succeeded(reply))
        return {RedialStatus::Failed, name, reply.errorMessage()};
    接続中 = pathOf(dbus::firstValue(reply));
    return {RedialStatus::Started, name, {}};
}

LineState NetworkManagerLine::redialState() {
    if (接続中.isEmpty())
        return LineState::Down;
    const QVariant state = dbus::property(bus, kService, 接続中, kActive, QStringLiteral("State"));
    if (!state.isValid())
        return LineState::Down; // the attempt is over and its object gone
    switch (state.toUInt()) {
    case kActivated:
        forget();
        return LineState::Up;
    case 0: // not known yet
    case kActivating:
        return LineState::Connecting;
    default:
        return LineState::Down;
    }
}

void NetworkManagerLine::forget() {
    記憶接続.clear();
    記憶名.clear();
    接続中.clear();
}

} // namespace kelvo
