// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fake_system_control.h"
#include "fakes.h"
#include "qt_print.h"
#include "system/power_off.h"
#include "system/program_launch.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include "common/cp932.h"
#include "common/error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvo {
namespace {

using test::FakeSystemControl;
using test::FakeWindow;
using test::VirtualClock;

// Notes what the monitor held and what time it was when the program was ended.
struct WatchingExit final : ProgramExit {
    WatchingExit(const FakeWindow& window, const VirtualClock& clock)
        : window(window), clock(clock) {}
    void endProgram() override {
        ++ends;
        monitorAtEnd = window.monitor;
        endedAtMs = clock.monotonicMs();
    }
    const FakeWindow& window;
    const VirtualClock& clock;
    int ends = 0;
    QStringList monitorAtEnd;
    qint64 endedAtMs = -1;
};

class PowerOffTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings.ログ出力フラグ = QStringLiteral("1");
        settings.ログファイルパス = dir.filePath(QStringLiteral("転送ログ.txt"));
    }
    void powerOff() { 電源OFF({system, window, clock, exit}, settings, 終了フラグ); }

    QTemporaryDir dir;
    VirtualClock clock;
    FakeWindow window{clock};
    FakeSystemControl system{&clock};
    WatchingExit exit{window, clock};
    SettingsRecord settings;
    int 終了フラグ = 0;
};

TEST_F(PowerOffTest, WindowsDirectoryWithoutWinntAsksOnceAndGivesTenSeconds) {
    for (const char* windir : std::initializer_list<const char*>{"C:\\WINDOWS", "", nullptr}) {
        SCOPED_TRACE(windir ? windir : "(missing)");
        FakeSystemControl fresh{&clock};
        system = fresh;
        if (windir)
            system.env.insert(QStringLiteral("windir"), QString::fromLatin1(windir));
        const qint64 begun = clock.monotonicMs();
        exit.ends = 0;
        powerOff();
        EXPECT_EQ(system.calls, (QStringList{"env windir", "shutdown 1"}));
        EXPECT_EQ(exit.endedAtMs - begun, 10000);
        EXPECT_EQ(exit.ends, 1);
    }
}

TEST_F(PowerOffTest, WinntInAnyLetterCaseShutsDownPowersOffAndShutsDownAgain) {
    for (const char* windir : {"C:\\WINNT", "c:\\winnt", "D:\\WinNT40"}) {
        SCOPED_TRACE(windir);
        FakeSystemControl fresh{&clock};
        system = fresh;
        system.env.insert(QStringLiteral("windir"), QString::fromLatin1(windir));
        const qint64 begun = clock.monotonicMs();
        powerOff();
        EXPECT_EQ(system.calls, (QStringList{"env windir", "shutdown 1", "privilege", "shutdown 8",
                                             "shutdown 1"}));
        ASSERT_EQ(system.times.size(), 5u);
        EXPECT_EQ(system.times[1] - begun, 0);
        EXPECT_EQ(system.times[2] - begun, 10000); // the privilege comes after the first wait
        EXPECT_EQ(system.times[3] - begun, 10000);
        EXPECT_EQ(system.times[4] - begun, 20000);
        EXPECT_EQ(exit.endedAtMs - begun, 30000);
    }
}

TEST_F(PowerOffTest, LogIsWrittenBeforeTheLastLineAndTheProgramEndsAfterIt) {
    window.モニター行追加(QStringLiteral("転送しました"));
    powerOff();

    EXPECT_EQ(終了フラグ, 1);
    ASSERT_EQ(window.monitor.size(), 3);
    EXPECT_TRUE(window.monitor[1].endsWith(QStringLiteral("     電源を切ります"))); // 4 + 1 blanks
    EXPECT_TRUE(window.monitor[2].endsWith(QStringLiteral("    電源OFFしました。")));
    // Only the first two lines widened the monitor; the last one does not.
    EXPECT_EQ(window.widenExtents.size(), 2u);

    const QString log = fromCp932(test::readAll(settings.ログファイルパス));
    EXPECT_TRUE(log.contains(QStringLiteral("転送しました")));
    EXPECT_TRUE(log.contains(QStringLiteral(" 電源を切ります")));
    EXPECT_FALSE(log.contains(QStringLiteral("電源OFFしました。")));

    EXPECT_EQ(exit.ends, 1);
    EXPECT_EQ(exit.monitorAtEnd, window.monitor);
}

TEST_F(PowerOffTest, NoLogUnlessTheFlagIsExactlyOne) {
    for (const char* flag : {"0", "", " 1", "1 ", "true"}) {
        SCOPED_TRACE(flag);
        settings.ログ出力フラグ = QString::fromLatin1(flag);
        powerOff();
        EXPECT_FALSE(QFile::exists(settings.ログファイルパス));
    }
}

