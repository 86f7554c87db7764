// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "standins.h"

#include "private_system_bus.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace kelvo::test {

namespace {

const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kSettingsConnection =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

using ConnectionSettings = QMap<QString, QVariantMap>;

QString render(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.userType() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

QString describe(const QDBusMessage& message) {
    QString text = message.interface() + u'.' + message.member() + u' ' + message.path();
    for (const QVariant& argument : message.arguments())
        text += u' ' + render(argument);
    if (message.isInteractiveAuthorizationAllowed())
        text += QStringLiteral(" [interactive]");
    return text;
}

QDBusMessage failure(const QDBusMessage& message, const QString& name) {
    return message.createErrorReply(name, QStringLiteral("stand-in: ") + describe(message));
}

QString pathArgument(const QDBusMessage& message, int index) {
    return message.arguments().value(index).value<QDBusObjectPath>().path();
}

} // namespace

QString StandIns::introspect(const QString&) const {
    return {};
}

bool StandIns::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    calls.append(describe(message));
    connection.send(answer(message));
    return true;
}

void StandIns::reset() {
    calls.clear();
    powerOffError.clear();
    connections.clear();
    activationPolls = 0;
    activationFinalState = 2;
    activationError.clear();
    nextActive = 1;
}

QString StandIns::addConnection(const QString& id, const QString& type,
                                const QString& bluetoothType, uint state) {
    const QString path =
        QStringLiteral("/org/freedesktop/NetworkManager/Settings/%1").arg(connections.size() + 1);
    connections.insert(path, {id, type, bluetoothType, {}, 0, 0, 2});
    if (state != 0)
        activate(path, state);
    return path;
}

QString StandIns::activate(const QString& settingsPath, uint state) {
    Connection& c = connections[settingsPath];
    c.activePath =
        QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/%1").arg(nextActive++);
    c.state = state;
    c.pollsLeft = 0;
    c.finalState = state;
    return c.activePath;
}

QString StandIns::settingsPathOfActive(const QString& activePath) const {
    for (auto it = connections.cbegin(); it != connections.cend(); ++it)
        if (!activePath.isEmpty() && it->activePath == activePath)
            return it.key();
    return {};
}

QDBusMessage StandIns::answer(const QDBusMessage& message) {
    const QString& member = message.member();
    if (message.interface() == kProperties)
        return properties(message);
    if (message.interface() == kLogin1Manager && message.path() == kLogin1Path &&
        member == QLatin1String("PowerOff"))
        return powerOffError.isEmpty() ? message.createReply() : failure(message, powerOffError);
    if (message.interface() == kNm && message.path() == kNmPath) {
        if (member == QLatin1String("DeactivateConnection")) {
            const QString settings = settingsPathOfActive(pathArgument(message, 0));
            if (settings.isEmpty())
                return failure(message, kNm + QStringLiteral(".ConnectionNotActive"));
            connections[settings].activePath.clear();
            connections[settings].state = 0;
            return message.createReply();
        }
        if (member == QLatin1String("ActivateConnection")) {
            const QString settings = pathArgument(message, 0);
            if (!activationError.isEmpty())
                return failure(message, activationError);
            if (!connections.contains(settings))
                return failure(message, kNm + QStringLiteral(".UnknownConnection"));
            const QString active = activate(settings, 1);
            connections[settings].pollsLeft = activationPolls;
            connections[settings].finalState = activationFinalState;
            return message.createReply(QVariant::fromValue(QDBusObjectPath(active)));
        }
    }
    if (message.interface() == kSettingsConnection && member == QLatin1String("GetSettings") &&
        connections.contains(message.path())) {
        const Connection& c = connections[message.path()];
        ConnectionSettings settings;
        settings.insert(QStringLiteral("connection"),
                        {{QStringLiteral("id"), c.id}, {QStringLiteral("type"), c.type}});
        if (!c.bluetoothType.isEmpty())
            settings.insert(QStringLiteral("bluetooth"),
                            {{QStringLiteral("type"), c.bluetoothType}});
        return message.createReply(QVariant::fromValue(settings));
    }
    return failure(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
}

QDBusMessage StandIns::properties(const QDBusMessage& message) {
    const QString interface = message.arguments().value(0).toString();
    const QString name = message.arguments().value(1).toString();
    const auto reply = [&](const QVariant& value) {
        return message.createReply(QVariant::fromValue(QDBusVariant(value)));
    };

    if (message.path() == kNmPath && interface == kNm && message.member() == QLatin1String("Get") &&
        name == QLatin1String("ActiveConnections")) {
        QList<QDBusObjectPath> active;
        for (const Connection& c : std::as_const(connections))
            if (!c.activePath.isEmpty())
                active.append(QDBusObjectPath(c.activePath));
        return reply(QVariant::fromValue(active));
    }

    const QString settings = settingsPathOfActive(message.path());
    if (interface != kActive || settings.isEmpty())
        return failure(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
    Connection& c = connections[settings];
    if (message.member() == QLatin1String("GetAll")) {
        return message.createReply(QVariant::fromValue(QVariantMap{
            {QStringLiteral("Id"), c.id},
            {QStringLiteral("Type"), c.type},
            {QStringLiteral("State"), c.state},
            {QStringLiteral("Connection"), QVariant::fromValue(QDBusObjectPath(settings))},
            {QStringLiteral("Devices"), QVariant::fromValue(QList<QDBusObjectPath>())}}));
    }
    if (message.member() == QLatin1String("Get") && name == QLatin1String("State")) {
        if (c.pollsLeft > 0) {
            --c.pollsLeft;
            return reply(c.state);
        }
        c.state = c.finalState;
        if (c.state == 0) { // gone before it ever came up
            c.activePath.clear();
            return failure(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
        }
        const uint state = c.state;
        if (state == 4) // deactivated: NetworkManager drops the object right after
            c.activePath.clear();
        return reply(state);
    }
    return failure(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"));
}

bool serveStandIns(const QString& address, StandIns& standIns, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!PrivateSystemBus::isPrivateAddress(address))
        return fail(QStringLiteral("refusing a bus that is not a private test bus: ") + address);
    qDBusRegisterMetaType<ConnectionSettings>();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("kelvo-standins"));
    if (!bus.isConnected())
        return fail(QStringLiteral("cannot connect to ") + address + QStringLiteral(": ") +
                    bus.lastError().message());
    auto* control = new StandInControl(standIns, bus);
    control->setParent(&standIns);
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop"), &standIns,
                                   QDBusConnection::SubPath) ||
        !bus.registerObject(QStringLiteral("/org/kelvo/Test"), control,
                            QDBusConnection::ExportScriptableSlots))
        return fail(QStringLiteral("cannot register the stand-in objects"));
    for (const char* name :
         {"org.freedesktop.login1", "org.freedesktop.NetworkManager", "org.kelvo.StandIns"})
        if (!bus.registerService(QString::fromLatin1(name)))
            return fail(QStringLiteral("cannot own ") + QString::fromLatin1(name));
    return true;
}

} // namespace kelvo::test
