// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

// The keys of the status bar's three panels.
inline const QString kPanel次の接続まで = QStringLiteral("次の接続まで");
inline const QString kPanel新着メール数 = QStringLiteral("新着メール数");
inline const QString kPanel転送メール数 = QStringLiteral("転送メール数");

inline const QString kAppTitle = QStringLiteral("Kelvo");

// The message of an error line: "エラー！「" description "(" number ")" "」". Joined, not
// arg()'d: the description is outside text that may hold "%1".
inline QString エラーメッセージ(const QString& description, int number) {
    return QStringLiteral("エラー！「") + description + u'(' + QString::number(number) +
           QStringLiteral(")」");
}

// What the engine needs of the main window: the status panels, the monitor, message boxes
// and a beep. The Qt main window implements it; tests use a recording double.
class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual void setPanelText(const QString& key, const QString& text) = 0;
    virtual QString panelText(const QString& key) const = 0;

    // Adds a monitor line: the time prefix, four blanks and the message.
    virtual void モニター行追加(const QString& message, bool widen = true) = 0;
    // Adds an error line: "エラー！「" description "(" number ")" "」", widened.
    virtual void エラー行追加(const QString& description, int number) = 0;
    // How many lines the monitor holds.
    virtual int モニター行数() const = 0;
    // Appends the monitor as one block to the log file; a failure becomes one error line.
    virtual void ログファイル書込(const QString& path) = 0;

    // A message box owned by the main window; returns the pressed button.
    virtual MsgResult messageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                                 const QString& title = kAppTitle) = 0;
    virtual void beep() = 0;
};

} // namespace kelvo
