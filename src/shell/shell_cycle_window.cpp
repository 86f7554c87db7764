// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/shell_cycle_window.h"

#include "settings/phone_dialog.h"
#include "settings/settings_dialogs.h"
#include "shell/main_form.h"

#include <QLineEdit>

namespace kelvo {

void ShellCycleWindow::ウィンドウの最小化() { 窓.ウィンドウの最小化(); }

void ShellCycleWindow::実行モード() {
    窓.実行モード();
    if (実行開始時)
        実行開始時();
}

bool ShellCycleWindow::ウィンドウが見えている() const { return 窓.見えている(); }

QString ShellCycleWindow::携帯アドレス欄() {
    return 設定画面.携帯電話の設定().txtメールアドレス->text();
}

void ShellCycleWindow::携帯電話の設定表示() {
    if (設定画面の代わり)
        設定画面の代わり();
    else
        設定画面.携帯電話の設定表示(false);
}

} // namespace kelvo
