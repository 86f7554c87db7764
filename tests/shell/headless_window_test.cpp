// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fakes.h"
#include "shell/headless_window.h"
#include "shell/program_shell.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

// The service's main window without widgets, with the main window's work over it.
class HeadlessWindowTest : public ::testing::Test {
protected:
    HeadlessWindowTest() {
        ctx.settingsDirectory = dir.path();
        window.閉じる時 = [this] {
            int cancel = 0;
            shell.Form_Unload(cancel);
        };
        shell.閉じる要求 = [this] {
            QCoreApplication::postEvent(&window, new QCloseEvent);
            return true;
        };
        QObject::connect(
            &window, &HeadlessWindow::lineAdded,
            [this](const QString& line, bool error) { added << (error ? u'!' : u' ') + line; });
    }

    QTemporaryDir dir;
    VirtualClock clock;
    RecordingExit exit;
    FakeUi ui;
    AppContext ctx{clock, clock, exit, ui};
    HeadlessWindow window{clock};
    ProgramShell shell{ctx, window};
    QStringList added;
};

} // namespace

TEST_F(HeadlessWindowTest, MessageBoxesAreMonitorLinesAnsweredWithOk) {
    EXPECT_EQ(window.messageBox(QStringLiteral("一行目\r\n二行目"), MsgButtons::YesNo),
              MsgResult::Ok);
    window.エラー行追加(QStringLiteral("拒否"), 32003);
    EXPECT_EQ(window.lines(), (QStringList{QStringLiteral("   09:00    一行目 二行目"),
                                           QStringLiteral("   09:00    エラー！「拒否(32003)」")}));
    EXPECT_EQ(added, (QStringList{QStringLiteral("    09:00    一行目 二行目"),
                                  QStringLiteral("!   09:00    エラー！「拒否(32003)」")}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(HeadlessWindowTest, FirstStartGreetsOnTheMonitorAndAQuietEndWritesTheLogWithoutGoodbye) {
    ctx.commandLineText = QStringLiteral("--service /S");
    shell.Form_Load();
    ASSERT_EQ(window.lines().size(), 1);
    EXPECT_TRUE(window.lines()[0].contains(QStringLiteral("Kelvoをインストールしていただき")));
    EXPECT_EQ(ctx.状態.サイレント起動フラグ, 1);
    EXPECT_EQ(window.panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    ctx.設定.ログ出力フラグ = QStringLiteral("1");
    ctx.設定.ログファイルパス = dir.filePath(QStringLiteral("log.txt"));
    shell.静かに終了();      // a signal
    EXPECT_EQ(exit.ends, 0); // the end waits for the event loop, as a window's close
    QCoreApplication::processEvents();
    EXPECT_EQ(exit.ends, 1);
    EXPECT_EQ(window.lines().size(), 1); // no goodbye
    QFile log(ctx.設定.ログファイルパス);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("09:00"));
}
