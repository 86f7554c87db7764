// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/tray_icon.h"

#include "common/error_trap.h"
#include "shell/autostart.h"
#include "shell/main_form.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QSystemTrayIcon>

namespace kelvo {
namespace {

const QString kユニット有効 =
    QStringLiteral("Kelvoはユーザーサービス（kelvo.service）として有効になっています。"
                   "同じ設定で二つ起動しないよう、ログイン時の起動は使えません。");

// The picture for the mode: the program's icon while running, its greyed form while stopped.
QIcon モードの絵(int state) {
    const QIcon icon = QApplication::windowIcon();
    if (state == 2)
        return icon;
    QIcon stopped;
    for (const QSize& size : icon.availableSizes())
        stopped.addPixmap(icon.pixmap(size, QIcon::Disabled));
    return stopped.isNull() ? icon : stopped;
}

// A countdown of the panel as the minute it counts to, which stays true between the turns of a
// cycle that nobody watches: "次の接続まで 29分58秒" written at 09:00 is "次の接続：09:30".
QString 予定の時刻(const QString& panel, const QDateTime& written) {
    static const QRegularExpression countdown(
        QStringLiteral("^(次の接続まで|あと) (?:(\\d+)日)?(?:(\\d+)時間)?(\\d+)分(\\d+)秒$"));
    const QRegularExpressionMatch m = countdown.match(panel);
    if (!m.hasMatch())
        return panel.trimmed();
    const auto part = [&m](int n) { return m.captured(n).toLongLong(); };
    const qint64 seconds = ((part(2) * 24 + part(3)) * 60 + part(4)) * 60 + part(5);
    const QDateTime at = written.addSecs(seconds + 30);
    const QString when = at.date() == written.date() ? at.toString(QStringLiteral("HH:mm"))
                                                     : at.toString(QStringLiteral("M/d HH:mm"));
    return (m.captured(1) == QStringLiteral("あと") ? QStringLiteral("次の稼動開始：")
                                                    : QStringLiteral("次の接続：")) +
           when;
}

} // namespace

TrayIcon::TrayIcon(MainForm& window, QString program)
    : 窓(window), プログラム(std::move(program)) {
    メニュー = new QMenu(&window);
    メニュー->setObjectName(QStringLiteral("trayMenu"));
    メニュー->setToolTipsVisible(true);
    // The same commands as the main menu, through its own items and under their names.
    auto item = [this](const QString& text, QAction* same) {
        QAction* action = メニュー->addAction(text);
        if (same) {
            connect(action, &QAction::triggered, same, &QAction::trigger);
            action->setEnabled(same->isEnabled());
        }
        return action;
    };
    開始 = item(window.mnu開始->text(), window.mnu開始);
    停止 = item(window.mnu停止->text(), window.mnu停止);
    ウィンドウを表示 = item(QStringLiteral("ウィンドウを表示"), nullptr);
    connect(ウィンドウを表示, &QAction::triggered, this, [this] { ウィンドウ表示(); });
    メニュー->addSeparator();
    ログイン時に開始 = item(QStringLiteral("ログイン時に開始"), nullptr);
    ログイン時に開始->setCheckable(true);
    connect(ログイン時に開始, &QAction::triggered, this, [this](bool on) { 自動起動切替(on); });
    メニュー->addSeparator();
    終了 = item(window.mnu終了->text(), window.mnu終了);
    connect(メニュー, &QMenu::aboutToShow, this, [this] { 自動起動の表示更新(); });

    アイコン = new QSystemTrayIcon(this);
    アイコン->setContextMenu(メニュー);
    connect(アイコン, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
            ウィンドウ表示();
    });
    connect(&window, &MainForm::modeChanged, this, [this](int state) { モード表示(state); });
    connect(&window, &MainForm::panelChanged, this,
            [this](const QString& key, const QString& text) {
                if (key == kPanel次の接続まで)
                    予定 = 予定の時刻(text, 窓.context().clock.now());
                ヒント更新();
            });
    予定 = 予定の時刻(window.panelText(kPanel次の接続まで), window.context().clock.now());
    モード表示(window.実行状態());
    自動起動の表示更新();
    アイコン->show();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::モード表示(int state) {
    開始->setEnabled(窓.mnu開始->isEnabled());
    停止->setEnabled(窓.mnu停止->isEnabled());
    アイコン->setIcon(モードの絵(state));
    ヒント更新();
}

void TrayIcon::ヒント更新() {
    const QStringList lines{kAppTitle, 予定, 窓.panelText(kPanel新着メール数),
                            窓.panelText(kPanel転送メール数)};
    // The desktop hears of every new tip; one that did not change is not sent again.
    const QString tip = lines.join(u'\n');
    if (tip != アイコン->toolTip())
        アイコン->setToolTip(tip);
}

void TrayIcon::ウィンドウ表示() {
    窓.setWindowState((窓.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    窓.show();
    窓.raise();
    窓.activateWindow();
}

void TrayIcon::自動起動の表示更新() {
    const bool unit = ユーザーユニット有効();
    ログイン時に開始->setChecked(自動起動あり());
    ログイン時に開始->setEnabled(!unit);
    ログイン時に開始->setToolTip(unit ? kユニット有効 : QString());
}

void TrayIcon::自動起動切替(bool on) {
    エラー無視([&] {
        QString reason;
        if (!自動起動設定(on, プログラム, &reason))
            窓.messageBox(QStringLiteral("ログイン時の起動を設定できませんでした。\r\n") + reason);
        自動起動の表示更新();
    });
}

std::unique_ptr<TrayIcon> トレイアイコン作成(MainForm& window, const QString& program,
                                     const std::function<bool()>& trayAvailable) {
    if (!trayAvailable())
        return nullptr;
    return std::make_unique<TrayIcon>(window, program);
}

} // namespace kelvo
