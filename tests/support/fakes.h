// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/program_exit.h"
#include "common/ui_port.h"
#include "common/window_port.h"

#include <QHash>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <vector>

namespace kelvo::test {

struct ShownMessage {
    QString text;
    MsgButtons buttons;
    QString title;
};

// Answers message boxes from a script (Yes/OK when the script is empty) and records them.
class FakeUi final : public UiPort {
public:
    MsgResult messageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                         const QString& title) override;
    void beep() override { ++beeps; }
    bool openUrl(const QUrl& url) override {
        opened.push_back(url);
        return openSucceeds;
    }

    std::vector<ShownMessage> messages;
    std::deque<MsgResult> answers;
    int beeps = 0;
    std::vector<QUrl> opened;
    bool openSucceeds = true;
    // Runs inside each message box, as a user's action while the box is up.
    std::function<void(const QString&)> whileShown;
};

// Records the end of the program instead of ending the test runner.
class RecordingExit final : public ProgramExit {
public:
    void endProgram() override { ++ends; }
    int ends = 0;
};

// The window as the engine sees it, without widgets.
class FakeWindow final : public WindowPort {
public:
    explicit FakeWindow(const Clock& clock, UiPort* ui = nullptr) : 時計(clock), ui(ui) {}

    void setPanelText(const QString& key, const QString& text) override;
    QString panelText(const QString& key) const override { return panels.value(key); }
    void モニター行追加(const QString& message, bool widen = true) override;
    void エラー行追加(const QString& description, int number) override;
    int モニター行数() const override { return static_cast<int>(monitor.size()); }
    void ログファイル書込(const QString& path) override;
    MsgResult messageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                         const QString& title = kAppTitle) override;
    void beep() override { ++beeps; }

    QHash<QString, QString> panels;
    // Every text a panel was given, in order, per key.
    QHash<QString, QStringList> panelHistory;
    QStringList monitor;
    // The rows of the lines added with widening.
    std::vector<int> widenExtents;
    std::vector<ShownMessage> messages;
    int beeps = 0;

private:
    const Clock& 時計;
    UiPort* ui;
};

} // namespace kelvo::test
