// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"

#include <QString>

namespace kelvo {

// list.ini: which message each number of the last subject list stands for.
inline const QString kリストセクション = QStringLiteral("件名リスト");

// The places of a mail request: more words end the request with an error.
inline constexpr qsizetype k要求表の大きさ = 21;

// The key of a list number: "件名" and the number in decimal with full-width digits
// (3 gives "件名３", 2.5 gives "件名２．５").
QString リストキー(double number);

// Mails the reply address a numbered list of the Inbox's subjects and senders, in list mails
// of the part size, and writes each listed message's MsgID into list.ini under its number.
// Stops at the first error with one error line.
void 一覧取得(EngineContext& ctx);

// Forwards, in Inbox order, the messages whose MsgID list.ini holds under the requested
// numbers. Stops at the first error with one error line (a list.ini cut short inside a line
// is one); a failed forward is reported by メール転送 and the others go on, and a mail whose
// automatic forward is being retried stays unread for it.
void 特定メール取得(EngineContext& ctx);

} // namespace kelvo
