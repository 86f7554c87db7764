// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/headless_cycle_window.h"

#include "settings/settings_record.h"
#include "shell/program_shell.h"

namespace kelvo {

void HeadlessCycleWindow::実行モード() {
    殻.実行モード();
    if (実行開始時)
        実行開始時();
}

QString HeadlessCycleWindow::携帯アドレス欄() {
    return 設定.メールアドレス;
}

void HeadlessCycleWindow::携帯電話の設定表示() {
    if (設定画面の代わり)
        設定画面の代わり();
}

} // namespace kelvo
