// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/yielding_wait.h"
#include "system/system_control.h"

namespace kelvo {

// Hangs the dial-up line up: opens the system's dial-up window chosen by "windir" and "OS"
// and drives it with keystrokes, then takes down the active dial-up connection. Every step
// runs with errors ignored and nothing is reported. The argument does not change the script.
void 回線切断(int ダイヤルアップ, SystemControl& system, Waiter& waiter);

} // namespace kelvo
