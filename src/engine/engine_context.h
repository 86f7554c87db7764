// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/program_exit.h"
#include "common/window_port.h"
#include "common/yielding_wait.h"
#include "engine/run_state.h"
#include "settings/settings_record.h"

#include <QString>

namespace kelvo {

class MapiSession;
class MapiMessages;
class SystemControl;

// Everything the engine's operations work with, by reference. Whoever builds the main window
// fills it; tests fill it with doubles. Fields are added as the subsystems they reach exist.
struct EngineContext {
    SettingsRecord& 設定;
    RunState& 状態;
    WindowPort& 画面;
    Clock& 時計;
    Waiter& 待機;
    ProgramExit& 終了;
    QString リストファイルパス;
    // The mail-system controls of the main window.
    MapiSession* mapSess = nullptr;
    MapiMessages* mapMess = nullptr;
    // Where setting.ini lives: the settings are read again from there at each start, and
    // the default log path is made from it.
    QString 設定ディレクトリ = {};
    // The system's services; the sign-on redials a dial-up line through it.
    SystemControl* システム = nullptr;
};

} // namespace kelvo
