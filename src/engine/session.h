// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"

namespace kelvo {

class MapiSession;

// Signs on to the mail system (or reuses the session already open) and hands the session to
// the messages control. True when the messages control now carries a session; after any
// failure one error line and false.
bool ログオン(EngineContext& ctx);

// Signs off the session this program opened; does nothing otherwise. Failures go to the
// caller.
void ログオフ(MapiSession& mapSess);
void ログオフ(EngineContext& ctx);

// The sign-off that ends a pass or Kelvo, which may come in the middle of a forward (the close
// box, a signal or the session's end during its pauses): a forward cut short (only some of its
// mails went out) first keeps its message unread, so that the next start forwards it again
// instead of the sign-off storing its read mark. Failures of the sign-off go to the caller.
void 終了時ログオフ(EngineContext& ctx);

} // namespace kelvo
