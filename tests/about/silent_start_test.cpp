// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The silent start through the program's own wiring: the start-up window, the main window,
// the settings dialogs, the forwarding cycle and the mail controls as the program joins them,
// with the in-memory mailbox, the recording system double and the virtual clock.
#include "about/splash_window.h"
#include "engine/engine_context.h"
#include "engine/forwarding_cycle.h"
#include "engine/schedule.h"
#include "engine/session.h"
#include "fake_system_control.h"
#include "kelvo_instance.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"
#include "settings/options_dialog.h"
#include "settings/settings_dialogs.h"
#include "settings/settings_record.h"
#include "shell/application.h"
#include "shell/shell_cycle_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString kPhone = QStringLiteral("phone@docomo.ne.jp");

// Kelvo joined together as runKelvo does it, every port a double.
struct WiredKelvo {
    WiredKelvo(const QString& directory, VirtualClock& clock, const QString& commandLine)
        : kelvo(directory, clock, commandLine), schedule(clock), system(&clock),
          dialogs(DialogContext{kelvo.ctx.設定, directory, kelvo.ui}, kelvo.window.get()),
          engine{kelvo.ctx.設定, kelvo.ctx.状態, window(), clock, clock, kelvo.exit, QString()},
          cycleWindow(window(), dialogs), cycle{engine, system, cycleWindow, schedule},
          splash(clock, 起動手順(window())) {
        kelvo.ctx.mapSess = &mapSess;
        kelvo.ctx.mapMess = &mapMess;
        MainForm& w = window();
        mapSess.setErrorReporter(
            [&w](const KelvoError& e) { w.エラー行追加(e.description(), e.number()); });
        w.hooks.ログオフ = [this] { ログオフ(mapSess); };
        dialogs.曜日フラグ再作成 = [this] { schedule.曜日フラグ作成(kelvo.ctx.設定); };
        w.hooks.オプション読込 = [this] { dialogs.オプション().タブストリップを左上へ(); };
        engine.mapSess = &mapSess;
        engine.mapMess = &mapMess;
        engine.設定ディレクトリ = directory;
        engine.システム = &system;
        w.hooks.自動転送開始 = [this] {
            engine.リストファイルパス = window().リストファイルパス();
            自動転送開始(cycle);
        };
    }
    MainForm& window() { return *kelvo.window; }

    MemoryMailSystem mail;
    MemoryMailBackend backend{mail};
    MapiSession mapSess{backend};
    MapiMessages mapMess{mapSess};
    KelvoInstance kelvo;
    WeeklySchedule schedule;
    FakeSystemControl system;
    SettingsDialogs dialogs;
    EngineContext engine;
    ShellCycleWindow cycleWindow;
    CycleContext cycle;
    SplashWindow splash;
};

// What the window showed at one moment.
struct Seen {
    int runState = 0;
    QString panel;
    bool minimised = false;
    bool splashVisible = true;
};

class SilentStartTest : public ::testing::Test {
protected:
    SilentStartTest() {
        // Not a first start: the settings are there, with the phone's address and a pass
        // every minute, the first after one interval.
        SettingsRecord settings;
        settings.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
        EXPECT_TRUE(初期設定ファイル作成(settings.設定ファイルパス, dir.path()));
        設定読込(settings, dir.path());
        settings.メールアドレス = kPhone;
        settings.メールチェック間隔 = QStringLiteral("1");
        settings.同時接続フラグ = QStringLiteral("0");
        EXPECT_TRUE(設定書込(settings));
    }

    void start(const QString& commandLine) {
        kelvo = std::make_unique<WiredKelvo>(dir.path(), clock, commandLine);
        // Every panel text the window showed when the clock moved, each change once.
        clock.onWait = [this] {
            const QString text = window().panelText(kPanel次の接続まで);
            if (panelTexts.isEmpty() || panelTexts.last() != text)
                panelTexts << text;
        };
        // No test may loop for ever.
        clock.at(after(24 * 3600 * 1000LL), [this] { kelvo->kelvo.ctx.状態.停止要求フラグ = 1; });
    }
    void seeAt(qint64 ms, Seen& seen) {
        clock.at(after(ms), [this, &seen] {
            seen.runState = window().実行状態();
            seen.panel = window().panelText(kPanel次の接続まで);
            seen.minimised = window().isMinimized();
            seen.splashVisible = kelvo->splash.isVisible();
        });
    }
    // New mail from somebody else, received now.
    void newMail(const QString& subject) {
        MailSummary s;
        s.subject = subject;
        s.origAddress = QStringLiteral("taro@example.jp");
        s.origDisplayName = QStringLiteral("山田太郎");
        s.received = clock.now();
        s.recipients = {
            MailRecipient{kRecipTo, QStringLiteral("me@example.jp"), QStringLiteral("Me")}};
        kelvo->mail.addMessage(s, QStringLiteral("本文です。"));
    }
    // Shows the start-up window and lets its activation step run; with a silent start this
    // returns when the cycle has stopped.
    void showSplash() {
        kelvo->splash.show();
        QCoreApplication::processEvents();
    }
    QDateTime after(qint64 ms) const { return clock.now().addMSecs(ms); }
    MainForm& window() { return kelvo->window(); }

