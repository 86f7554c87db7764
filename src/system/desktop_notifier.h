// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <functional>
#include <optional>

namespace kelvo {

// Desktop notifications (org.freedesktop.Notifications) for a Kelvo nobody watches: an error
// line while forwarding runs, at most one per error number in 10 minutes, and one when a pass
// runs clean again after passes with error lines. Without a notification service nothing
// happens; the calls never wait for an answer.
class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    DesktopNotifier(const QDBusConnection& bus, const Clock& clock, QObject* parent = nullptr);
    // The bus is connected for the first notification (nothing: there is none): a Kelvo that
    // has nothing to tell keeps no bus, nor the thread that serves one.
    DesktopNotifier(std::function<std::optional<QDBusConnection>()> open, const Clock& clock,
                    QObject* parent = nullptr);

    // An error line of the monitor, given only while forwarding runs.
    void エラー行(const QString& line, int number);
    // A pass begins (signing on) and ends (its last step done).
    void パス開始();
    void パス終了();

private:
    void 通知(const QString& summary, const QString& body);

    std::function<std::optional<QDBusConnection>()> バスを開く;
    std::optional<QDBusConnection> bus;
    const Clock& clock;
    QHash<int, qint64> 最後の通知ms; // by error number, on the monotonic clock
    bool 今回のエラー = false;       // the pass under way added an error line
    bool 回復待ち = false;           // a pass had error lines; no clean pass since
};

} // namespace kelvo
