// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/headless_window.h"

#include "common/error_trap.h"
#include "mail/core/mail_call.h"
#include "shell/log_file.h"
#include "shell/monitor.h"

#include <QEvent>

namespace kelvo {

HeadlessWindow::HeadlessWindow(const Clock& clock, QObject* parent) : QObject(parent), 時計(clock) {
    closeAfterMailCalls(*this);
}

void HeadlessWindow::setPanelText(const QString& key, const QString& text) {
    パネル.insert(key, text);
    emit panelChanged(key, text);
}

void HeadlessWindow::モニター行追加(const QString& message, bool) {
    行追加(message, false, 0);
}

void HeadlessWindow::エラー行追加(const QString& description, int number) {
    行追加(エラーメッセージ(description, number), true, number);
}

void HeadlessWindow::行追加(const QString& message, bool error, int number) {
    const QString line = モニター行(時計.now(), message);
    行.append(line);
    emit lineAdded(line, error, number);
}

void HeadlessWindow::ログファイル書込(const QString& path) {
    kelvo::ログファイル書込(path, 行, 時計.now(), *this);
}

MsgResult HeadlessWindow::messageBox(const QString& text, MsgButtons, const QString&) {
    モニター行追加(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed());
    return MsgResult::Ok;
}

bool HeadlessWindow::event(QEvent* event) {
    if (event->type() != QEvent::Close)
        return QObject::event(event);
    // The program ends inside the unload handler; only a test's exit double returns.
    if (閉じる時)
        エラー無視([&] { 閉じる時(); });
    return true;
}

} // namespace kelvo
