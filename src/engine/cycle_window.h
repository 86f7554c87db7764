// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// What the forwarding cycle asks of the main window beyond the status panels and the
// monitor: its mode and size, whether it is seen, and the phone settings dialog.
class CycleWindow {
public:
    virtual ~CycleWindow() = default;
    virtual void ウィンドウの最小化() = 0;
    virtual void 実行モード() = 0;
    // The text of the phone settings dialog's address box; the dialog is loaded without being
    // shown when it is not loaded yet, which fills the box from the settings file.
    virtual QString 携帯アドレス欄() = 0;
    // Shows the phone settings dialog without waiting for it.
    virtual void 携帯電話の設定表示() = 0;
    // Someone can see the countdown: the window is shown and not minimized. While nobody can,
    // the cycle sleeps through the turns at which nothing is due; the window wakes it when it is
    // seen again.
    virtual bool ウィンドウが見えている() const { return true; }
};

} // namespace kelvo
