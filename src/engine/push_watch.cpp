// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/push_watch.h"

#include "common/clock.h"
#include "common/error_trap.h"
#include "common/window_port.h"
#include "common/yielding_wait.h"
#include "mail/core/mail_error.h"

#include <algorithm>

namespace kelvo {

PushWatch::PushWatch(PushLine& line, const Clock& clock, Waiter& waiter, WindowPort& window)
    : line(line), clock(clock), waiter(waiter), window(window) {
    line.onEvent = [this](const PushEvent& event) { エラー無視([&] { 受信(event); }); };
}

PushWatch::~PushWatch() {
    connection.reset();
    line.onEvent = nullptr;
}

qint64 PushWatch::今() const {
    return clock.monotonicMs();
}

void PushWatch::開始(const QString& name) {
    閉じる();
    state = State::Closed; // a server without IDLE may have gained it since
    profile = name;
    有効_ = line.pushes(profile);
    間隔ms = kFirstRetryMs;
    切断通知済 = false;
    エラー通知済 = false;
}

void PushWatch::待機中() {
    if (!有効_)
        return;
    const qint64 now = 今();
    if (state == State::Closed || (state == State::Retrying && now >= 再接続ms)) {
        state = State::Connecting;
        connection.reset(); // a lost one is ended before the next begins
        connection = line.open(profile);
    } else if (state == State::Open && now >= 更新ms) {
        更新ms = now + kRenewMs;
        if (connection)
            connection->renew();
    }
}

void PushWatch::閉じる() {
    新着 = false;
    connection.reset();
    // A server without IDLE, or one that refused the sign-on, is not tried again before the next
    // start, or the next pass that signs on.
    if (state != State::NoIdle && state != State::Refused)
        state = State::Closed;
}

void PushWatch::サインオン成功() {
    if (state == State::Refused) {
        state = State::Retrying;
        再接続ms = 今();
    }
}

std::optional<qint64> PushWatch::次の用事ms() const {
    if (!有効_)
        return std::nullopt;
    switch (state) {
    case State::Closed:
        return 0;
    case State::Retrying:
        return 再接続ms - 今();
    case State::Open:
        return 更新ms - 今();
    default:
        return std::nullopt;
    }
}

bool PushWatch::新着あり() const {
    return 新着;
}

void PushWatch::受信(const PushEvent& event) {
    if (state != State::Connecting && state != State::Open)
        return; // what a closed connection still had to say
    switch (event.kind) {
    case PushEvent::Connected:
        state = State::Open;
        接続ms = 今();
        更新ms = 接続ms + kRenewMs;
        エラー通知済 = false;
        if (切断通知済) {
            切断通知済 = false;
            window.モニター行追加(kプッシュ再開);
            // Mail may have come while push was away: look now rather than at the interval.
            受信({PushEvent::NewMail, {}, 0});
        }
        // The renewal is due from now on: a cycle sleeping through its turns counts anew.
        waiter.wake();
        break;
    case PushEvent::NoIdle:
        state = State::NoIdle;
        if (!非対応通知済) {
            非対応通知済 = true;
            window.モニター行追加(kプッシュ非対応);
        }
        break;
    case PushEvent::NewMail:
        // The connection tells once per wait, and again after a pass only of what came during
        // it: a burst is one pass and at most one more, with no settling delay.
        新着 = true;
        waiter.wake();
        break;
    case PushEvent::Lost:
        失った(event);
        waiter.wake(); // as for the renewal: the next try has a time of its own
        break;
    }
}

void PushWatch::失った(const PushEvent& event) {
    if (state == State::Open && !切断通知済) {
        切断通知済 = true;
        window.モニター行追加(kプッシュ切断);
    }
    if (!event.error.isEmpty() && !エラー通知済) {
        エラー通知済 = true;
        window.エラー行追加(event.error, event.errorNumber);
    }
    if (event.comesBack) {
        state = State::Connecting;
        return;
    }
    if (event.errorNumber == mailerr::LoginFailed) {
        state = State::Refused;
        return;
    }
    if (state == State::Open && 今() - 接続ms >= kSteadyMs)
        間隔ms = kFirstRetryMs;
    state = State::Retrying;
    再接続ms = 今() + 間隔ms;
    間隔ms = std::min(間隔ms * 2, kLongestRetryMs);
}

} // namespace kelvo
