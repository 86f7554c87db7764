// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/notification_link.h"

#include "shell/main_form.h"
#include "system/desktop_notifier.h"

#include <memory>

namespace kelvo {

void 通知を接続(MainForm& window, DesktopNotifier& notifier) {
    QObject::connect(&window, &MainForm::lineAdded, &notifier,
                     [&window, &notifier](const QString& line, bool error, int number) {
                         if (error && window.実行状態() == 2)
                             notifier.エラー行(line, number);
                     });
    auto lastStart = std::make_shared<QDateTime>();
    QObject::connect(&window, &MainForm::panelChanged, &notifier,
                     [&window, &notifier, lastStart](const QString& key, const QString& text) {
                         if (key != kPanel次の接続まで)
                             return;
                         const QDateTime& start = window.context().状態.チェック開始時刻;
                         if (text == QStringLiteral("サーバーへ接続中・・・") &&
                             start != *lastStart) {
                             *lastStart = start;
                             notifier.パス開始();
                         } else if (text == QStringLiteral("メールチェック終了")) {
                             notifier.パス終了();
                         }
                     });
}

} // namespace kelvo
