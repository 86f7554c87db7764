// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/forward_record.h"

#include <QDateTime>
#include <QString>

namespace kelvo {

struct EngineContext;

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
