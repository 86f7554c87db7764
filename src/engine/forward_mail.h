// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"
#include "engine/engine_context.h"

#include <QString>
#include <optional>

namespace kelvo {

// Forwards the current message of mapMess to the phone, or to the address of the first
// multi-account rule that fits its current recipient: a short header, the kept body lines,
// and numbered parts when the whole is longer than the part size. Returns nothing when every
// mail was sent; otherwise the error that ended the forward, which is already on the monitor
// as one error line (mails sent before it stay sent).
//
// With a record (the automatic pass's retries), the forward notes what it sent; when it is
// tried again, mails that went out at an earlier try are not sent again as long as they are
// the same mails to the same address.
std::optional<KelvoError> メール転送(EngineContext& ctx, 送信記録* 記録 = nullptr);

// The display names of the current message's recipients of the kind (kRecipTo, kRecipCc), in
// order, "; " between them and CR LF after; empty when there is none. Moves RecipIndex.
QString 受信者一覧(EngineContext& ctx, int kind);

// Where the current message goes: the phone, or a multi-account rule's address.
QString 転送先(EngineContext& ctx);

// The one recipient of the outgoing message: the address with a name to show, or, with a named
// profile, the address alone as the name for the mail system to resolve.
void 宛先設定(EngineContext& ctx, const QString& address, const QString& displayName);

// After every Send: with a named profile, sign off and on again; count the mail and show the
// count in its panel.
void 送信後処理(EngineContext& ctx);

} // namespace kelvo
