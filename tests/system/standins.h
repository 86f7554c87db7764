// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QMap>
#include <QObject>
#include <QStringList>

namespace kelvo::test {

// Stand-ins for systemd-logind and NetworkManager: just enough of their D-Bus interfaces for
// Kelvo, recording every call that reaches them. They change nothing on the machine.
class StandIns final : public QDBusVirtualObject {
    Q_OBJECT
public:
    explicit StandIns(QObject* parent = nullptr) : QDBusVirtualObject(parent) {}

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    struct Connection {
        QString id;
        QString type;
        QString bluetoothType; // "dun" or "panu" for Bluetooth profiles
        QString activePath;    // empty while not active
        uint state = 0;
        // A pending activation reports "activating" this many more times, then finalState.
        int pollsLeft = 0;
        uint finalState = 2;
    };

    QStringList calls;
    QString powerOffError;
    QMap<QString, Connection> connections; // by settings path
    int activationPolls = 0;
    uint activationFinalState = 2; // 0: the active object disappears instead
    QString activationError;
    int nextActive = 1;

    void reset();
    QString addConnection(const QString& id, const QString& type, const QString& bluetoothType,
                          uint state);
    QString activate(const QString& settingsPath, uint state);

private:
    QDBusMessage answer(const QDBusMessage& message);
    QDBusMessage properties(const QDBusMessage& message);
    QString settingsPathOfActive(const QString& activePath) const;
};

// The tests' handle on the stand-ins, at /org/kelvo/Test.
class StandInControl final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kelvo.Test")
public:
    StandInControl(StandIns& standIns, QDBusConnection bus)
        : standIns(standIns), bus(std::move(bus)) {}

public slots:
    Q_SCRIPTABLE QStringList Calls() const { return standIns.calls; }
    Q_SCRIPTABLE void ClearCalls() { standIns.calls.clear(); }
    // Back to a logind that takes every request and no connections at all.
    Q_SCRIPTABLE void Reset() { standIns.reset(); }
    Q_SCRIPTABLE void SetPowerOffError(const QString& error) { standIns.powerOffError = error; }
    // state 0: a stored profile that is not active; otherwise active in that state.
    Q_SCRIPTABLE QString AddConnection(const QString& id, const QString& type,
                                       const QString& bluetoothType, uint state) {
        return standIns.addConnection(id, type, bluetoothType, state);
    }
    Q_SCRIPTABLE QString ActivePath(const QString& settingsPath) const {
        return standIns.connections.value(settingsPath).activePath;
    }
    Q_SCRIPTABLE QString Activate(const QString& settingsPath, uint state) {
        return standIns.activate(settingsPath, state);
    }
    // How the next activations go: "activating" for polls State reads, then finalState.
    Q_SCRIPTABLE void SetActivation(int polls, uint finalState, const QString& error) {
        standIns.activationPolls = polls;
        standIns.activationFinalState = finalState;
        standIns.activationError = error;
    }
    Q_SCRIPTABLE bool ReleaseName(const QString& name) {
        return bus.interface()->unregisterService(name);
    }
    Q_SCRIPTABLE bool ClaimName(const QString& name) {
        return bus.interface()->registerService(name).value() ==
               QDBusConnectionInterface::ServiceRegistered;
    }

private:
    StandIns& standIns;
    QDBusConnection bus;
};

// A stand-in notification server (org.freedesktop.Notifications) for a private session bus:
// it keeps what it was asked to show.
class NotificationStandIn final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    using QObject::QObject;
    QStringList shown; // "summary|body"

public slots:
    Q_SCRIPTABLE uint Notify(const QString& appName, uint replacesId, const QString& icon,
                             const QString& summary, const QString& body,
                             const QStringList& actions, const QVariantMap& hints, int timeout) {
        Q_UNUSED(appName);
        Q_UNUSED(replacesId);
        Q_UNUSED(icon);
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        Q_UNUSED(timeout);
        shown << summary + u'|' + body;
        return static_cast<uint>(shown.size());
    }
};

// Puts the stand-ins on the bus at the address: their objects, the names of both services and
// "org.kelvo.StandIns" for the control object. False when the bus is not a private one.
bool serveStandIns(const QString& address, StandIns& standIns, QString* error);

} // namespace kelvo::test
