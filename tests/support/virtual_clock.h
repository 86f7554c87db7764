// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/yielding_wait.h"

#include <QDateTime>
#include <functional>
#include <map>

namespace kelvo::test {

// A clock that only moves when something waits on it, so hours of cycling run in
// milliseconds. Actions scheduled for a moment run when a wait passes that moment.
class VirtualClock final : public Clock, public Waiter {
public:
    explicit VirtualClock(const QDateTime& start = QDateTime(QDate(2026, 12, 7), QTime(9, 0)));

    QDateTime now() const override { return 開始.addMSecs(経過ms); }
    qint64 monotonicMs() const override { return 経過ms; }

    void wait(double seconds) override;
    void processEvents() override;
    // Stops at the first scheduled action that wakes it.
    void wakeableWait(double seconds) override;
    void wake() override {
        起こされた = true;
        ++起こし回数;
    }

    // Moves the clock forward, running the actions that fall due on the way; with untilWoken,
    // only up to the action that calls wake().
    void advance(double seconds, bool untilWoken = false);
    // Sets the local time without moving the monotonic count (a clock change by the user).
    void setLocalTime(const QDateTime& t);
    // Runs the action when the clock reaches the moment.
    void at(const QDateTime& when, std::function<void()> action);
    // Runs the action at every wait, after the clock has moved.
    std::function<void()> onWait;

    int waits() const { return 待機回数; }
    int processEventsCalls() const { return 処理回数; }
    int wakes() const { return 起こし回数; }

private:
    QDateTime 開始;
    qint64 経過ms = 0;
    std::multimap<qint64, std::function<void()>> 予定;
    int 待機回数 = 0;
    int 処理回数 = 0;
    int 起こし回数 = 0;
    bool 起こされた = false;
};

} // namespace kelvo::test
