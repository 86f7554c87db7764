// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/core/mail_call.h"

#include "common/error.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

// The threads of this process that carry the name.
int threadsNamed(const QByteArray& name) {
    int count = 0;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            ++count;
    }
    return count;
}

TEST(MailCallTest, TheWorkerEndsAfterItsRestAndTheNextCallStartsItAgain) {
    setMailCallRest(50ms);
    auto callsOnThisThread = [] {
        thread_local int calls = 0;
        return ++calls;
    };
    mailCall(true, callsOnThisThread);
    EXPECT_EQ(threadsNamed("mail"), 1);
    for (int i = 0; i < 100 && threadsNamed("mail") > 0; ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(threadsNamed("mail"), 0);
    EXPECT_EQ(mailCall(true, callsOnThisThread), 1); // a thread of its own again
    setMailCallRest(30s);
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

// A program without windows marks what a close request ends.
class Closable final : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Close)
            ++closes;
        return QObject::event(e);
    }
    int closes = 0;
};

TEST(MailCallTest, AMarkedObjectsCloseRequestWaitsUntilTheCallHasReturned) {
    Closable program;
    closeAfterMailCalls(program);
    int closesDuringCall = -1;
    std::atomic<bool> closeAsked = false;
    QTimer::singleShot(0, [&] {
        QCoreApplication::postEvent(&program, new QCloseEvent);
        QTimer::singleShot(0, [&] { closeAsked = true; });
    });
    mailCall(true, [&] { waitFor(closeAsked); });
    closesDuringCall = program.closes;
    QCoreApplication::processEvents();
    EXPECT_EQ(closesDuringCall, 0);
    EXPECT_EQ(program.closes, 1);
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
