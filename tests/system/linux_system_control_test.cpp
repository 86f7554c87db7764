// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fakes.h"
#include "qt_print.h"
#include "system/dbus_call.h"
#include "system/hang_up.h"
#include "system/linux_system_control.h"
#include "system/power_off.h"
#include "system/program_launch.h"
#include "system/redial.h"
#include "system_bus_guard.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include "common/error.h"

#include <QDBusConnection>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvo {
namespace {

using test::SystemBusGuard;

[[maybe_unused]] auto* const guard = ::testing::AddGlobalTestEnvironment(new SystemBusGuard);

const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");

// The calls as the stand-ins record them.
QString powerOffCall() {
    return QStringLiteral("org.freedesktop.login1.Manager.PowerOff /org/freedesktop/login1 false");
}
QString activeConnectionsCall() {
    return QStringLiteral("org.freedesktop.DBus.Properties.Get /org/freedesktop/NetworkManager "
                          "org.freedesktop.NetworkManager ActiveConnections");
}
QString activePath(int n) {
    return QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/%1").arg(n);
}
QString settingsPath(int n) {
    return QStringLiteral("/org/freedesktop/NetworkManager/Settings/%1").arg(n);
}
QString getAllCall(int active) {
    return QStringLiteral("org.freedesktop.DBus.Properties.GetAll %1 "
                          "org.freedesktop.NetworkManager.Connection.Active")
        .arg(activePath(active));
}
QString stateCall(int active) {
    return QStringLiteral("org.freedesktop.DBus.Properties.Get %1 "
                          "org.freedesktop.NetworkManager.Connection.Active State")
        .arg(activePath(active));
}
QString getSettingsCall(int settings) {
    return QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection.GetSettings ") +
           settingsPath(settings);
}
QString deactivateCall(int active) {
    return QStringLiteral("org.freedesktop.NetworkManager.DeactivateConnection ") + kNmPath + u' ' +
           activePath(active);
}
QString activateCall(int settings) {
    return QStringLiteral("org.freedesktop.NetworkManager.ActivateConnection ") + kNmPath + u' ' +
           settingsPath(settings) + QStringLiteral(" / /");
}

constexpr uint kActivated = 2;

class LinuxSystemControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SystemBusGuard::ready()) << SystemBusGuard::problem().toStdString();
        control(QStringLiteral("Reset"));
        control(QStringLiteral("ClaimName"), {QStringLiteral("org.freedesktop.login1")});
        qunsetenv("windir");
        qunsetenv("OS");
        system.emplace();
    }

    QVariant control(const QString& method, const QVariantList& arguments = {}) {
        QDBusConnection bus = QDBusConnection::systemBus();
        const QDBusMessage reply =
            dbus::call(bus, QStringLiteral("org.kelvo.StandIns"), QStringLiteral("/org/kelvo/Test"),
                       QStringLiteral("org.kelvo.Test"), method, arguments);
        EXPECT_TRUE(dbus::succeeded(reply)) << reply.errorMessage().toStdString();
        return dbus::firstValue(reply);
    }
    QStringList calls() { return control(QStringLiteral("Calls")).toStringList(); }
    void addConnection(const char* id, const char* type, uint state, const char* bluetooth = "") {
        control(QStringLiteral("AddConnection"), {QString::fromUtf8(id), QString::fromLatin1(type),
                                                  QString::fromLatin1(bluetooth), state});
    }
    void powerOff() { 電源OFF({*system, window, clock, exit}, settings, 終了フラグ); }
    std::optional<KelvoError> redial() {
        try {
            回線再接続(*system, clock, clock);
        } catch (const KelvoError& e) {
            return e;
        }
        return std::nullopt;
    }

    test::VirtualClock clock;
    test::FakeWindow window{clock};
    test::RecordingExit exit;
    SettingsRecord settings;
    int 終了フラグ = 0;
    std::optional<LinuxSystemControl> system;
};

TEST_F(LinuxSystemControlTest, PowerOffAsksLogindOnceWithoutInteraction) {
    powerOff();
    EXPECT_EQ(calls(), QStringList{powerOffCall()});
    EXPECT_EQ(clock.monotonicMs(), 10000);
    EXPECT_EQ(exit.ends, 1);
    EXPECT_TRUE(window.monitor.last().endsWith(QStringLiteral("電源OFFしました。")));
}

TEST_F(LinuxSystemControlTest, WinntInTheEnvironmentMakesThreeRequests) {
    qputenv("windir", "C:\\WINNT");
    powerOff();
    EXPECT_EQ(calls(), (QStringList{powerOffCall(), powerOffCall(), powerOffCall()}));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(exit.ends, 1);
}

