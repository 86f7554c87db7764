// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/splash_window.h"
#include "common/cp932.h"
#include "common/error.h"
#include "fakes.h"
#include "kelvo_instance.h"
#include "shell/application.h"
#include "shell/main_form.h"
#include "shell/monitor.h"
#include "shell/monitor_view.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString kWelcome = QStringLiteral(
    "\r\n  Kelvoをインストールしていただきありがとうございます。\r\n"
    "はじめに、ヘルプの 「３．はじめてお使いの方は」 を読んでください。");

using Instance = KelvoInstance;

class MainFormTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualClock clock;
    Instance kelvo{dir.path(), clock};
    MainForm& w = *kelvo.window;
    QString settingPath() const { return dir.path() + QStringLiteral("/setting.ini"); }
};

QStringList texts(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        out << a->text();
    return out;
}

} // namespace

TEST_F(MainFormTest, MenusCarryTheirCaptionsWithoutSeparators) {
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kelvo"));
    EXPECT_EQ(texts(w.menuBar()->actions()),
              (QStringList{QStringLiteral("接続(&C)"), QStringLiteral("設定(&M)"), QStringLiteral("ヘルプ(&H)")}));
    EXPECT_EQ(texts(w.mnu接続->actions()),
              (QStringList{QStringLiteral("自動転送開始(&B)"), QStringLiteral("停止(&S)"), QStringLiteral("終了(&X)")}));
    EXPECT_EQ(texts(w.mnu設定->actions()),
              (QStringList{QStringLiteral("携帯電話の設定(&N)"), QStringLiteral("プロパティ(&F)"),
                           QStringLiteral("自動転送のテスト")}));
    EXPECT_EQ(texts(w.mnuHelp->actions()), (QStringList{QStringLiteral("ヘルプ"), QStringLiteral("バージョン情報")}));
    for (QMenu* m : {w.mnu接続, w.mnu設定, w.mnuHelp})
        for (QAction* a : m->actions())
            EXPECT_FALSE(a->isSeparator());
}

TEST_F(MainFormTest, ToolbarHasFiveKeyedButtonsWithTheirTips) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QList<QAction*> actions = w.ツールバー->actions();
    ASSERT_EQ(actions.size(), 5);
    const QStringList keys{QStringLiteral("開始"), QStringLiteral("停止"), QStringLiteral("携帯の設定"),
                           QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"), QStringLiteral("ﾍﾙﾌﾟ")};
    const QStringList tips{QStringLiteral("自動転送を開始します。"), QString(), QStringLiteral("携帯端末の設定"),
                           QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"), QStringLiteral("ﾍﾙﾌﾟ")};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(actions[i]->data().toString(), keys[i]);
        EXPECT_EQ(w.toolbarButton(keys[i]), actions[i]);
        // The tip a user sees when resting the mouse on the button; none for "停止".
        QToolTip::hideText();
        ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        QWidget* button = w.ツールバー->widgetForAction(actions[i]);
        QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &hover);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), tips[i]) << i;
        EXPECT_TRUE(actions[i]->isEnabled());
        EXPECT_FALSE(actions[i]->icon().isNull());
    }
    EXPECT_EQ(w.imlToolbarIcons.size(), 8); // pictures 1 to 7
}

TEST_F(MainFormTest, RightClickOnToolbarOrMenuBarOffersNoMenu) {
    w.show();
    for (QWidget* bar : {static_cast<QWidget*>(w.ツールバー), static_cast<QWidget*>(w.menuBar())}) {
        bool offered = false;
        // A menu would run its own loop; this closes it again.
        QTimer::singleShot(50, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                offered = true;
                popup->close();
            }
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(1, 1),
                                bar->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(bar, &click);
        QTest::qWait(100);
        EXPECT_FALSE(offered) << bar->objectName().toStdString();
    }
}

