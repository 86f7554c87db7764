// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace kelvo {

class MainForm;

// The tray icon of a Kelvo whose window is out of sight: one picture while forwarding runs and
// another while it is stopped, the time of the next check and the two counts as its tip, a click
// that shows the window, and a menu whose items do what the main menu's do.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    // program: what start at login runs.
    TrayIcon(MainForm& window, QString program);
    ~TrayIcon() override;

    QSystemTrayIcon* アイコン = nullptr;
    QMenu* メニュー = nullptr;
    QAction* 開始 = nullptr;
    QAction* 停止 = nullptr;
    QAction* ウィンドウを表示 = nullptr;
    QAction* ログイン時に開始 = nullptr;
    QAction* 終了 = nullptr;

    // Shows the state of start at login again (the item is disabled while the user unit is
    // enabled); called each time the menu opens.
    void 自動起動の表示更新();

private:
    void モード表示(int state);
    void ヒント更新();
    void ウィンドウ表示();
    void 自動起動切替(bool on);

    MainForm& 窓;
    QString プログラム;
    QString 予定; // the tip's line of the next check
};

// The tray icon when the desktop has a tray; nothing otherwise.
std::unique_ptr<TrayIcon> トレイアイコン作成(MainForm& window, const QString& program,
                                     const std::function<bool()>& trayAvailable);

} // namespace kelvo
