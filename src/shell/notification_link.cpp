// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/notification_link.h"

#include "engine/run_state.h"
#include "shell/headless_window.h"
#include "shell/main_form.h"
#include "system/desktop_notifier.h"

#include <memory>

namespace kelvo {
namespace {

template <typename Window>
void 接続(Window& window, DesktopNotifier& notifier, std::function<bool()> 実行中,
          const RunState& 状態) {
    QObject::connect(&window, &Window::lineAdded, &notifier,
                     [&notifier, 実行中](const QString& line, bool error, int number) {
                         if (error && 実行中())
                             notifier.エラー行(line, number);
                     });
    auto lastStart = std::make_shared<QDateTime>();
    QObject::connect(&window, &Window::panelChanged, &notifier,
                     [&状態, &notifier, lastStart](const QString& key, const QString& text) {
                         if (key != kPanel次の接続まで)
                             return;
                         const QDateTime& start = 状態.チェック開始時刻;
                         if (text == QStringLiteral("サーバーへ接続中・・・") &&
                             start != *lastStart) {
                             *lastStart = start;
                             notifier.パス開始();
                         } else if (text == QStringLiteral("メールチェック終了")) {
                             notifier.パス終了();
                         }
                     });
}

} // namespace

void 通知を接続(MainForm& window, DesktopNotifier& notifier) {
    接続(
        window, notifier, [&window] { return window.実行状態() == 2; }, window.context().状態);
}

void 通知を接続(HeadlessWindow& window, const ProgramShell& shell, const RunState& state,
                DesktopNotifier& notifier) {
    接続(
        window, notifier, [&shell] { return shell.実行状態() == 2; }, state);
}

} // namespace kelvo
