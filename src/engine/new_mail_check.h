// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"

#include <QDateTime>

namespace kelvo {

// The pass's fetch of the unread Inbox messages (FetchUnreadOnly true, then Fetch). A
// failure becomes one error line and is remembered: the pass then acts on no command and
// forwards nothing from a list that is not its own. True when it worked.
bool 未読メール取得(EngineContext& ctx);

// Looks through the fetched messages for commands from the phone's address: "G" asks for the
// subject list, list numbers for those messages, "Z" for the finish (raised later by
// 終了要求確定, once the mail's read mark is stored). A command the profile's rule refuses
// (the sender not confirmed, a wrong PIN) acts not at all, is marked read and gets one
// monitor line. Stops at the first error with one error line.
void メールチェック(EngineContext& ctx);

// The forwarding pass: every fetched message that passes the filters is forwarded with
// メール転送. Errors are ignored message by message. A forward that fails is kept unread
// and tried again at the next passes, k送信試行上限 times in all.
void 自動転送(EngineContext& ctx);

} // namespace kelvo