TEST_F(LinuxSystemControlTest, ARefusedPowerOffIsReportedToTheCallerOnly) {
    control(QStringLiteral("SetPowerOffError"),
            {QStringLiteral("org.freedesktop.DBus.Error.AccessDenied")});
    EXPECT_FALSE(system->requestShutdown(ShutdownRequest::ShutDown));
    powerOff();
    EXPECT_EQ(calls(), (QStringList{powerOffCall(), powerOffCall()}));
    EXPECT_EQ(window.monitor.size(), 2);
    EXPECT_EQ(exit.ends, 1);
}

TEST_F(LinuxSystemControlTest, WithoutLogindTheRequestFailsAtOnce) {
    ASSERT_TRUE(control(QStringLiteral("ReleaseName"), {QStringLiteral("org.freedesktop.login1")})
                    .toBool());
    EXPECT_FALSE(system->requestShutdown(ShutdownRequest::PowerOff));
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(LinuxSystemControlTest, HangUpTakesDownOnlyTheDialUpConnection) {
    addConnection("有線", "802-3-ethernet", kActivated);
    addConnection("Wi-Fi", "802-11-wireless", kActivated);
    addConnection("モバイル", "gsm", kActivated);
    回線切断(1, *system, clock);
    EXPECT_EQ(calls(), (QStringList{activeConnectionsCall(), getAllCall(1), getAllCall(2),
                                    getAllCall(3), deactivateCall(3)}));
    // No dial-up window exists here: nothing was started, no key sent, no pause taken.
    EXPECT_EQ(clock.waits(), 0);
    EXPECT_EQ(control(QStringLiteral("ActivePath"), {settingsPath(1)}).toString(), activePath(1));
    EXPECT_TRUE(control(QStringLiteral("ActivePath"), {settingsPath(3)}).toString().isEmpty());
}

TEST_F(LinuxSystemControlTest, EveryDialUpTypeIsTakenDown) {
    for (const char* type : {"gsm", "cdma", "pppoe"}) {
        SCOPED_TRACE(type);
        control(QStringLiteral("Reset"));
        system.emplace();
        addConnection("line", type, kActivated);
        EXPECT_TRUE(system->hangUpDialUp());
        EXPECT_EQ(calls(),
                  (QStringList{activeConnectionsCall(), getAllCall(1), deactivateCall(1)}));
    }
}

TEST_F(LinuxSystemControlTest, BluetoothCountsAsDialUpOnlyForDun) {
    addConnection("phone PAN", "bluetooth", kActivated, "panu");
    addConnection("phone DUN", "bluetooth", kActivated, "dun");
    EXPECT_TRUE(system->hangUpDialUp());
    EXPECT_EQ(calls(), (QStringList{activeConnectionsCall(), getAllCall(1), getAllCall(2),
                                    getSettingsCall(1), getSettingsCall(2), deactivateCall(2)}));
}

TEST_F(LinuxSystemControlTest, ADialUpConnectionOnItsWayDownIsLeftAlone) {
    addConnection("line", "gsm", 3); // deactivating
    EXPECT_FALSE(system->hangUpDialUp());
    EXPECT_EQ(calls(), (QStringList{activeConnectionsCall(), getAllCall(1)}));
}

TEST_F(LinuxSystemControlTest, NoDialUpLineMeansNothingToTakeDownOrBringBack) {
    addConnection("有線", "802-3-ethernet", kActivated);
    回線切断(1, *system, clock);
    EXPECT_FALSE(redial());
    EXPECT_EQ(calls(), (QStringList{activeConnectionsCall(), getAllCall(1)}));
}

TEST_F(LinuxSystemControlTest, RedialBringsTheRememberedConnectionBackAndWaitsForIt) {
    addConnection("有線", "802-3-ethernet", kActivated);
    addConnection("モバイル", "gsm", kActivated);
    ASSERT_TRUE(system->hangUpDialUp());
    control(QStringLiteral("ClearCalls"));
    control(QStringLiteral("SetActivation"), {2, kActivated, QString()});

    EXPECT_FALSE(redial());
    EXPECT_EQ(calls(), (QStringList{activeConnectionsCall(), getAllCall(1), activateCall(2),
                                    stateCall(3), stateCall(3), stateCall(3)}));
    EXPECT_EQ(clock.monotonicMs(), 2000);

    // Once back, it is no longer remembered: the next sign-on has nothing to do.
    control(QStringLiteral("ClearCalls"));
    EXPECT_FALSE(redial());
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(LinuxSystemControlTest, ALineConnectedMeanwhileIsNotDialledAgain) {
    addConnection("モバイル", "gsm", kActivated);
    ASSERT_TRUE(system->hangUpDialUp());
    control(QStringLiteral("Activate"), {settingsPath(1), kActivated});
    control(QStringLiteral("ClearCalls"));
    EXPECT_FALSE(redial());
    EXPECT_EQ(calls(), (QStringList{activeConnectionsCall(), getAllCall(2)}));
}

TEST_F(LinuxSystemControlTest, ARedialThatNeverConnectsGivesUpAndTriesAgainNextTime) {
    addConnection("モバイル", "gsm", kActivated);
    ASSERT_TRUE(system->hangUpDialUp());
    control(QStringLiteral("SetActivation"), {1000, kActivated, QString()});
    control(QStringLiteral("ClearCalls"));

    const auto error = redial();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), 1101);
    EXPECT_EQ(error->description(),
              QStringLiteral("ダイヤルアップ接続『モバイル』が60秒以内につながりませんでした"));
    const QStringList first = calls();
    EXPECT_EQ(first.count(activateCall(1)), 1);
    EXPECT_EQ(first.count(stateCall(2)), 61);
    EXPECT_EQ(clock.monotonicMs(), 60000);

    // Still connecting on the next sign-on: waited for again, not dialled a second time.
    control(QStringLiteral("ClearCalls"));
    EXPECT_TRUE(redial());
    EXPECT_EQ(calls().count(activateCall(1)), 0);
}

