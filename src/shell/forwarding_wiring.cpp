// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/forwarding_wiring.h"

#include "common/error_trap.h"
#include "engine/forward_state.h"
#include "engine/session.h"
#include "mail/core/profiles.h"
#include "mail/profile_backend.h"
#include "shell/app_context.h"
#include "shell/process_exit.h"
#include "shell/program_shell.h"
#include "shell/service_mode.h"

namespace kelvo {

ForwardingWiring::ForwardingWiring(AppContext& context, WindowPort& window, ProcessExit& exit,
                                   ServiceNotifier& notifier, ProfileBackend& mailSystem,
                                   CycleWindow& cycleWindow, WeeklySchedule& schedule,
                                   MainFormHooks& hooks, std::function<QString()> listPath)
    : engine{context.設定, context.状態, window, context.clock, context.waiter, exit, QString()},
      pushLine(defaultProfilesPath()),
      push(pushLine, context.clock, context.waiter, window), cycle{engine, system, cycleWindow,
                                                                   schedule, &push} {
    engine.mapSess = context.mapSess;
    engine.mapMess = context.mapMess;
    engine.設定ディレクトリ = context.settingsDirectory;
    engine.システム = &system;
    mailSystem.borrowFrom(pushLine);
    // The state file says Kelvo ended as asked before the log is written.
    hooks.ログオフ = [this] {
        push.閉じる();
        エラー無視([&] { 終了時ログオフ(engine); });
        正常終了記録(engine);
    };
    // Every road that ends Kelvo comes here last: the unload handler (the menu, the close box, a
    // signal, the desktop session's end, a service's failed start), power-off and the timed
    // finish. The service manager hears STOPPING=1.
    exit.終了直前 = [this, &notifier] {
        push.閉じる();
        // Every other road to the end (power-off included) has recorded it already.
        エラー無視([&] { 正常終了記録(engine); });
        notifier.終了中();
    };
    hooks.自動転送開始 = [this, listPath = std::move(listPath)] {
        engine.リストファイルパス = listPath();
        自動転送開始(cycle);
    };
}

} // namespace kelvo
