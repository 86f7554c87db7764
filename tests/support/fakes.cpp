// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fakes.h"

#include "shell/log_file.h"
#include "shell/monitor.h"

namespace kelvo::test {

MsgResult FakeUi::messageBox(QWidget*, const QString& text, MsgButtons buttons,
                             const QString& title) {
    messages.push_back({text, buttons, title});
    if (whileShown)
        whileShown(text);
    MsgResult answer = buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    return answer;
}

void FakeWindow::setPanelText(const QString& key, const QString& text) {
    panels.insert(key, text);
    panelHistory[key].append(text);
}

void FakeWindow::モニター行追加(const QString& message, bool widen) {
    const QString line = モニター行(時計.now(), message);
    if (widen)
        widenExtents.push_back(static_cast<int>(monitor.size()));
    monitor.append(line);
}

void FakeWindow::エラー行追加(const QString& description, int number) {
    モニター行追加(エラーメッセージ(description, number), true);
}

void FakeWindow::ログファイル書込(const QString& path) {
    kelvo::ログファイル書込(path, monitor, 時計.now(), *this);
}

MsgResult FakeWindow::messageBox(const QString& text, MsgButtons buttons, const QString& title) {
    if (ui)
        return ui->messageBox(nullptr, text, buttons, title);
    messages.push_back({text, buttons, title});
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
}

} // namespace kelvo::test
