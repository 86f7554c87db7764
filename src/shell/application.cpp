// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/application.h"

#include "about/about_window.h"
#include "about/artwork.h"
#include "about/splash_window.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/ui_port.h"
#include "common/yielding_wait.h"
#include "engine/schedule.h"
#include "mail/auth/sign_in.h"
#include "mail/core/profiles.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "selftest/self_test_dialog.h"
#include "settings/options_dialog.h"
#include "settings/phone_dialog.h"
#include "settings/settings_dialogs.h"
#include "shell/app_context.h"
#include "shell/desktop_options.h"
#include "shell/forwarding_wiring.h"
#include "shell/main_form.h"
#include "shell/notification_link.h"
#include "shell/password_dialog.h"
#include "shell/process_exit.h"
#include "shell/service_mode.h"
#include "shell/session_bus.h"
#include "shell/shell_cycle_window.h"
#include "shell/sign_in_command.h"
#include "shell/signal_bridge.h"
#include "shell/tray_icon.h"
#include "system/desktop_notifier.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <memory>

namespace kelvo {

SplashSteps 起動手順(MainForm& window) {
    SplashSteps steps;
    steps.メインフォーム表示 = [&window] {
        window.Form_Load();
        window.show();
    };
    steps.サイレント起動 = [&window] { return window.context().状態.サイレント起動フラグ == 1; };
    steps.自動転送開始 = [&window] {
        if (window.hooks.自動転送開始)
            window.hooks.自動転送開始();
    };
    return steps;
}

int runKelvo(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelvo"));
    QApplication::setApplicationVersion(QStringLiteral(KELVO_VERSION));
    // The menu entry and the software centres know Kelvo by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.example.kelvo"));
    QApplication::setWindowIcon(プログラムアイコン());
    // "--sign-in [profile]": a person signs a profile in from a terminal; nothing else runs, and
    // Ctrl+C ends it as any command.
    if (const auto profile = サインイン指定(QApplication::arguments())) {
        シグナル既定に戻す();
        return サインインコマンド(defaultProfilesPath(), *profile, 端末のサインイン手段());
    }

    // A signal waits in the event loop for the main window to act on it.
    SignalBridge signalBridge;

    // Standard buttons and dialogs in Japanese, as the rest of the program.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // Run by systemd, nobody answers a message box; under the journal the monitor goes to
    // standard error as well.
    const bool service = サービスとして起動();
    const bool journal = ジャーナルへ出力();
    ServiceNotifier serviceNotifier;
    SystemClock clock;
    EventLoopWaiter waiter;
    ProcessExit exit;
    QtUiPort desktopUi;
    MainForm* monitorWindow = nullptr;
    ServiceUi serviceUi(
        [&monitorWindow](const QString& text) {
            if (monitorWindow)
                monitorWindow->モニター行追加(text);
        },
        journal);
    UiPort& ui = service ? static_cast<UiPort&>(serviceUi) : desktopUi;
    AppContext context(clock, waiter, exit, ui);
    context.programDirectory = プログラムディレクトリ();
    context.settingsDirectory = 設定ディレクトリ(context.programDirectory);
    const QStringList args = QApplication::arguments();
    context.commandLineText = args.mid(1).join(u' ');

    // The mail-system controls live on the main window.
    ProfileBackend mailSystem(defaultProfilesPath());
    MapiSession mapSess(mailSystem);
    MapiMessages mapMess(mapSess);
    context.mapSess = &mapSess;
    context.mapMess = &mapMess;

    MainForm window(context);
    monitorWindow = &window;
    if (journal)
        QObject::connect(&window, &MainForm::lineAdded,
                         [](const QString& line, bool error) { ジャーナル行出力(line, error); });
    mapSess.setErrorReporter(
        [&window](const KelvoError& e) { window.エラー行追加(e.description(), e.number()); });
    AboutOpener about;
    window.hooks.バージョン表示 = [&about] { about.表示(); };
    // The settings dialogs; the options dialog hands new weekdays on to the schedule.
    WeeklySchedule schedule(clock);
    const DialogContext dialogContext{context.設定, context.settingsDirectory, context.ui};
    SettingsDialogs dialogs(dialogContext, &window);
    // The schedule changed: a cycle that sleeps while nobody looks counts its turns anew.
    dialogs.曜日フラグ再作成 = [&] {
        schedule.曜日フラグ作成(context.設定);
        waiter.wake();
    };
    window.hooks.オプション読込 = [&dialogs] { dialogs.オプション().タブストリップを左上へ(); };
    window.hooks.携帯電話の設定 = [&dialogs] { dialogs.携帯電話の設定表示(true); };
    window.hooks.オプション表示 = [&dialogs] { dialogs.オプション表示(); };

    // Automatic forwarding.
    ShellCycleWindow cycleWindow(window, dialogs);
    if (service) {
        cycleWindow.実行開始時 = [&serviceNotifier] { serviceNotifier.準備完了(); };
        // Nobody could fill in the phone dialog: the service fails, and says why.
        cycleWindow.設定画面の代わり = [&exit, &window] {
            exit.終了コード = 1;
            window.静かに終了();
        };
    }
    ForwardingWiring forwarding(context, window, exit, serviceNotifier, mailSystem, cycleWindow,
                                schedule, window.hooks,
                                [&window] { return window.リストファイルパス(); });
    window.hooks.テスト表示 = [&] {
        SelfTestContext test{forwarding.engine, forwarding.system, cycleWindow, context.ui};
        test.サインイン = [&] {
            SignInSeams seams;
            seams.askPassword = [&window](const QString& name) {
                return askPassword(name, &window);
            };
            const QString profile =
                isOn(context.設定.プロファイル使用フラグ) ? context.設定.プロファイル名 : QString();
            signInWhenNeeded(selectProfile(defaultProfilesPath(), profile), seams);
        };
        SelfTestDialog dialog(test, &window);
        dialog.exec();
    };
    // Signals and the desktop session's end take the road of 終了, without its goodbye box.
    QObject::connect(&signalBridge, &SignalBridge::signalled, &window,
                     [&window] { window.静かに終了(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.静かに終了(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] {
        window.静かに終了();
        QCoreApplication::sendPostedEvents(); // the loop that would deliver it is ending
    });

    // The tray icon and the notifications, unless desktop.ini turns them off; what it got wrong
    // shows on the monitor once the window is loaded.
    const DesktopOptions desktop = デスクトップ設定読込(デスクトップ設定パス());
    DesktopNotifier notifier(セッションバス, clock);
    if (desktop.通知)
        通知を接続(window, notifier);
    const auto tray = トレイアイコン作成(window, QCoreApplication::applicationFilePath(), [&] {
        return desktop.トレイ && QSystemTrayIcon::isSystemTrayAvailable();
    });

    // A signal of the start-up ends Kelvo as it would later, without a window shown for it.
    if (signalBridge.pending())
        window.静かに終了();
    SplashSteps steps = 起動手順(window);
    steps.メインフォーム表示 = [&window, &desktop, load = steps.メインフォーム表示] {
        load();
        for (const KelvoError& e : desktop.誤り)
            window.エラー行追加(e.description(), e.number());
    };
    SplashWindow splash(waiter, steps);
    splash.show();
    return app.exec();
}

} // namespace kelvo
