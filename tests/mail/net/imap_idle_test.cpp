// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The push connection's thread ends with the object: a stop breaks off a connection still being
// made and joins the thread at once, whatever the profile's timeout.

#include "mail/core/profiles.h"
#include "mail/net/imap_idle.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kelvo::test {
namespace {

// A server on 127.0.0.1 that takes connections and then says nothing (or only its greeting)
// until the client hangs up.
class MuteServer {
public:
    explicit MuteServer(QByteArray greeting) : greeting(std::move(greeting)) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&at), length) != 0 ||
            ::listen(listener, 4) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) != 0)
            ADD_FAILURE() << "no listening socket";
        port = ntohs(at.sin_port);
        worker = std::thread([this] {
            const int client = ::accept(listener, nullptr, nullptr);
            if (client < 0)
                return;
            accepted = true;
            if (!this->greeting.isEmpty() &&
                ::write(client, this->greeting.constData(), size_t(this->greeting.size())) < 0)
                ADD_FAILURE() << "no greeting";
            char buffer[256];
            while (::read(client, buffer, sizeof buffer) > 0) {
            }
            hungUp = true;
            ::close(client);
        });
    }
    ~MuteServer() {
        ::shutdown(listener, SHUT_RDWR); // ends an accept still waiting
        worker.join();
        ::close(listener);
    }

    int port = 0;
    std::atomic<bool> accepted{false};
    std::atomic<bool> hungUp{false}; // the client closed the connection

private:
    QByteArray greeting;
    int listener = -1;
    std::thread worker;
};

TEST(ImapIdleTest, AStopBreaksOffAConnectionStillBeingMadeAndJoinsItsThread) {
    for (const QByteArray& greeting : {QByteArray(), QByteArray("* OK ready\r\n")}) {
        MuteServer server(greeting);
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
