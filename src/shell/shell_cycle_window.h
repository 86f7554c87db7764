// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/cycle_window.h"

#include <functional>

namespace kelvo {

class MainForm;
class SettingsDialogs;

// The main window and its phone settings dialog as the forwarding cycle sees them.
class ShellCycleWindow final : public CycleWindow {
public:
    ShellCycleWindow(MainForm& window, SettingsDialogs& dialogs) : 窓(window), 設定画面(dialogs) {}

    void ウィンドウの最小化() override;
    void 実行モード() override;
    QString 携帯アドレス欄() override;
    void 携帯電話の設定表示() override;
    bool ウィンドウが見えている() const override;

    // Forwarding runs now (a service reports it ready).
    std::function<void()> 実行開始時;
    // Set where nobody could use the phone settings dialog: called instead of showing it.
    std::function<void()> 設定画面の代わり;

private:
    MainForm& 窓;
    SettingsDialogs& 設定画面;
};

} // namespace kelvo
