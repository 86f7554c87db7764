// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"
#include "fakes.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"
#include "virtual_clock.h"

namespace kelvo::test {

// The engine's context over an in-memory mail system and the given window double, on the
// virtual clock; the mail-system controls are in the context.
template <typename Window> struct MemoryEngine {
    explicit MemoryEngine(const QDateTime& start = QDateTime(QDate(2026, 12, 7), QTime(9, 0)))
        : clock(start) {
        ctx.mapSess = &mapSess;
        ctx.mapMess = &mapMess;
    }

    VirtualClock clock;
    Window window{clock};
    RecordingExit exit;
    SettingsRecord 設定;
    RunState 状態;
    MemoryMailSystem system;
    MemoryMailBackend backend{system};
    MapiSession mapSess{backend};
    MapiMessages mapMess{mapSess};
    EngineContext ctx{設定, 状態, window, clock, clock, exit, QString()};
};

} // namespace kelvo::test
