// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/core/mail_call.h"

#include "common/error.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace kelvo::test {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) until the flag is set by the user-interface thread.
bool waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 500 && !flag; ++i)
        std::this_thread::sleep_for(10ms);
    return flag;
}

TEST(MailCallTest, WorkRunsOffTheUiThreadWhileTheWindowKeepsWorking) {
    std::atomic<bool> timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QThread* workThread = nullptr;
    const int result = mailCall(true, [&] {
        workThread = QThread::currentThread();
        // Only the user-interface thread runs the timer, and only if it keeps handling events.
        return waitFor(timerRan) ? 7 : 0;
    });
    EXPECT_EQ(result, 7);
    EXPECT_NE(workThread, QCoreApplication::instance()->thread());
}

TEST(MailCallTest, CallsShareOneWorkerThread) {
    // A count of the thread's own: a thread started anew for a call counts from 0 again.
    auto callsOnThisThread = [] {
        thread_local int calls = 0;
        return ++calls;
    };
    const int first = mailCall(true, callsOnThisThread);
    EXPECT_EQ(mailCall(true, callsOnThisThread), first + 1);
}

TEST(MailCallTest, ACloseRequestWaitsUntilTheCallHasReturned) {
    QWidget window;
    window.show();
    std::atomic<bool> closeAsked = false;
    bool visibleAfterCall = false;
    QTimer::singleShot(0, [&] {
        window.close();
        closeAsked = true;
    });
    mailCall(true, [&] {
        waitFor(closeAsked);
        std::this_thread::sleep_for(20ms);
    });
    visibleAfterCall = window.isVisible();
    QCoreApplication::processEvents();
    EXPECT_TRUE(closeAsked);
    EXPECT_TRUE(visibleAfterCall);
    EXPECT_FALSE(window.isVisible());
}

TEST(MailCallTest, TheWorksErrorIsRaisedInTheCaller) {
    try {
        mailCall(true, [] { throw KelvoError(32100, "refused"); });
        FAIL() << "no error";
    } catch (const KelvoError& e) {
        EXPECT_EQ(e.number(), 32100);
    }
}

TEST(MailCallTest, WithoutOffThreadTheWorkRunsHere) {
    QThread* workThread = nullptr;
    mailCall(false, [&] { workThread = QThread::currentThread(); });
    EXPECT_EQ(workThread, QThread::currentThread());
}

} // namespace
} // namespace kelvo::test