TEST_F(LinuxSystemControlTest, ARedialThatFailsIsAClearError) {
    addConnection("PPPoE", "pppoe", kActivated);
    ASSERT_TRUE(system->hangUpDialUp());

    control(QStringLiteral("SetActivation"),
            {0, kActivated, QStringLiteral("org.freedesktop.NetworkManager.UnknownDevice")});
    auto error = redial();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->description().startsWith(
        QStringLiteral("ダイヤルアップ接続『PPPoE』に接続できません（")))
        << error->description().toStdString();

    for (uint finalState : {4u, 0u}) { // deactivated, or the attempt vanished
        SCOPED_TRACE(finalState);
        control(QStringLiteral("SetActivation"), {1, finalState, QString()});
        error = redial();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->description(),
                  QStringLiteral("ダイヤルアップ接続『PPPoE』に接続できませんでした"));
    }
}

TEST_F(LinuxSystemControlTest, WindowsDialUpScriptsStartNothingAndSendNoKeys) {
    qputenv("windir", "C:\\WINDOWS");
    qputenv("OS", "Windows_NT");
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started"));
    const QString helper = QStringLiteral("\"" KELVO_SYSTEM_TEST_HELPER "\" record-args ") + marker;
    EXPECT_FALSE(system->startDialUpWindow(helper, WindowState::MaximizedActive));
    EXPECT_FALSE(system->sendKeys(QStringLiteral("{DOWN}"), true));
    回線切断(1, *system, clock);
    EXPECT_EQ(calls(), QStringList{activeConnectionsCall()});
    EXPECT_EQ(clock.waits(), 0);
    QTest::qWait(200);
    EXPECT_FALSE(QFile::exists(marker));
}

class ProgramStartTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LinuxSystemControl system{QDBusConnection(QStringLiteral("not connected"))};
};

TEST_F(ProgramStartTest, StartsTheProgramWithItsArgumentsWithoutAShell) {
    const QString out = dir.filePath(QStringLiteral("args.txt"));
    SettingsRecord settings;
    settings.プログラム名 = QStringLiteral("\"" KELVO_SYSTEM_TEST_HELPER "\" record-args \"") +
                            out + QStringLiteral("\" \"two words\" $HOME ; *");
    funcプログラム実行(system, settings);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(out); }, 10000));
    EXPECT_EQ(QString::fromUtf8(test::readAll(out)), QStringLiteral("two words\n$HOME\n;\n*\n"));
}

TEST_F(ProgramStartTest, AProgramThatCannotStartSaysWhy) {
    const QString plain = dir.filePath(QStringLiteral("not-a-program.txt"));
    ASSERT_TRUE(test::writeAll(plain, "text"));
    for (const QString& commandLine :
         {QStringLiteral("/nonexistent/kelvo-none --now"), QStringLiteral("kelvo-no-such-program"),
          QStringLiteral("C:\\Program Files\\dial.exe"), plain, QStringLiteral("  ")}) {
        SCOPED_TRACE(commandLine.toStdString());
        const StartResult result = system.startProgram(commandLine, WindowState::MinimizedActive);
        EXPECT_FALSE(result.started);
        EXPECT_FALSE(result.reason.isEmpty());
    }
}

} // namespace
} // namespace kelvo
