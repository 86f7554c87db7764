// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/yielding_wait.h"
#include "system/system_control.h"

namespace kelvo {

// How long a redial may take before it counts as failed.
inline constexpr int kRedialTimeoutSeconds = 60;

// Brings the line that the last hang-up took down up again and waits until it is connected.
// Does nothing when no line is remembered. Raises a KelvoError when connecting cannot begin,
// fails, or takes longer than the bound; the connection stays remembered for the next try.
void 回線再接続(SystemControl& system, Waiter& waiter, const Clock& clock,
                int timeoutSeconds = kRedialTimeoutSeconds);

} // namespace kelvo
