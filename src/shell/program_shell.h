// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/window_port.h"
#include "shell/app_context.h"

#include <QStringList>
#include <functional>
#include <memory>

class QLockFile;

namespace kelvo {

// What the main window calls in the other subsystems. Each is set by whoever builds the
// window; an unset one does nothing.
struct MainFormHooks {
    std::function<void()> ログオフ;       // sign off the mail session this program opened
    std::function<void()> オプション読込; // load the options dialog without showing it
    std::function<void()> 自動転送開始;   // run the forwarding cycle until it is stopped
    std::function<void()> 携帯電話の設定; // the phone settings dialog, modal
    std::function<void()> オプション表示; // the options dialog, modal
    std::function<void()> テスト表示;     // the self-test dialog, modal
    std::function<void()> バージョン表示; // the About window, not modal
};

// The main window's work that needs no widget: the load and unload handlers (the single
// instance, the first start, the settings, the command line, the end of the program), the mode
// routines' run state and the start and stop commands. The desktop's window and the service
// without widgets each show it in their own way, through the window port.
class ProgramShell {
public:
    ProgramShell(AppContext& context, WindowPort& window);
    ~ProgramShell();
    ProgramShell(const ProgramShell&) = delete;
    ProgramShell& operator=(const ProgramShell&) = delete;

    MainFormHooks hooks;
    // Shows the mode (1 stopped, 2 running) once the run state has changed.
    std::function<void(int state)> モード表示;
    // Asks for the end as a window's close request, which a mail call in progress holds until
    // it has returned; false when there is nothing to ask (the unload handler then runs now).
    std::function<bool()> 閉じる要求;

    void Form_Load();
    void Form_Unload(int& Cancel);
    // 終了 chosen at this moment without its goodbye box, for a signal or the desktop
    // session's end. A pass under way forwards no further message; a mail call in progress
    // completes first, as it does for a close request.
    void 静かに終了();

    void 実行モード() { モード切替(2); }
    void 停止モード() { モード切替(1); }
    int 実行状態() const { return 実行状態値; }
    QStringList GetCommandLine(int maximum = 10);

    void 開始コマンド();
    void 停止コマンド();
    void 停止ルーチン();

    const QString& リストファイルパス() const { return リストファイルパス値; }

private:
    bool 多重起動();
    void モード切替(int state);
    void 終了する();
    void call(const std::function<void()>& hook) {
        if (hook)
            hook();
    }

    AppContext& ctx;
    WindowPort& 画面;
    int 実行状態値 = 1;
    bool 終了処理中 = false;
    bool 挨拶表示中 = false;
    bool 挨拶なし = false; // the end was not asked for in the window: no goodbye box
    QString リストファイルパス値;
    std::unique_ptr<QLockFile> ロック;
};

} // namespace kelvo
