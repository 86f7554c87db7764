// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <QPointer>
#include <array>

class QFrame;
class QLabel;
class QPushButton;

namespace kelvo {

// The About window: the program icon, the name with its version, a disclaimer, the author
// and the web address. It does not hold up the main window.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    void cmdOK_Click();

    // Controls, named as the window's own.
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QFrame*, 2> Line1{};
    QPushButton* cmdOK = nullptr;
};

using バージョン = AboutWindow;

// Keeps the About window single: asking for it while it is open shows the same window again.
class AboutOpener {
public:
    AboutWindow* 表示();
    // The open window, or null.
    AboutWindow* window() const { return 窓; }

private:
    QPointer<AboutWindow> 窓;
};

} // namespace kelvo