TEST_F(MainFormTest, StatusBarHasThreeKeyedPanelsInOrder) {
    QList<QLabel*> labels;
    for (QObject* child : w.ステイタスバー->children())
        if (auto* l = qobject_cast<QLabel*>(child); l && !l->objectName().isEmpty())
            labels << l;
    ASSERT_EQ(labels.size(), 3);
    EXPECT_EQ(labels[0]->objectName(), QStringLiteral("次の接続まで"));
    EXPECT_EQ(labels[1]->objectName(), QStringLiteral("新着メール数"));
    EXPECT_EQ(labels[2]->objectName(), QStringLiteral("転送メール数"));
    const int dpi = w.logicalDpiX();
    EXPECT_EQ(labels[0]->minimumWidth(), 3528 * dpi / 1440);
    EXPECT_EQ(labels[1]->minimumWidth(), 2734 * dpi / 1440);
    w.setPanelText(QStringLiteral("新着メール数"), QStringLiteral("新着メール数 :3"));
    EXPECT_EQ(labels[1]->text(), QStringLiteral("新着メール数 :3"));
    EXPECT_EQ(w.panelText(QStringLiteral("新着メール数")), QStringLiteral("新着メール数 :3"));
}

TEST_F(MainFormTest, FirstStartWritesSettingsGreetsOnceAndShowsStopped) {
    w.Form_Load();
    ASSERT_TRUE(QFile::exists(settingPath()));
    EXPECT_TRUE(fromCp932(readAll(settingPath())).startsWith(QStringLiteral("[携帯電話の設定]\r\nメールアドレス=\r\n")));
    ASSERT_EQ(kelvo.ui.messages.size(), 1u);
    EXPECT_EQ(kelvo.ui.messages[0].text, kWelcome);
    EXPECT_EQ(kelvo.ui.messages[0].title, QStringLiteral("Kelvo"));
    EXPECT_EQ(kelvo.ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(w.panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_EQ(w.実行状態(), 1);
    EXPECT_TRUE(w.mnu開始->isEnabled());
    EXPECT_FALSE(w.mnu停止->isEnabled());
    EXPECT_EQ(w.toolbarButton(kKey開始)->icon().cacheKey(), w.imlToolbarIcons[1].cacheKey());
    EXPECT_EQ(w.toolbarButton(kKey停止)->icon().cacheKey(), w.imlToolbarIcons[7].cacheKey());
    EXPECT_EQ(kelvo.ctx.設定.ログファイルパス, dir.path() + QStringLiteral("/転送ログ.txt"));
    EXPECT_EQ(w.リストファイルパス(), dir.path() + QStringLiteral("/list.ini"));
    EXPECT_EQ(kelvo.exit.ends, 0);

    // The next start finds the file and does not greet again.
    kelvo.window.reset();
    Instance again(dir.path(), clock);
    again.window->Form_Load();
    EXPECT_TRUE(again.ui.messages.empty());
    EXPECT_EQ(again.window->panelText(kPanel次の接続まで), QStringLiteral("停止中"));
}

TEST_F(MainFormTest, SecondInstanceSaysGoodbyeAndLeavesTheFirstAlone) {
    w.Form_Load();
    const QByteArray settings = readAll(settingPath());
    Instance second(dir.path(), clock);
    second.window->Form_Load();
    ASSERT_EQ(second.ui.messages.size(), 1u);
    EXPECT_EQ(second.ui.messages[0].text, QStringLiteral("Kelvoを終了します"));
    EXPECT_EQ(second.exit.ends, 1);
    EXPECT_NE(second.window->panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_EQ(readAll(settingPath()), settings);
    EXPECT_EQ(kelvo.exit.ends, 0);
    EXPECT_EQ(w.panelText(kPanel次の接続まで), QStringLiteral("停止中"));
}

// A folder below a file cannot be written, not even by root.
TEST_F(MainFormTest, UnwritableSettingsFileIsOneErrorLineAndStartUpGoesOn) {
    Instance broken(QStringLiteral("/dev/null/kelvo"), clock, QStringLiteral("/S"));
    SplashSteps steps = 起動手順(*broken.window);
    int cycles = 0;
    broken.window->hooks.自動転送開始 = [&] { ++cycles; };
    steps.メインフォーム表示();
    ASSERT_EQ(broken.window->モニター行数(), 1);
    EXPECT_TRUE(broken.window->モニターモデル->lines().at(0).contains(QStringLiteral("エラー！「")));
    EXPECT_EQ(broken.window->実行状態(), 1);
    ASSERT_EQ(broken.ui.messages.size(), 1u);
    EXPECT_EQ(broken.ui.messages[0].text, kWelcome);
    EXPECT_EQ(broken.window->panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_EQ(broken.ctx.設定.最大分割数, QStringLiteral("7")); // the if-missing values
    EXPECT_EQ(broken.ctx.設定.スケジュール開始時, QStringLiteral("0"));
    ASSERT_TRUE(steps.サイレント起動());
    steps.自動転送開始();
    EXPECT_EQ(cycles, 1);
    EXPECT_EQ(broken.exit.ends, 0);
}

TEST_F(MainFormTest, ClosingAfterTheFinishCommandEndsAtOnceWithoutLogOrMessage) {
    w.Form_Load();
    kelvo.ui.messages.clear();
    int signOffs = 0;
    w.hooks.ログオフ = [&] { ++signOffs; };
    w.モニター行追加(QStringLiteral("line"));
    kelvo.ctx.状態.終了フラグ = 1;
    w.close();
    EXPECT_EQ(kelvo.exit.ends, 1);
    EXPECT_TRUE(kelvo.ui.messages.empty());
    EXPECT_EQ(signOffs, 0);
    EXPECT_FALSE(QFile::exists(kelvo.ctx.設定.ログファイルパス));
}

TEST_F(MainFormTest, ClosingWithLogOnButEmptyMonitorWritesNoLog) {
    w.Form_Load();
    kelvo.ui.messages.clear();
    w.close();
    EXPECT_FALSE(QFile::exists(kelvo.ctx.設定.ログファイルパス));
    ASSERT_EQ(kelvo.ui.messages.size(), 1u);
    EXPECT_EQ(kelvo.ui.messages[0].text, QStringLiteral("Kelvoを終了します"));
    EXPECT_EQ(kelvo.exit.ends, 1);
}

TEST_F(MainFormTest, ExitMenuSignsOffWritesTheLogAndSaysGoodbye) {
    w.Form_Load();
    kelvo.ui.messages.clear();
    QStringList order;
    w.hooks.ログオフ = [&] {
        order << QStringLiteral("ログオフ");
        throw KelvoError(1, QStringLiteral("sign-off failed")); // must not stop the close
    };
    kelvo.ui.whileShown = [&](const QString& text) {
        order << text;
        order << QString::number(QFile::exists(kelvo.ctx.設定.ログファイルパス));
    };
    w.モニター行追加(QStringLiteral("転送しました"));
    w.mnu終了->trigger();
    EXPECT_EQ(order, (QStringList{QStringLiteral("ログオフ"), QStringLiteral("Kelvoを終了します"), QStringLiteral("1")}));
    EXPECT_EQ(kelvo.exit.ends, 1);
    const QString log = fromCp932(readAll(kelvo.ctx.設定.ログファイルパス));
    EXPECT_TRUE(log.endsWith(QStringLiteral("のログファイル\r\n   09:00    転送しました\r\n\r\n"))) << log.toStdString();
}

// A signal or the session's end: the road of 終了 without the goodbye box, made as a close
// request so that a mail call in progress completes first.
TEST_F(MainFormTest, QuietEndStopsTheCycleSignsOffWritesTheLogWithoutGoodbye) {
    w.Form_Load();
    kelvo.ui.messages.clear();
    int signOffs = 0;
    w.hooks.ログオフ = [&] { ++signOffs; };
    w.モニター行追加(QStringLiteral("転送しました"));
    w.show();
    w.静かに終了();
    EXPECT_EQ(kelvo.ctx.状態.停止要求フラグ, 1);
    EXPECT_EQ(kelvo.exit.ends, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(kelvo.exit.ends, 1);
    EXPECT_EQ(signOffs, 1);
    EXPECT_TRUE(kelvo.ui.messages.empty());
    EXPECT_TRUE(QFile::exists(kelvo.ctx.設定.ログファイルパス));
}

TEST_F(MainFormTest, QuietEndWhileTheGoodbyeIsUpEndsAtOnce) {
    w.Form_Load();
    int endsInsideTheBox = -1;
    kelvo.ui.whileShown = [&](const QString&) {
        w.静かに終了();
        QCoreApplication::sendPostedEvents();
        endsInsideTheBox = kelvo.exit.ends;
    };
    w.show();
    w.mnu終了->trigger();
    EXPECT_EQ(endsInsideTheBox, 1);
}

TEST_F(MainFormTest, ClosingWithLogOffWritesNoLog) {
    w.Form_Load();
    kelvo.ctx.設定.ログ出力フラグ = QStringLiteral("0");
    w.モニター行追加(QStringLiteral("x"));
    w.close();
    EXPECT_FALSE(QFile::exists(kelvo.ctx.設定.ログファイルパス));
    EXPECT_EQ(kelvo.exit.ends, 1);
}

TEST_F(MainFormTest, MonitorShowsLinesAndScrollsToTheEndOfTheWidestLine) {
    w.show();
    w.モニター行追加(QString(300, u'x'), false);
    EXPECT_EQ(w.モニター->horizontalExtent(), 0);
    w.エラー行追加(QString(80, u'送') + QStringLiteral("できません"), 10053);
    const QString longLine = w.モニター->model()->index(1, 0).data().toString();
    w.エラー行追加(QStringLiteral("短い"), 5); // does not narrow the range
    QScrollBar* bar = w.モニター->horizontalScrollBar();
    bar->setValue(bar->maximum());
    // At full right scroll the long line ends inside the view, number and all.
    const QRect shown = w.モニター->visualRect(w.モニター->model()->index(1, 0));
    EXPECT_GE(shown.width(), w.モニター->fontMetrics().horizontalAdvance(longLine));
    EXPECT_LE(shown.right(), w.モニター->viewport()->width());
    EXPECT_EQ(w.モニター->textElideMode(), Qt::ElideNone);
    ASSERT_EQ(w.モニター->model()->rowCount(), 3);
    EXPECT_EQ(w.モニター->model()->index(0, 0).data().toString(),
              QStringLiteral("   09:00    ") + QString(300, u'x'));
    EXPECT_EQ(w.モニター->model()->index(2, 0).data().toString(), QStringLiteral("   09:00    エラー！「短い(5)」"));
}

TEST_F(MainFormTest, ModeRoutinesSwitchMenusPicturesAndRunState) {
    w.実行モード();
    EXPECT_EQ(w.実行状態(), 2);
    EXPECT_FALSE(w.mnu開始->isEnabled());
    EXPECT_TRUE(w.mnu停止->isEnabled());
    EXPECT_EQ(w.toolbarButton(kKey開始)->icon().cacheKey(), w.imlToolbarIcons[6].cacheKey());
    EXPECT_EQ(w.toolbarButton(kKey停止)->icon().cacheKey(), w.imlToolbarIcons[2].cacheKey());
    EXPECT_TRUE(w.toolbarButton(kKey開始)->isEnabled()); // buttons are never disabled
    w.停止モード();
    EXPECT_EQ(w.実行状態(), 1);
    EXPECT_TRUE(w.mnu開始->isEnabled());
}

TEST_F(MainFormTest, StartAndStopCommandsFromToolbar) {
    int starts = 0;
    w.hooks.自動転送開始 = [&] { ++starts; };
    w.toolbarButton(kKey停止)->trigger();
    EXPECT_EQ(w.panelText(kPanel次の接続まで), QStringLiteral("すでに停止しています。 "));
    w.toolbarButton(kKey開始)->trigger();
    EXPECT_EQ(starts, 1);
    w.実行モード();
    w.toolbarButton(kKey開始)->trigger();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(w.panelText(kPanel次の接続まで), QStringLiteral("すでに開始しています。 "));
    w.toolbarButton(kKey停止)->trigger();
    EXPECT_EQ(w.panelText(kPanel次の接続まで), QStringLiteral("接続を停止中"));
    EXPECT_EQ(kelvo.ctx.状態.停止要求フラグ, 1);
    EXPECT_EQ(w.実行状態(), 1);
}

TEST_F(MainFormTest, MenuAndToolbarOpenTheirTargets) {
    QStringList opened;
    w.hooks.携帯電話の設定 = [&] { opened << QStringLiteral("phone"); };
    w.hooks.オプション表示 = [&] { opened << QStringLiteral("options"); };
    w.hooks.テスト表示 = [&] { opened << QStringLiteral("test"); };
    w.hooks.バージョン表示 = [&] { opened << QStringLiteral("about"); };
    w.mnu基本設定->trigger();
    w.mnuオプション->trigger();
    w.自動転送test->trigger();
    w.mnuバージョン->trigger();
    w.toolbarButton(kKey携帯の設定)->trigger();
    w.toolbarButton(kKeyプロパティ)->trigger();
    EXPECT_EQ(opened, (QStringList{QStringLiteral("phone"), QStringLiteral("options"), QStringLiteral("test"),
                                   QStringLiteral("about"), QStringLiteral("phone"), QStringLiteral("options")}));
}

TEST_F(MainFormTest, HelpOpensTheDocumentAtItsContentsOrSaysItIsMissing) {
    w.mnuヘルプ->trigger();
    ASSERT_EQ(kelvo.ui.messages.size(), 1u);
    EXPECT_TRUE(kelvo.ui.opened.empty());
    ASSERT_TRUE(writeAll(dir.path() + QStringLiteral("/kelvo.html"), "<html></html>"));
    w.toolbarButton(kKeyヘルプ)->trigger();
    ASSERT_EQ(kelvo.ui.opened.size(), 1u);
    EXPECT_EQ(kelvo.ui.opened[0].toLocalFile(), dir.path() + QStringLiteral("/kelvo.html"));
    EXPECT_EQ(kelvo.ui.opened[0].fragment(), QStringLiteral("contents"));
}

TEST_F(MainFormTest, CommandLineSwitchSetsTheSilentStartFlag) {
    kelvo.ctx.commandLineText = QStringLiteral("/s");
    w.Form_Load();
    EXPECT_EQ(kelvo.ctx.状態.サイレント起動フラグ, 1);
    EXPECT_EQ(w.GetCommandLine(), (QStringList{QString(), QStringLiteral("/s")}));
}

TEST_F(MainFormTest, MinimiseWaitsOneSecondFirst) {
    w.show();
    const QDateTime before = clock.now();
    w.ウィンドウの最小化();
    EXPECT_EQ(before.secsTo(clock.now()), 1);
    EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
}

TEST_F(MainFormTest, SeenAgainOrStoppedTheWindowWakesTheCyclesWait) {
    w.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.見えている());
    w.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.見えている());
    const int before = clock.wakes();
    w.showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.見えている());
    EXPECT_EQ(clock.wakes(), before + 1);
    w.hide();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.見えている());
    EXPECT_EQ(clock.wakes(), before + 1);
    w.実行モード();
    w.停止コマンド();
    EXPECT_EQ(clock.wakes(), before + 2);
}

TEST_F(MainFormTest, SecondCloseRequestDuringTheGoodbyeIsIgnored) {
    w.Form_Load();
    kelvo.ui.messages.clear();
    kelvo.ui.whileShown = [&](const QString&) {
        kelvo.ui.whileShown = nullptr;
        w.close(); // the close box pressed again while the goodbye box is up
    };
    w.mnu終了->trigger();
    EXPECT_EQ(kelvo.ui.messages.size(), 1u);
    EXPECT_EQ(kelvo.exit.ends, 1);
}

TEST_F(MainFormTest, SelfTestWaitsWhileAPassUsesTheMailControls) {
    int opened = 0;
    w.hooks.テスト表示 = [&] { ++opened; };
    kelvo.ctx.状態.パス実行中 = true;
    w.自動転送test->trigger();
    EXPECT_EQ(opened, 0);
    ASSERT_EQ(kelvo.ui.messages.size(), 1u);
    kelvo.ctx.状態.パス実行中 = false;
    w.自動転送test->trigger();
    EXPECT_EQ(opened, 1);
}
