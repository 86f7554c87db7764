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

} // namespace kelvo
