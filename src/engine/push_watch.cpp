// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/push_watch.h"

#include "common/clock.h"
#include "common/error_trap.h"
#include "common/window_port.h"
#include "common/yielding_wait.h"
#include "mail/core/mail_error.h"

#include <QUrl>
#include <algorithm>

namespace kelvo {

PushWatch::PushWatch(PushLine& line, const Clock& clock, Waiter& waiter, WindowPort& window)
    : line(line), clock(clock), waiter(waiter), window(window) {
    line.onEvent = [this](const QString& store, const PushEvent& event) {
        エラー無視([&] { 受信(store, event); });
    };
}

PushWatch::~PushWatch() {
    接続群.clear();
    line.onEvent = nullptr;
}

qint64 PushWatch::今() const {
    return clock.monotonicMs();
}

QString PushWatch::行(const 接続& c, const QString& text) const {
    return 受信箱別_ ? text + u'（' + c.名前 + u'）' : text;
}

void PushWatch::開始(const QString& name) {
    閉じる();
    // A server without IDLE may have gained it since.
    接続群.clear();
    profile = name;
    const QStringList stores = line.pushStores(profile);
    for (const QString& store : stores) {
        接続群.emplace_back();
        接続群.back().名前 = store;
    }
    受信箱別_ = stores != QStringList{profile} && !stores.isEmpty();
}

bool PushWatch::見張り中() const {
    return !接続群.empty() && std::all_of(接続群.begin(), 接続群.end(),
                                          [](const 接続& c) { return c.state == State::Open; });
}

void PushWatch::待機中() {
    const qint64 now = 今();
    for (接続& c : 接続群) {
        if (c.state == State::Closed || (c.state == State::Retrying && now >= c.再接続ms)) {
            c.state = State::Connecting;
            c.connection.reset(); // a lost one is ended before the next begins
            c.connection = line.open(c.名前);
        } else if (c.state == State::Open && now >= c.更新ms) {
            c.更新ms = now + kRenewMs;
            if (c.connection)
                c.connection->renew();
        }
    }
}

void PushWatch::閉じる(接続& c) {
    c.新着 = false;
    c.connection.reset();
    // A server without IDLE, or one that refused the sign-on, is not tried again before the next
    // start, or the next pass that signs on.
    if (c.state != State::NoIdle && c.state != State::Refused)
        c.state = State::Closed;
}

void PushWatch::閉じる() {
    for (接続& c : 接続群)
        閉じる(c);
}

void PushWatch::サインオン成功(const QStringList& 欠けた受信箱) {
    for (接続& c : 接続群) {
        const QString account = QString::fromLatin1(QUrl::toPercentEncoding(c.名前));
        if (c.state == State::Refused && !(受信箱別_ && 欠けた受信箱.contains(account))) {
            c.state = State::Retrying;
            c.再接続ms = 今();
        }
    }
}

std::optional<qint64> PushWatch::次の用事ms() const {
    std::optional<qint64> next;
    for (const 接続& c : 接続群) {
        std::optional<qint64> ms;
        switch (c.state) {
        case State::Closed:
            ms = 0;
            break;
        case State::Retrying:
            ms = c.再接続ms - 今();
            break;
        case State::Open:
            ms = c.更新ms - 今();
            break;
        default:
            break;
        }
        if (ms && (!next || *ms < *next))
            next = ms;
    }
    return next;
}

bool PushWatch::新着あり() const {
    return std::any_of(接続群.begin(), 接続群.end(), [](const 接続& c) { return c.新着; });
}

QStringList PushWatch::パス開始() {
    QStringList from;
    for (接続& c : 接続群)
        if (std::exchange(c.新着, false))
            from << c.名前;
    return from;
}

void PushWatch::受信(const QString& store, const PushEvent& event) {
    for (接続& c : 接続群)
        if (c.名前 == store) {
            受信(c, event);
            return;
        }
}

void PushWatch::受信(接続& c, const PushEvent& event) {
    if (c.state != State::Connecting && c.state != State::Open)
        return; // what a closed connection still had to say
    switch (event.kind) {
    case PushEvent::Connected:
        c.state = State::Open;
        c.接続ms = 今();
        c.更新ms = c.接続ms + kRenewMs;
        c.エラー通知済 = false;
        if (c.切断通知済) {
            c.切断通知済 = false;
            window.モニター行追加(行(c, kプッシュ再開));
            // Mail may have come while push was away: look now rather than at the interval.
            受信(c, {PushEvent::NewMail, {}, 0});
        }
        // The renewal is due from now on: a cycle sleeping through its turns counts anew.
        waiter.wake();
        break;
    case PushEvent::NoIdle:
        c.state = State::NoIdle;
        if (!非対応通知済.contains(c.名前)) {
            非対応通知済 << c.名前;
            window.モニター行追加(行(c, kプッシュ非対応));
        }
        break;
    case PushEvent::NewMail:
        // The connection tells once per wait, and again after a pass only of what came during
        // it: a burst is one pass and at most one more, with no settling delay.
        c.新着 = true;
        waiter.wake();
        break;
    case PushEvent::Lost:
        失った(c, event);
        waiter.wake(); // as for the renewal: the next try has a time of its own
        break;
    }
}

void PushWatch::失った(接続& c, const PushEvent& event) {
    if (c.state == State::Open && !c.切断通知済) {
        c.切断通知済 = true;
        window.モニター行追加(行(c, kプッシュ切断));
    }
    if (!event.error.isEmpty() && !c.エラー通知済) {
        c.エラー通知済 = true;
        window.エラー行追加(行(c, event.error), event.errorNumber);
    }
    if (event.comesBack) {
        c.state = State::Connecting;
        return;
    }
    if (event.errorNumber == mailerr::LoginFailed) {
        c.state = State::Refused;
        return;
    }
    if (c.state == State::Open && 今() - c.接続ms >= kSteadyMs)
        c.間隔ms = kFirstRetryMs;
    c.state = State::Retrying;
    c.再接続ms = 今() + c.間隔ms;
    c.間隔ms = std::min(c.間隔ms * 2, kLongestRetryMs);
}

} // namespace kelvo
