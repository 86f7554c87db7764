// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/push_port.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

namespace kelvo {

class Clock;
class Waiter;
class WindowPort;

inline const QString kプッシュ非対応 = QStringLiteral(
    "プッシュ通知に対応していないサーバーです。メールチェック間隔ごとに確認します。");
inline const QString kプッシュ切断 =
    QStringLiteral("プッシュ通知の接続が切れました。再接続します。");
inline const QString kプッシュ再開 = QStringLiteral("プッシュ通知の接続を再開しました。");

// Keeps the push connections while the cycle waits and tells it when new mail has come: the
// profile's, or one for each account with push of a profile that combines several, each with its
// own state and back-off. The connections are its own: they end with 閉じる() or with this
// object. All its timing (the renewal of the wait, the back-off after a lost connection) runs on
// the window's thread by the clock, at the cycle's turns.
class PushWatch {
public:
    static constexpr qint64 kRenewMs = 25 * 60 * 1000; // servers drop IDLE after 30 minutes
    static constexpr qint64 kFirstRetryMs = 5000;
    static constexpr qint64 kLongestRetryMs = 5 * 60 * 1000;
    // A connection that stayed up this long starts the back-off again from its first step; one
    // that a server drops right after each sign-on does not.
    static constexpr qint64 kSteadyMs = 60 * 1000;

    PushWatch(PushLine& line, const Clock& clock, Waiter& waiter, WindowPort& window);
    ~PushWatch();
    PushWatch(const PushWatch&) = delete;
    PushWatch& operator=(const PushWatch&) = delete;

    // At the start of forwarding: closes what is open and notes which stores of the profile push.
    void 開始(const QString& profile);
    bool 有効() const { return !接続群.empty(); }
    // True when the stores are accounts of a profile that combines several: news of one asks
    // for a pass over that account alone.
    bool 受信箱別() const { return 受信箱別_; }
    // Every connection is up and watching: what arrives from now on is told of.
    bool 見張り中() const;
    // At each turn while the cycle may push: connects, reconnects after the back-off, and
    // renews the wait when it is due.
    void 待機中();
    // Ends the connections; the next 待機中() opens them again.
    void 閉じる();
    // Milliseconds from now until 待機中() has something to do (connect, reconnect, renew); nothing
    // while only the connections' own news can change that.
    std::optional<qint64> 次の用事ms() const;
    // True once news came: the next pass should run now.
    bool 新着あり() const;
    // A pass starts: it takes the news so far, and returns the stores it came from; news from
    // now on asks for one more pass.
    QStringList パス開始();
    // The pass signed on: a push sign-on the server refused may be tried again now, except for
    // the accounts the pass did not sign on to (as the ids of their mail carry them).
    void サインオン成功(const QStringList& 欠けた受信箱 = {});

private:
    // Refused: the server refused the push connection's sign-on. The same secret would be refused
    // again and may lock the account, so it waits until a pass signs on.
    enum class State { Closed, Connecting, Open, Retrying, NoIdle, Refused };
    struct 接続 {
        QString 名前; // the profile whose store it watches
        std::unique_ptr<PushConnection> connection;
        State state = State::Closed;
        bool 新着 = false;
        qint64 更新ms = 0;   // when the wait is renewed
        qint64 再接続ms = 0; // when a lost connection is tried again
        qint64 接続ms = 0;   // when the open connection came up
        qint64 間隔ms = kFirstRetryMs;
        bool 切断通知済 = false;   // the line about a lost connection is shown
        bool エラー通知済 = false; // an error line was shown since the last good connection
    };
    void 受信(const QString& store, const PushEvent& event);
    void 受信(接続& c, const PushEvent& event);
    void 失った(接続& c, const PushEvent& event);
    void 閉じる(接続& c);
    // A line of the connection's, naming its account where there are several.
    QString 行(const 接続& c, const QString& text) const;
    qint64 今() const;

    PushLine& line;
    const Clock& clock;
    Waiter& waiter;
    WindowPort& window;
    QString profile;
    std::vector<接続> 接続群;
    bool 受信箱別_ = false;
    QStringList 非対応通知済; // the stores named as servers without push
};

} // namespace kelvo
