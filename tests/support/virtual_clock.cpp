// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "virtual_clock.h"

#include <cmath>

namespace kelvo::test {

VirtualClock::VirtualClock(const QDateTime& start) : 開始(start) {}

void VirtualClock::advance(double seconds, bool untilWoken) {
    const qint64 target = 経過ms + std::llround(seconds * 1000.0);
    起こされた = false;
    // Actions may schedule further actions; take them one by one in time order.
    while (!予定.empty() && 予定.begin()->first <= target) {
        auto node = 予定.extract(予定.begin());
        経過ms = std::max(経過ms, node.key());
        node.mapped()();
        if (untilWoken && 起こされた)
            return;
    }
    経過ms = std::max(経過ms, target);
}

void VirtualClock::wait(double seconds) {
    ++待機回数;
    advance(seconds > 0 ? seconds : 0);
    if (onWait)
        onWait();
}

void VirtualClock::wakeableWait(double seconds) {
    ++待機回数;
    advance(seconds > 0 ? seconds : 0, true);
    if (onWait)
        onWait();
}

void VirtualClock::processEvents() { ++処理回数; }

void VirtualClock::setLocalTime(const QDateTime& t) {
    開始 = t.addMSecs(-経過ms);
}

void VirtualClock::at(const QDateTime& when, std::function<void()> action) {
    予定.emplace(開始.msecsTo(when), std::move(action));
}

} // namespace kelvo::test
