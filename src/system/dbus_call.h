// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

namespace kelvo::dbus {

// How long one call to a system service may take before it counts as failed.
inline constexpr int kCallTimeoutMs = 10000;

// Calls a method and waits for the answer, bounded; an unreachable service or a refusal
// comes back as an error message.
QDBusMessage call(QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& method,
                  const QVariantList& arguments = {});

inline bool succeeded(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The first value of a successful answer; an invalid variant otherwise.
QVariant firstValue(const QDBusMessage& reply);

// Reads one property; an invalid variant when it cannot be read.
QVariant property(QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& name);

// Reads all properties of an interface; empty when they cannot be read.
QVariantMap properties(QDBusConnection& bus, const QString& service, const QString& path,
                       const QString& interface);

} // namespace kelvo::dbus
