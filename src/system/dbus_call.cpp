// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/dbus_call.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace kelvo::dbus {

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

QDBusMessage call(QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    // Never let the service start a dialog to ask for a password: Kelvo runs unattended.
    message.setInteractiveAuthorizationAllowed(false);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

QVariant firstValue(const QDBusMessage& reply) {
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst();
}

QVariant property(QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& name) {
    const QVariant value =
        firstValue(call(bus, service, path, kProperties, QStringLiteral("Get"), {interface, name}));
    return value.canConvert<QDBusVariant>() ? value.value<QDBusVariant>().variant() : QVariant();
}

QVariantMap properties(QDBusConnection& bus, const QString& service, const QString& path,
                       const QString& interface) {
    const QVariant value =
        firstValue(call(bus, service, path, kProperties, QStringLiteral("GetAll"), {interface}));
    if (!value.canConvert<QDBusArgument>())
        return {};
    return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
}

} // namespace kelvo::dbus
