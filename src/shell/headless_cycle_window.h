// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/cycle_window.h"

#include <functional>

namespace kelvo {

class ProgramShell;
struct SettingsRecord;

// The service's window as the forwarding cycle sees it: nothing to minimize and nobody who
// sees the countdown, and in place of the phone settings dialog, which nobody could fill in,
// the end of the service.
class HeadlessCycleWindow final : public CycleWindow {
public:
    HeadlessCycleWindow(ProgramShell& shell, const SettingsRecord& settings)
        : 殻(shell), 設定(settings) {}

    void ウィンドウの最小化() override {}
    void 実行モード() override;
    // The dialog would show the address of the settings, which the start has just read.
    QString 携帯アドレス欄() override;
    void 携帯電話の設定表示() override;
    bool ウィンドウが見えている() const override { return false; }

    // Forwarding runs now (the service reports it ready).
    std::function<void()> 実行開始時;
    // The phone settings would be needed (the service ends, and says why).
    std::function<void()> 設定画面の代わり;

private:
    ProgramShell& 殻;
    const SettingsRecord& 設定;
};

} // namespace kelvo
