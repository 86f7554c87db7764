// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/run_state.h"

namespace kelvo {

void RunState::計数リセット() {
    新着メール数 = 0;
    転送メール数 = 0;
}

} // namespace kelvo
