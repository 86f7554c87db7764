// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fake_system_control.h"
#include "qt_print.h"
#include "system/hang_up.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

using test::FakeSystemControl;
using test::VirtualClock;

const QString kDialUpFolder = QStringLiteral(
    "\\explorer.exe ::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{992CFFA0-F557-101A-88EC-"
    "00DD010CCC48}");
const QString kConnectionsFolder = QStringLiteral(
    "\\explorer.exe ::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{21EC2020-3AEA-1069-A2DD-"
    "08002B30309D}\\::{7007acc7-3202-11d1-aad2-00805fc1270e}");
const QString kDialUpProgram = QStringLiteral("\\system32\\RASPHONE.EXE");

QStringList dialUpFolderKeys() {
    QStringList keys;
    for (int group = 0; group < 9; ++group)
        keys << "{DOWN} wait"
             << "{RIGHT} wait"
             << "+{F10} nowait"
             << "i wait"
             << "{ESC} wait";
    return keys << "%f wait"
                << "c wait";
}

QStringList connectionsFolderKeys() {
    QStringList keys;
    for (int group = 0; group < 9; ++group)
        keys << "{DOWN} wait"
             << "{RIGHT} wait" << (group == 0 ? "+{F10} nowait" : "+{F10} wait") << "u wait"
             << "d wait";
    return keys << "%f wait"
                << "c wait";
}

class HangUpTest : public ::testing::Test {
protected:
    void setEnv(const char* name, const char* value) {
        system.env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    }
    void hangUp() { 回線切断(1, system, clock); }
    // The calls up to the first key, and from the last key on.
    QStringList callsWithoutKeys() const {
        QStringList result;
        for (const QString& call : system.calls)
            if (!call.startsWith(QLatin1String("key ")))
                result.append(call);
        return result;
    }
    qint64 timeOfFirstKey() const {
        for (qsizetype i = 0; i < system.calls.size(); ++i)
            if (system.calls[i].startsWith(QLatin1String("key ")))
                return system.times[size_t(i)];
        return -1;
    }

    VirtualClock clock;
    FakeSystemControl system{&clock};
};

TEST_F(HangUpTest, WindowsDirectoryOpensTheDialUpFolderAndNeverReadsOs) {
    setEnv("windir", "C:\\WINDOWS");
    setEnv("OS", "Windows_NT");
    hangUp();
    EXPECT_EQ(callsWithoutKeys(),
              (QStringList{"env windir", "window C:\\WINDOWS" + kDialUpFolder + " @3", "hangup"}));
    EXPECT_EQ(system.keys(), dialUpFolderKeys());
    EXPECT_EQ(system.keys().size(), 47);
    // One pause of a second before the first key, none between keys.
    EXPECT_EQ(clock.waits(), 1);
    EXPECT_EQ(timeOfFirstKey(), 1000);
    EXPECT_EQ(system.times.back(), 1000);
}

TEST_F(HangUpTest, WinntWithWindowsNtStartsTheDialUpProgramAndSendsSixKeysWithoutPause) {
    setEnv("windir", "C:\\WINNT");
    setEnv("OS", "Windows_NT");
    hangUp();
    EXPECT_EQ(callsWithoutKeys(),
              (QStringList{"env windir", "env OS", "window C:\\WINNT" + kDialUpProgram + " @1",
                           "hangup"}));
    EXPECT_EQ(system.keys(),
              (QStringList{"{TAB} wait", "i wait", "u wait", "u wait", "{ENTER} wait", "c wait"}));
    EXPECT_EQ(clock.waits(), 0);
}

TEST_F(HangUpTest, WinntWithAnyOtherOsOpensTheConnectionsFolder) {
    // "OS" is compared exactly: the same name in lower case is another system.
    for (const char* os :
         std::initializer_list<const char*>{"windows_nt", "Windows_NT ", "", nullptr}) {
        SCOPED_TRACE(os ? os : "(missing)");
        system = FakeSystemControl{&clock};
        setEnv("windir", "c:\\winnt");
        if (os)
            setEnv("OS", os);
        const int waitsBefore = clock.waits();
        hangUp();
        EXPECT_EQ(callsWithoutKeys(),
                  (QStringList{"env windir", "env OS",
                               "window c:\\winnt" + kConnectionsFolder + " @3", "hangup"}));
        EXPECT_EQ(system.keys(), connectionsFolderKeys());
        EXPECT_EQ(clock.waits() - waitsBefore, 1);
    }
}

TEST_F(HangUpTest, DialUpFolderThatFailsToOpenGoesOnToTheOsTest) {
    setEnv("windir", "C:\\WINDOWS");
    setEnv("OS", "Windows_NT");
    system.failingWindows = {QStringLiteral("992CFFA0")};
    hangUp();
    EXPECT_EQ(callsWithoutKeys(),
              (QStringList{"env windir", "window C:\\WINDOWS" + kDialUpFolder + " @3", "env OS",
                           "window C:\\WINDOWS" + kDialUpProgram + " @1", "hangup"}));
    EXPECT_EQ(system.keys().size(), 6);
    EXPECT_EQ(clock.waits(), 0);
}

TEST_F(HangUpTest, NoKeyIsSentWhenTheWindowToReceiveThemDidNotStart) {
    // The dial-up program included: its keys would go to whatever window has the focus.
    for (const char* os : {"Windows_NT", "Windows_95"}) {
        SCOPED_TRACE(os);
        system = FakeSystemControl{&clock};
        system.windowsStart = false;
        setEnv("windir", "C:\\WINNT");
        setEnv("OS", os);
        hangUp();
        EXPECT_TRUE(system.keys().isEmpty());
        EXPECT_EQ(system.calls.last(), QStringLiteral("hangup"));
    }
    EXPECT_EQ(clock.waits(), 0);
}

TEST_F(HangUpTest, MissingWindirRunsTheBranchesWithCommandLinesStartingAtTheBackslash) {
    // What every Linux system sees: no dial-up window starts, then the line is taken down.
    system.windowsStart = false;
    hangUp();
    EXPECT_EQ(system.calls, (QStringList{"env windir", "window " + kDialUpFolder + " @3", "env OS",
                                         "window " + kConnectionsFolder + " @3", "hangup"}));
    EXPECT_EQ(clock.waits(), 0);
}

TEST_F(HangUpTest, FailingStepsAreSkippedAndTheRestRuns) {
    setEnv("windir", "C:\\WINDOWS");
    system.throwing = {QStringLiteral("key"), QStringLiteral("hangup")};
    system.keysSent = false;
    EXPECT_NO_THROW(hangUp());
    EXPECT_EQ(system.keys(), dialUpFolderKeys());
    EXPECT_EQ(system.calls.last(), QStringLiteral("hangup"));
}

TEST_F(HangUpTest, AStartThatRaisesCountsAsNotStarted) {
    setEnv("windir", "C:\\WINDOWS");
    system.throwing = {QStringLiteral("window"), QStringLiteral("env")};
    EXPECT_NO_THROW(hangUp());
    // "windir" and "OS" read as empty, both folders fail, no key goes out.
    EXPECT_EQ(system.calls, (QStringList{"env windir", "window " + kDialUpFolder + " @3", "env OS",
                                         "window " + kConnectionsFolder + " @3", "hangup"}));
}

} // namespace
} // namespace kelvo