TEST_F(PowerOffTest, AFailedLogWriteIsOneErrorLineAndThePowerOffGoesOn) {
    settings.ログファイルパス = dir.filePath(QStringLiteral("missing/転送ログ.txt"));
    powerOff();
    ASSERT_EQ(window.monitor.size(), 3);
    EXPECT_TRUE(window.monitor[1].contains(QStringLiteral("エラー！「")));
    EXPECT_EQ(system.callsStartingWith(QStringLiteral("shutdown")).size(), 1);
    EXPECT_TRUE(window.monitor[2].endsWith(QStringLiteral("電源OFFしました。")));
    EXPECT_EQ(exit.ends, 1);
}

TEST_F(PowerOffTest, RefusedOrFailingRequestsStillEndTheProgramAfterTheWaits) {
    system.env.insert(QStringLiteral("windir"), QStringLiteral("C:\\WINNT"));
    system.shutdownTaken = false;
    system.privilege = PrivilegeResult::NotEnabled;
    system.throwing = {QStringLiteral("shutdown"), QStringLiteral("privilege")};
    powerOff();
    EXPECT_EQ(system.callsStartingWith(QStringLiteral("shutdown")),
              (QStringList{"shutdown 1", "shutdown 8", "shutdown 1"}));
    EXPECT_EQ(exit.endedAtMs, 30000);
    EXPECT_TRUE(window.monitor.last().endsWith(QStringLiteral("電源OFFしました。")));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(PowerOffTest, AnUnreadableEnvironmentCountsAsNoWinnt) {
    system.throwing = {QStringLiteral("env")};
    powerOff();
    EXPECT_EQ(終了フラグ, 1);
    EXPECT_EQ(system.callsStartingWith(QStringLiteral("shutdown")), QStringList{"shutdown 1"});
    EXPECT_EQ(exit.ends, 1);
}

TEST_F(PowerOffTest, MissingProcessTokenIsShownAndThePowerOffRequestStillFollows) {
    system.env.insert(QStringLiteral("windir"), QStringLiteral("C:\\WINNT"));
    system.privilege = PrivilegeResult::NoProcessToken;
    powerOff();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, QStringLiteral("OpenProcessToken エラー"));
    EXPECT_EQ(window.messages[0].title, QStringLiteral("ExitWindowEx"));
    EXPECT_EQ(window.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(system.callsStartingWith(QStringLiteral("shutdown")),
              (QStringList{"shutdown 1", "shutdown 8", "shutdown 1"}));
}

TEST(EnableShutdownPrivilegeTest, TrueOnlyWhenEnabled) {
    VirtualClock clock;
    FakeWindow window{clock};
    FakeSystemControl system;
    EXPECT_TRUE(EnableShutdownPrivilege(system, window));
    system.privilege = PrivilegeResult::NotEnabled;
    EXPECT_FALSE(EnableShutdownPrivilege(system, window));
    EXPECT_TRUE(window.messages.empty()); // a failed lookup or adjustment is silent
}

class ProgramLaunchTest : public ::testing::Test {
protected:
    FakeSystemControl system;
    SettingsRecord settings;
};

TEST_F(ProgramLaunchTest, StartsTheCommandLineWithItsArgumentsMinimized) {
    settings.プログラム名 = QStringLiteral("\"C:\\Program Files\\dial.exe\" /hangup 30");
    funcプログラム実行(system, settings);
    EXPECT_EQ(system.calls, QStringList{"program \"C:\\Program Files\\dial.exe\" /hangup 30 @2"});
}

TEST_F(ProgramLaunchTest, AnEmptyNameIsAnErrorWithoutAnyStart) {
    for (const char* name : {"", "   "}) {
        settings.プログラム名 = QString::fromLatin1(name);
        try {
            funcプログラム実行(system, settings);
            FAIL() << "no error for an empty program name";
        } catch (const KelvoError& e) {
            EXPECT_EQ(e.number(), 5);
        }
    }
    EXPECT_TRUE(system.calls.isEmpty());
}

TEST_F(ProgramLaunchTest, AProgramThatCannotStartIsAnErrorNamingItAndTheReason) {
    settings.プログラム名 = QStringLiteral("/opt/none/dial --now");
    system.programResult = {false, QStringLiteral("見つかりません")};
    try {
        funcプログラム実行(system, settings);
        FAIL() << "no error for a failed start";
    } catch (const KelvoError& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_EQ(
            e.description(),
            QStringLiteral("プログラム『/opt/none/dial --now』を起動できません（見つかりません）"));
    }
}

} // namespace
} // namespace kelvo
