// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/clock.h"
#include "shell/application.h"
#include "shell/program_options.h"
#include "shell/service_program.h"
#include "shell/signal_bridge.h"

int main(int argc, char** argv) {
    // Before anything that takes time: a signal of the start-up ends Kelvo cleanly.
    kelvo::シグナル受付開始();
    // --help, --version and unknown options: answered before anything starts.
    if (const auto status = kelvo::端末オプション応答(argc, argv))
        return *status;
    kelvo::readTimeZoneOnce();
    // "--service": no widget, no window, no platform plugin.
    if (kelvo::サービス指定(kelvo::引数一覧(argc, argv)))
        return kelvo::runService(argc, argv);
    return kelvo::runKelvo(argc, argv);
}
