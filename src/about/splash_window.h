// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <functional>

class QFrame;
class QLabel;

namespace kelvo {

class Waiter;

// What the start-up window sets going while it is up.
struct SplashSteps {
    std::function<void()> メインフォーム表示; // load the main window and show it
    std::function<bool()> サイレント起動;     // the command line asked to start forwarding at once
    std::function<void()> 自動転送開始;       // run the forwarding cycle until it is stopped
};

// The program's first window: the logo, the name and version, the maker and the author.
// Once shown it brings up the main window and, after a silent start, the forwarding cycle.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    SplashWindow(Waiter& waiter, SplashSteps steps, QWidget* parent = nullptr);

    // The activation step; runs once, the first time the window is shown. With a silent
    // start it returns only when the forwarding cycle has stopped.
    void Form_Activate();
    bool 活性化済み() const { return 活性化済み値; }

    // Controls, named as the window's own.
    QFrame* Frame1 = nullptr;
    QLabel* imgLogo = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lbl製作 = nullptr;
    QLabel* lbl作者 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Waiter& waiter;
    SplashSteps steps;
    bool 活性化予定 = false;
    bool 活性化済み値 = false;
};

using frmSplash = SplashWindow;

} // namespace kelvo
