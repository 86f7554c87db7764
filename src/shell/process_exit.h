// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/program_exit.h"

#include <functional>

namespace kelvo {

// Ends the process at once; nothing after it runs.
class ProcessExit final : public ProgramExit {
public:
    [[noreturn]] void endProgram() override;

    // Runs on every road that ends Kelvo, just before the process ends.
    std::function<void()> 終了直前;
    int 終了コード = 0;
};

} // namespace kelvo
