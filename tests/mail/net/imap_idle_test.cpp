// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The push connection's thread ends with the object: a stop breaks off a connection still being
// made and joins the thread at once, whatever the profile's timeout.

#include "mail/core/profiles.h"
#include "mail/net/imap_idle.h"
#include "scripted_server.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

TEST(ImapIdleTest, AStopBreaksOffAConnectionStillBeingMadeAndJoinsItsThread) {
    for (const QByteArray& greeting : {QByteArray(), QByteArray("* OK ready\r\n")}) {
        ScriptedServer server(greeting);
        MailProfile profile;
        profile.store = QStringLiteral("imap://127.0.0.1:%1").arg(server.port);
        profile.starttls = QStringLiteral("no");
        profile.user = QStringLiteral("taro");
        profile.password = QStringLiteral("secret");
        profile.timeoutSeconds = 60;
        std::atomic<int> events{0};
        ImapIdle idle(profile, [&](const PushEvent&) { ++events; });
        for (int i = 0; i < 200 && !server.accepted; ++i)
            QThread::msleep(10);
        QThread::msleep(100); // waiting for the greeting, or the answer to LOGIN
        QElapsedTimer timer;
        timer.start();
        idle.stop();
        EXPECT_LT(timer.elapsed(), 1000) << greeting.toStdString();
        EXPECT_EQ(events, 0) << greeting.toStdString();
        // The connection is gone with the thread, not left to run out its timeout.
        for (int i = 0; i < 50 && !server.hungUp; ++i)
            QThread::msleep(10);
        EXPECT_TRUE(server.hungUp) << greeting.toStdString();
    }
}

} // namespace
} // namespace kelvo::test