    QTemporaryDir dir;
    VirtualClock clock;
    std::unique_ptr<WiredKelvo> kelvo;
    QStringList panelTexts;
};

} // namespace

TEST_F(SilentStartTest, TheSwitchLastInAnyCaseStartsForwardingWithNoFurtherAction) {
    for (const QString& line :
         {QStringLiteral("/S"), QStringLiteral("/s"), QStringLiteral("x /S")}) {
        SCOPED_TRACE(line.toStdString());
        panelTexts.clear();
        start(line);
        newMail(QStringLiteral("会議の件"));
        Seen before, starting, running;
        seeAt(900, before);
        seeAt(1500, starting);
        seeAt(2500, running);
        // The user stops it from the menu a while later; until then nobody touches anything.
        clock.at(after(90 * 1000), [this] { window().mnu停止->trigger(); });

        showSplash();

        // The main window came up with the splash, still stopped.
        EXPECT_EQ(before.runState, 1);
        EXPECT_EQ(before.panel, QStringLiteral("停止中"));
        EXPECT_TRUE(before.splashVisible);
        // A second after the start-up the splash has gone and the cycle has begun.
        EXPECT_FALSE(starting.splashVisible);
        EXPECT_EQ(starting.panel, QStringLiteral("スタート "));
        EXPECT_EQ(starting.runState, 1);
        // The window minimised and switched to the running mode.
        EXPECT_EQ(running.runState, 2);
        EXPECT_TRUE(running.minimised);
        EXPECT_EQ(running.panel, QStringLiteral("スタート "));

        // Minimised, the window shows nobody the countdown: the cycle (started at 1 s) sleeps
        // in one wait to the pass after one interval and in one more to the stop at 90 s.
        EXPECT_EQ(
            panelTexts,
            (QStringList{QString(), QStringLiteral("停止中"), QStringLiteral("スタート "),
                         QStringLiteral("メールチェック中"), QStringLiteral("接続を停止中")}));
        EXPECT_EQ(window().panelText(kPanel次の接続まで), QStringLiteral("停止しました。"));
        EXPECT_EQ(window().実行状態(), 1);

        // The new mail went to the phone, once, and the window counted and reported it.
        ASSERT_EQ(kelvo->mail.outbox.size(), 1u);
        EXPECT_EQ(kelvo->mail.outbox[0].mail.recipient.address, kPhone);
        EXPECT_EQ(window().panelText(kPanel転送メール数), QStringLiteral("転送メール数 :1"));
        EXPECT_EQ(window().panelText(kPanel新着メール数), QStringLiteral("新着メール数 :1"));
        ASSERT_EQ(window().モニター行数(), 1);
        EXPECT_TRUE(kelvo->kelvo.ui.messages.empty());
        EXPECT_TRUE(kelvo->system.calls.isEmpty());
        EXPECT_EQ(kelvo->kelvo.exit.ends, 0);
        EXPECT_FALSE(kelvo->splash.isVisible());
        kelvo.reset();
    }
}

TEST_F(SilentStartTest, WithoutTheSwitchLastNothingStartsByItself) {
    for (const QString& line : {QString(), QStringLiteral("/S x"), QStringLiteral("/Sx")}) {
        SCOPED_TRACE(line.toStdString());
        start(line);
        newMail(QStringLiteral("会議の件"));
        showSplash();
        clock.advance(120);
        EXPECT_TRUE(window().isVisible());
        EXPECT_EQ(window().実行状態(), 1);
        EXPECT_EQ(window().panelText(kPanel次の接続まで), QStringLiteral("停止中"));
        EXPECT_TRUE(kelvo->mail.calls.isEmpty());
        EXPECT_TRUE(kelvo->mail.outbox.empty());
        kelvo.reset();
    }
}
