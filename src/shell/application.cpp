#include "shell/application.h"

#include "about/about_window.h"
#include "about/artwork.h"
#include "about/splash_window.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/ui_port.h"
#include "common/yielding_wait.h"
#include "engine/engine_context.h"
#include "engine/forwarding_cycle.h"
#include "engine/push_watch.h"
#include "engine/schedule.h"
#include "engine/session.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "mail/profiles.h"
#include "mail/push_line.h"
#include "selftest/self_test_dialog.h"
#include "settings/options_dialog.h"
#include "settings/phone_dialog.h"
#include "settings/settings_dialogs.h"
#include "shell/app_context.h"
#include "shell/main_form.h"
#include "shell/shell_cycle_window.h"
#include "system/linux_system_control.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <unistd.h>

namespace kelvo {

void ProcessExit::endProgram() {
    std::fflush(nullptr);
    ::_exit(0);
}

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
    QApplication::setWindowIcon(プログラムアイコン());

    // Standard buttons and dialogs in Japanese, as the rest of the program.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    SystemClock clock;
    EventLoopWaiter waiter;
    ProcessExit exit;
    QtUiPort ui;
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
    mapSess.setErrorReporter([&window](const KelvoError& e) { window.エラー行追加(e.description(), e.number()); });
    window.hooks.ログオフ = [&mapSess] { ログオフ(mapSess); };
    AboutOpener about;
    window.hooks.バージョン表示 = [&about] { about.表示(); };
    // The settings dialogs; the options dialog hands new weekdays on to the schedule.
    WeeklySchedule schedule(clock);
    const DialogContext dialogContext{context.設定, context.settingsDirectory, context.ui};
    SettingsDialogs dialogs(dialogContext, &window);
    dialogs.曜日フラグ再作成 = [&] { schedule.曜日フラグ作成(context.設定); };
    window.hooks.オプション読込 = [&dialogs] { dialogs.オプション().タブストリップを左上へ(); };
    window.hooks.携帯電話の設定 = [&dialogs] { dialogs.携帯電話の設定表示(true); };
    window.hooks.オプション表示 = [&dialogs] { dialogs.オプション表示(); };

    // Automatic forwarding.
    LinuxSystemControl system;
    EngineContext engine{context.設定, context.状態, window, clock, waiter, exit, QString()};
    engine.mapSess = &mapSess;
    engine.mapMess = &mapMess;
    engine.設定ディレクトリ = context.settingsDirectory;
    engine.システム = &system;
    ShellCycleWindow cycleWindow(window, dialogs);
    // News of new mail between passes; its connection ends with the program's mail session.
    ProfilePushLine pushLine(defaultProfilesPath());
    PushWatch push(pushLine, clock, waiter, window);
    window.hooks.ログオフ = [&mapSess, &push] {
        push.閉じる();
        ログオフ(mapSess);
    };
    CycleContext cycle{engine, system, cycleWindow, schedule, &push};
    window.hooks.自動転送開始 = [&] {
        engine.リストファイルパス = window.リストファイルパス();
        自動転送開始(cycle);
    };
    window.hooks.テスト表示 = [&] {
        SelfTestDialog dialog(SelfTestContext{engine, system, cycleWindow, context.ui}, &window);
        dialog.exec();
    };
    SplashWindow splash(waiter, 起動手順(window));
    splash.show();
    return app.exec();
}

} // namespace kelvo
