// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/settings_record.h"
#include "system/system_control.h"

namespace kelvo {

// Starts `プログラム名` as a command line, minimized with focus, and returns at once. A name
// that is empty or cannot be started raises a KelvoError for the caller; nothing is shown.
void funcプログラム実行(SystemControl& system, const SettingsRecord& settings);

} // namespace kelvo
