// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The engine over a mail back end with the quiet ports: what every pass benchmark sets up
// before it runs a pass.

#include "engine/engine_context.h"
#include "mail/mail_backend.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "quiet_ports.h"
#include "settings/settings_record.h"

namespace kelvo::quiet {

struct Pass {
    Pass(MailBackend& backend, const QString& listPath)
        : mapSess(backend),
          mapMess(mapSess), ctx{設定, 状態, window, clock, clock, exit, listPath} {
        ctx.mapSess = &mapSess;
        ctx.mapMess = &mapMess;
    }

    MapiSession mapSess;
    MapiMessages mapMess;
    SettingsRecord 設定;
    RunState 状態;
    Window window;
    StillClock clock;
    Exit exit;
    EngineContext ctx;
};

} // namespace kelvo::quiet
