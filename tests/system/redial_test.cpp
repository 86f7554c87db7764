// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fake_system_control.h"
#include "fakes.h"
#include "qt_print.h"
#include "system/redial.h"
#include "virtual_clock.h"

#include "common/error.h"
#include "common/error_trap.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

using test::FakeSystemControl;
using test::VirtualClock;

class RedialTest : public ::testing::Test {
protected:
    void started(std::initializer_list<LineState> states) {
        system.redialStart = {RedialStatus::Started, QStringLiteral("モバイル"), {}};
        system.redialStates = states;
    }
    // The error the redial raised, or none.
    std::optional<KelvoError> redial() {
        try {
            回線再接続(system, clock, clock);
        } catch (const KelvoError& e) {
            return e;
        }
        return std::nullopt;
    }

    VirtualClock clock;
    FakeSystemControl system{&clock};
};

TEST_F(RedialTest, NothingToDoWhenNoLineWasHungUpOrItIsAlreadyUp) {
    EXPECT_FALSE(redial());
    system.redialStart = {RedialStatus::AlreadyUp, QStringLiteral("モバイル"), {}};
    EXPECT_FALSE(redial());
    EXPECT_EQ(system.calls, (QStringList{"redial", "redial"}));
    EXPECT_EQ(clock.waits(), 0);
}

TEST_F(RedialTest, WaitsSecondBySecondUntilTheLineIsUp) {
    started({LineState::Connecting, LineState::Connecting, LineState::Up});
    EXPECT_FALSE(redial());
    EXPECT_EQ(system.calls,
              (QStringList{"redial", "redial-state", "redial-state", "redial-state"}));
    EXPECT_EQ(clock.monotonicMs(), 2000);
}

TEST_F(RedialTest, GivesUpAfterTheBoundWithAClearError) {
    started({});
    system.redialStateAfter = LineState::Connecting;
    const auto error = redial();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), 1101);
    EXPECT_EQ(error->description(),
              QStringLiteral("ダイヤルアップ接続『モバイル』が60秒以内につながりませんでした"));
    EXPECT_EQ(clock.monotonicMs(), 60000);
    EXPECT_EQ(clock.waits(), 60);
}

TEST_F(RedialTest, ALineThatDropsWhileConnectingFailsAtOnce) {
    started({LineState::Connecting, LineState::Down});
    const auto error = redial();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(),
              QStringLiteral("ダイヤルアップ接続『モバイル』に接続できませんでした"));
    EXPECT_EQ(clock.waits(), 1);
}

TEST_F(RedialTest, ARefusedStartCarriesTheReason) {
    system.redialStart = {RedialStatus::Failed, QStringLiteral("PPPoE"),
                          QStringLiteral("No suitable device found")};
    const auto error = redial();
    ASSERT_TRUE(error);
    EXPECT_EQ(
        error->description(),
        QStringLiteral("ダイヤルアップ接続『PPPoE』に接続できません（No suitable device found）"));
    EXPECT_EQ(system.calls, QStringList{"redial"});
}

TEST_F(RedialTest, InsideAnErrorTrapTheFailureIsOneErrorLine) {
    test::FakeWindow window{clock};
    started({LineState::Down});
    EXPECT_FALSE(エラートラップ(window, [&] { 回線再接続(system, clock, clock); }));
    ASSERT_EQ(window.monitor.size(), 1);
    EXPECT_TRUE(window.monitor[0].endsWith(
        QStringLiteral("エラー！「ダイヤルアップ接続『モバイル』に接続できませんでした(1101)」")));
}

} // namespace
} // namespace kelvo
