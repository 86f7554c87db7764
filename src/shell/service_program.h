// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo {

// Builds Kelvo without widgets ("--service"): the engine, the mail layer and the main window's
// work over a core application that loads no platform plugin, the monitor going to standard
// error (the journal) and to the log. Runs it until it ends.
int runService(int argc, char** argv);

} // namespace kelvo
