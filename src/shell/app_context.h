// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/program_exit.h"
#include "common/ui_port.h"
#include "common/yielding_wait.h"
#include "engine/run_state.h"
#include "settings/settings_record.h"

#include <QString>

namespace kelvo {

class MapiSession;
class MapiMessages;

// What lives as long as the program: the settings record, the run-time values, and the
// ports to the clock, the desktop and the end of the program.
struct AppContext {
    AppContext(Clock& c, Waiter& w, ProgramExit& e, UiPort& u) : clock(c), waiter(w), exit(e), ui(u) {}

    SettingsRecord 設定;
    RunState 状態;

    Clock& clock;
    Waiter& waiter;
    ProgramExit& exit;
    UiPort& ui;

    QString programDirectory;  // where the executable is
    QString settingsDirectory; // where setting.ini, list.ini and the lock are
    QString commandLineText;   // the arguments after the program name, joined by blanks

    // The main window's mail-system controls, made by the program's composition root.
    MapiSession* mapSess = nullptr;
    MapiMessages* mapMess = nullptr;
};

} // namespace kelvo
