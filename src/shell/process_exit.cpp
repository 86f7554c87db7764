// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/process_exit.h"

#include "common/error_trap.h"

#include <cstdio>
#include <unistd.h>

namespace kelvo {

void ProcessExit::endProgram() {
    if (終了直前)
        エラー無視([&] { 終了直前(); });
    std::fflush(nullptr);
    ::_exit(終了コード);
}

} // namespace kelvo
