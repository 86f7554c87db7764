// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/yielding_wait.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace kelvo;

namespace {

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

} // namespace

TEST(YieldingWait, ReturnsAfterTheTimeAndHandlesEventsMeanwhile) {
    EventLoopWaiter waiter;
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    QElapsedTimer t;
    t.start();
    waiter.wait(0.3);
    EXPECT_GE(t.elapsed(), 300);
    EXPECT_TRUE(fired);
}

TEST(YieldingWait, SleepsInsteadOfSpinning) {
    EventLoopWaiter waiter;
    const double before = cpuSeconds();
    waiter.wait(0.5);
    // A spinning wait would use the whole half second.
    EXPECT_LT(cpuSeconds() - before, 0.1);
}

TEST(YieldingWait, NestedWaitInsideAnEventKeepsTheOuterWaitGoing) {
    EventLoopWaiter waiter;
    bool innerDone = false;
    QTimer::singleShot(20, [&] {
        waiter.wait(0.2); // as a dialog opened during the wait would hold it
        innerDone = true;
    });
    QElapsedTimer t;
    t.start();
    waiter.wait(0.1);
    EXPECT_TRUE(innerDone);
    EXPECT_GE(t.elapsed(), 200);
}

TEST(YieldingWait, ZeroOrNegativeOnlyProcessesEvents) {
    EventLoopWaiter waiter;
    QElapsedTimer t;
    t.start();
    waiter.wait(0);
    waiter.wait(-5);
    EXPECT_LT(t.elapsed(), 100);
}
