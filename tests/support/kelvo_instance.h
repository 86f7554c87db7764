// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "fakes.h"
#include "shell/main_form.h"
#include "virtual_clock.h"

#include <memory>

namespace kelvo::test {

// One Kelvo as the user starts it, every port replaced by a double, its files in the given
// directory.
struct KelvoInstance {
    KelvoInstance(const QString& directory, VirtualClock& clock, const QString& commandLine = {})
        : ctx(clock, clock, exit, ui) {
        ctx.programDirectory = directory;
        ctx.settingsDirectory = directory;
        ctx.commandLineText = commandLine;
        window = std::make_unique<MainForm>(ctx);
    }
    FakeUi ui;
    RecordingExit exit;
    AppContext ctx;
    std::unique_ptr<MainForm> window;
};

} // namespace kelvo::test
