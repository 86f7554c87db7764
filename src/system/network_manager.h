// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "system/system_control.h"

#include <QDBusConnection>
#include <QString>
#include <optional>

namespace kelvo {

// The dial-up side of NetworkManager: takes down the active modem, mobile broadband, PPPoE or
// Bluetooth dial-up connection, remembers it, and brings it up again on request.
class NetworkManagerLine {
public:
    explicit NetworkManagerLine(QDBusConnection bus);

    bool hangUp();
    RedialStart startRedial();
    LineState redialState();

private:
    struct ActiveConnection {
        QString path;       // the active connection
        QString connection; // its stored profile
        QString id;
        QString type;
        uint state = 0;
    };

    std::optional<ActiveConnection> activeFor(const QString& connection);
    QList<ActiveConnection> activeConnections();
    bool isDialUp(const ActiveConnection& active);
    void forget();

    QDBusConnection bus;
    QString 記憶接続; // the profile the last hang-up took down
    QString 記憶名;
    QString 接続中; // the active connection a redial is waiting for
};

} // namespace kelvo
