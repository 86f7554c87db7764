// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/program_exit.h"
#include "common/window_port.h"
#include "common/yielding_wait.h"
#include "settings/settings_record.h"
#include "system/system_control.h"

namespace kelvo {

// The ports powering off works through.
struct SystemContext {
    SystemControl& システム;
    WindowPort& 画面;
    Waiter& 待機;
    ProgramExit& 終了;
};

// Enables the right to shut the system down; true when it is enabled. Without a process
// token the user is told so in a message box.
bool EnableShutdownPrivilege(SystemControl& system, WindowPort& window);

// Sets the finish flag, writes the log when asked to, asks the system to shut down, gives it
// time, and ends the program. Every step runs with errors ignored. In the running program it
// does not come back: the exit port ends the process.
void 電源OFF(const SystemContext& context, const SettingsRecord& settings, int& 終了フラグ);

} // namespace kelvo
