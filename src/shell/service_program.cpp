// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/service_program.h"

#include "common/clock.h"
#include "common/paths.h"
#include "common/yielding_wait.h"
#include "engine/schedule.h"
#include "mail/core/profiles.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "shell/app_context.h"
#include "shell/application.h"
#include "shell/desktop_options.h"
#include "shell/forwarding_wiring.h"
#include "shell/headless_cycle_window.h"
#include "shell/headless_window.h"
#include "shell/notification_link.h"
#include "shell/process_exit.h"
#include "shell/program_shell.h"
#include "shell/service_mode.h"
#include "shell/session_bus.h"
#include "shell/signal_bridge.h"
#include "system/desktop_notifier.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace kelvo {

int runService(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVO_VERSION));
    // A signal waits in the event loop for the program to act on it.
    SignalBridge signalBridge;

    const bool journal = ジャーナルへ出力();
    ServiceNotifier serviceNotifier;
    SystemClock clock;
    EventLoopWaiter waiter;
    ProcessExit exit;
    HeadlessWindow window(clock);
    QObject::connect(
        &window, &HeadlessWindow::lineAdded,
        [journal](const QString& line, bool error) { モニター行出力(line, error, journal); });
    // Message boxes are the window's own; the desktop's port is there for what asks it.
    ServiceUi ui([&window](const QString& text) { window.モニター行追加(text); }, true);
    AppContext context(clock, waiter, exit, ui);
    context.programDirectory = プログラムディレクトリ();
    context.settingsDirectory = 設定ディレクトリ(context.programDirectory);
    context.commandLineText = QCoreApplication::arguments().mid(1).join(u' ');
    ProgramShell shell(context, window);

    ProfileBackend mailSystem(defaultProfilesPath());
    MapiSession mapSess(mailSystem);
    MapiMessages mapMess(mapSess);
    context.mapSess = &mapSess;
    context.mapMess = &mapMess;
    mapSess.setErrorReporter(
        [&window](const KelvoError& e) { window.エラー行追加(e.description(), e.number()); });

    WeeklySchedule schedule(clock);
    HeadlessCycleWindow cycleWindow(shell, context.設定);
    cycleWindow.実行開始時 = [&serviceNotifier] { serviceNotifier.準備完了(); };
    // Nobody could fill in the phone dialog: the service fails, and says why.
    cycleWindow.設定画面の代わり = [&exit, &shell] {
        exit.終了コード = 1;
        shell.静かに終了();
    };
    ForwardingWiring forwarding(context, window, exit, serviceNotifier, mailSystem, cycleWindow,
                                schedule, shell.hooks,
                                [&shell] { return shell.リストファイルパス(); });

    const DesktopOptions desktop = デスクトップ設定読込(デスクトップ設定パス());
    DesktopNotifier notifier(セッションバス, clock);
    if (desktop.通知)
        通知を接続(window, shell, context.状態, notifier);

    // A signal of the start-up ends Kelvo before anything starts.
    QObject::connect(&signalBridge, &SignalBridge::signalled, &window,
                     [&shell] { shell.静かに終了(); });
    if (signalBridge.pending())
        shell.静かに終了();
    // From here on the end waits for a mail call in progress, as a window's close request.
    window.閉じる時 = [&shell] {
        int cancel = 0;
        shell.Form_Unload(cancel);
    };
    shell.閉じる要求 = [&window] {
        QCoreApplication::postEvent(&window, new QCloseEvent);
        return true;
    };
    QMetaObject::invokeMethod(
        &window,
        [&] {
            shell.Form_Load();
            for (const KelvoError& e : desktop.誤り)
                window.エラー行追加(e.description(), e.number());
            if (context.状態.サイレント起動フラグ == 1 && shell.hooks.自動転送開始)
                shell.hooks.自動転送開始();
        },
        Qt::QueuedConnection);
    return app.exec();
}

} // namespace kelvo
