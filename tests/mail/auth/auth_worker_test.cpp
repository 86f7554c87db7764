// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "error_of.h"
#include "auth_worker.h"
#include "mail/core/mail_error.h"
#include "oauth2_tokens.h"
#include "mail/core/profiles.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <thread>

namespace kelvo {
namespace {

using namespace std::chrono_literals;
using test::errorOf;

// A token endpoint that takes the connection and never answers.
class SilentEndpoint : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost)); }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/token").arg(server.serverPort());
    }
    // The request has come in; the caller is still waiting for its answer.
    bool requested() { return server.waitForNewConnection(5000); }
    // The connection closes: the request went with the worker.
    bool dropped() {
        QTcpSocket* request = server.nextPendingConnection();
        return request && (request->state() == QAbstractSocket::UnconnectedState ||
                           request->waitForDisconnected(5000));
    }

    QTcpServer server;
    QElapsedTimer sinceEnd;
};

// The push connection closing while its thread refreshes a token: the thread is free to be
// joined at once, not after the timeout.
TEST_F(SilentEndpoint, AStoppedRefreshEndsAtOnce) {
    MailProfile p;
    p.oauth2 = true;
    p.timeoutSeconds = 30;
    p.oauth.clientId = QStringLiteral("kelvo-test-client");
    p.oauth.tokenUrl = url();
    std::stop_source stop;
    QString text;
    int failed = -1;
    std::thread refreshing([&] {
        failed = errorOf(
            [&] {
                refreshedRecord(p, {QStringLiteral("at"), QStringLiteral("rt"), {}},
                                stop.get_token());
            },
            &text);
    });
    const bool came = requested();
    sinceEnd.start();
    stop.request_stop();
    refreshing.join();
    EXPECT_LT(sinceEnd.elapsed(), 2000);
    ASSERT_TRUE(came);
    EXPECT_EQ(failed, mailerr::TokenFailed) << text.toStdString();
}

// The end of the application: a caller still waiting is answered, the work in flight goes and
// the thread is joined; nothing is handed over after.
TEST_F(SilentEndpoint, EndingTheWorkerAnswersItsCallersAndJoinsItsThread) {
    AuthWorker worker;
    const auto ask = [&] {
        return errorOf([&] {
            worker.ask<int>(
                [&worker, url = url()](const AuthAnswer<int>&) {
                    worker.network().get(QNetworkRequest(QUrl(url)));
                },
                {30s, {}, mailerr::TokenFailed});
        });
    };
    int failed = -1;
    std::thread asking([&] { failed = ask(); });
    const bool came = requested();
    sinceEnd.start();
    worker.end();
    asking.join();
    EXPECT_LT(sinceEnd.elapsed(), 2000);
    ASSERT_TRUE(came);
    EXPECT_EQ(failed, mailerr::TokenFailed);
    EXPECT_TRUE(dropped());
    sinceEnd.start();
    EXPECT_EQ(ask(), mailerr::TokenFailed);
    EXPECT_LT(sinceEnd.elapsed(), 1000);
}

} // namespace
} // namespace kelvo
