// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/window_port.h"
#include "shell/app_context.h"
#include "shell/program_shell.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QStatusBar;

namespace kelvo {

class MonitorModel;
class MonitorView;

// The toolbar buttons' keys.
inline const QString kKey開始 = QStringLiteral("開始");
inline const QString kKey停止 = QStringLiteral("停止");
inline const QString kKey携帯の設定 = QStringLiteral("携帯の設定");
inline const QString kKeyプロパティ = QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ");
inline const QString kKeyヘルプ = QStringLiteral("ﾍﾙﾌﾟ");

class MainForm : public QMainWindow, public WindowPort {
    Q_OBJECT
public:
    explicit MainForm(AppContext& context, QWidget* parent = nullptr);
    ~MainForm() override;

    MainFormHooks& hooks;

    // The load and unload handlers.
    void Form_Load() { shell.Form_Load(); }
    void Form_Unload(int& Cancel) { shell.Form_Unload(Cancel); }
    // 終了 chosen at this moment without its goodbye box (ProgramShell::静かに終了).
    void 静かに終了() { shell.静かに終了(); }

    // Mode routines.
    void 実行モード() { shell.実行モード(); }
    void 停止モード() { shell.停止モード(); }
    int 実行状態() const { return shell.実行状態(); }

    void ウィンドウの最小化();
    // Someone can see the window: shown, not minimized, on the screen.
    bool 見えている() const;
    QStringList GetCommandLine(int maximum = 10) { return shell.GetCommandLine(maximum); }

    // Start and stop commands and the stop routine.
    void 開始コマンド() { shell.開始コマンド(); }
    void 停止コマンド() { shell.停止コマンド(); }
    void 停止ルーチン() { shell.停止ルーチン(); }

    // Menu and toolbar handlers.
    void mnu開始_Click();
    void mnu停止_Click();
    void mnu終了_Click();
    void mnu基本設定_Click();
    void mnuオプション_Click();
    void 自動転送test_Click();
    void mnuヘルプ_Click();
    void mnuバージョン_Click();
    void ツールバー_ButtonClick(QAction* button);

    // WindowPort
    void setPanelText(const QString& key, const QString& text) override;
    QString panelText(const QString& key) const override;
    void モニター行追加(const QString& message, bool widen = true) override;
    void エラー行追加(const QString& description, int number) override;
    int モニター行数() const override;
    void ログファイル書込(const QString& path) override;
    MsgResult messageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                         const QString& title = kAppTitle) override;
    void beep() override;

    const QString& 設定ファイルパス() const { return ctx.設定.設定ファイルパス; }
    const QString& リストファイルパス() const { return shell.リストファイルパス(); }
    AppContext& context() { return ctx; }

    // Controls, named as the window's own.
    QMenu* mnu接続 = nullptr;
    QMenu* mnu設定 = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnu開始 = nullptr;
    QAction* mnu停止 = nullptr;
    QAction* mnu終了 = nullptr;
    QAction* mnu基本設定 = nullptr;
    QAction* mnuオプション = nullptr;
    QAction* 自動転送test = nullptr;
    QAction* mnuヘルプ = nullptr;
    QAction* mnuバージョン = nullptr;
    QToolBar* ツールバー = nullptr;
    QStatusBar* ステイタスバー = nullptr;
    MonitorView* モニター = nullptr;
    MonitorModel* モニターモデル = nullptr;
    QList<QIcon> imlToolbarIcons;

    QAction* toolbarButton(const QString& key) const { return ボタン.value(key); }
    QLabel* panel(const QString& key) const { return パネル.value(key); }

signals:
    // For the tray, the journal and the desktop notifications; none changes the window.
    void modeChanged(int state);
    void panelChanged(const QString& key, const QString& text);
    void lineAdded(const QString& line, bool error, int number);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void 部品作成();
    void メニュー作成();
    void ツールバー作成();
    void ステイタスバー作成();
    void モード表示(int state);
    void 行追加(const QString& message, bool widen, bool error, int number);
    void 見え方確認();

    AppContext& ctx;
    ProgramShell shell;
    bool 見えていた = false;
    bool 見え方確認予定 = false;
    QHash<QString, QAction*> ボタン;
    QHash<QString, QLabel*> パネル;
};

using メインフォーム = MainForm;

} // namespace kelvo
