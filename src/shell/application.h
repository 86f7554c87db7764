// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo {

struct SplashSteps;
class MainForm;

// What the start-up window does with the main window: load and show it, and start forwarding
// when the command line asked for a silent start.
SplashSteps 起動手順(MainForm& window);

// Builds the real program around the main window and runs it.
int runKelvo(int argc, char** argv);

} // namespace kelvo
