// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kelvo {

struct EngineContext;

// What a forward of the automatic pass sent before it failed: its retry sends only the mails
// not yet sent, as long as they would be the same mails to the same address.
struct 送信記録 {
    QString 宛先;
    QList<QByteArray> 指紋; // of each mail's subject and text, in sending order
    qsizetype 送信済み = 0;  // the first mails of the list that went out
};

// What the forwarding carries from one pass to the next.
struct 転送状態 {
    // The receive time the next pass forwards from at the latest: the check start of the last
    // pass that fetched and forwarded everything it sent. Empty for the first pass of a start.
    std::optional<QDateTime> 締切基準;
    bool 締切基準未保存 = false; // the state file does not have it yet
    // Forwards that could not be sent, by MsgID. A message that reaches the limit is given up
    // until forwarding is started again.
    QHash<QString, int> 送信失敗回数;
    // What went out of the forwards that failed part-way, by MsgID.
    QHash<QString, 送信記録> 送信済み;
    // The MsgID of every "Z" mail read in this pass: the finish waits until its read mark is
    // in the mailbox.
    QStringList 終了要求;
    // The unread fetch of the pass that began at this check start time, and whether it worked.
    QDateTime 取得したパス;
    bool 取得成功 = false;
    // The accounts of an Inbox of several whose mail that fetch lacks: they could not be reached.
    QStringList 欠けた受信箱;
    // Those of them that wait for a person to sign in: their line is shown once.
    QStringList サインイン待ちの受信箱;
    // Accounts whose mail waits at an older reach than the others': one that could not be
    // reached keeps the reach of the pass that missed it, until a pass forwards all its mail.
    QHash<QString, QDateTime> 受信箱の締切;
    // Mail older than a pass's 30 minutes may still wait at the reach: it came with the state
    // file, or the last pass did not fetch and forward everything.
    bool 取り残し = false;
    QDateTime 締切を決めたパス; // the check start of the pass that last set the reach
    // Forwarding was started, and the state file does not yet say how it ended.
    bool 終了未記録 = false;
    bool 書込失敗中 = false; // the last write of the state file failed (and was reported)
};

// How many times a message's forward is tried before it is given up.
inline constexpr int k送信試行上限 = 3;

// At every start of forwarding: nothing of an earlier start is pending, and every message gets
// its full number of tries again. The first pass goes back as far as the state file beside
// list.ini says (at most 24 hours, so a start after a long pause does not forward an old
// Inbox), and at least 30 minutes: after a clean end only to the mail that run left behind,
// after a crash to the last pass that forwarded everything. The file then says that a run is
// under way, so that a crash of this one is known at the next start.
void 転送状態リセット(EngineContext& ctx);

// When the pass under way began, to the whole second (received times are whole seconds, and so
// is every comparison made with it); now when no pass is under way.
QDateTime チェック開始(const EngineContext& ctx);
// The start of the pass's 30-minute window: mail received before it is old.
QDateTime 受信時間枠(const EngineContext& ctx);

// What the pass under way reaches back to: its 30 minutes, or the older reach before it.
QDateTime パスの締切(const EngineContext& ctx);

// The reach of the pass under way for the mail of one account of an Inbox of several (empty:
// of the only one), and the oldest reach of any account, for the fetch.
QDateTime 受信箱のパスの締切(const EngineContext& ctx, const QString& account);
QDateTime 取得の締切(const EngineContext& ctx);

// After the forwarding of a pass that reached back to cutOff: the accounts the fetch lacked
// keep their reach; the others catch up with the rest once the pass did everything.
void 受信箱締切更新(EngineContext& ctx, bool allDone, const QDateTime& cutOff);

// The reach of later passes: the check start of a pass that fetched and forwarded everything,
// or the older reach of one that did not. A later start reaches back as far once the state
// file keeps it (転送状態保存).
void 締切基準更新(EngineContext& ctx, const QDateTime& reach);

// The pass under way ends without having fetched and forwarded everything (its sign-on failed,
// or Kelvo ends in the middle of it): later passes reach back as far as it did. Nothing when
// the pass has already set the reach.
void 未完了パス記録(EngineContext& ctx);

// After the pass has signed off (no disk is written while a server waits): the state file
// keeps the reach. A file that cannot be written gives one error line, until a write works.
void 転送状態保存(EngineContext& ctx);

// Forwarding ends as asked (stop, end of Kelvo, a signal, the timed finish, the phone's finish
// command): the state file keeps only the reach of mail left behind, so that the next start
// does not forward what merely arrived while Kelvo was stopped. Nothing when no forwarding was
// started or its end is recorded already.
void 正常終了記録(EngineContext& ctx);

// The state file beside list.ini; empty when there is no list.ini path.
QString 状態ファイルパス(const EngineContext& ctx);

// After the pass has signed off: raises the finish flag when the read mark of a "Z" mail of
// the pass is stored in the mailbox. A mark that could not be stored leaves the mail unread,
// so the next pass sees the command again.
void 終了要求確定(EngineContext& ctx);

} // namespace kelvo
