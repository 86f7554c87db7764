// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Signing on with an OAuth 2.0 access token against the suite's Dovecots that check tokens at
// the test authorization server, and its SMTP sink: the store, the transport and the push
// connection.

#include "mail/net/imap_idle.h"
#include "mail/core/profiles.h"
#include "server_fixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>

namespace kelvo::test {
namespace {

QByteArray plainMessage(const QString& subject) {
    return "From: hanako@example.jp\r\nTo: taro@example.jp\r\nSubject: " + subject.toUtf8() +
           "\r\n\r\nbody\r\n";
}

class OAuthWireTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (servers.oauthImapPort == 0)
            GTEST_FAIL() << "the mail servers are not running";
    }
    static QString userFor() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        static const QString run = QString::number(QDateTime::currentMSecsSinceEpoch(), 36);
        return QString::fromLatin1(info->name()).toLower().left(40) + u'-' + run;
    }
    // Where the token command finds the token: a file only the user may read.
    void writeToken(const QString& token, const QString& name = QStringLiteral("token")) {
        QFile f(mail.temp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        f.write(token.toUtf8() + '\n');
    }
    // The profile "test": the token from the command, the store on the port, the sink with
    // AUTH (on its own port unless another is given).
    void useProfile(int imapPort, const QString& tokenCommand = QStringLiteral("cat token"),
                    int smtpPort = 0) {
        mail.writeProfiles(QStringLiteral("[test]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                          "transport = smtp://127.0.0.1:%2\nuser = %3\n"
                                          "from = taro@example.jp\ntimeout = 10\nauth = oauth2\n"
                                          "token-command = cd '%4' && %5\n")
                               .arg(imapPort)
                               .arg(smtpPort ? smtpPort : servers.smtpPort)
                               .arg(user, mail.temp.path(), tokenCommand));
        mail.restart();
    }
    // The command lines traced show neither the token nor XOAUTH2's response that holds it.
    void expectNotTraced(const QString& token) {
        const QByteArray sent = mail.lines->join(u'\n').toUtf8();
        const QByteArray response =
            "user=" + user.toUtf8() + "\x01" + "auth=Bearer " + token.toUtf8() + "\x01\x01";
        EXPECT_FALSE(sent.contains(token.toUtf8()));
        EXPECT_FALSE(sent.contains(response.toBase64())) << sent.toStdString();
    }
    // Sends a mail to the user's phone address; the tokens the sink took for that address.
    QStringList sendToPhone() {
        const QString phone = user + QStringLiteral("@docomo.ne.jp");
        mail.mapMess->Compose();
        mail.mapMess->setMsgSubject(QStringLiteral("件名"));
        mail.mapMess->setMsgNoteText(QStringLiteral("本文\r\n"));
        mail.mapMess->setRecipAddress(phone);
        mail.mapMess->Send();
        QStringList tokens;
        for (const auto& r : servers.received())
            if (r.to == QStringList{phone})
                tokens << r.authToken;
        return tokens;
    }
    // The push connection's events until it connected or was lost (15 s at most).
    std::vector<PushEvent> push() {
        std::mutex lock;
        std::vector<PushEvent> events;
        ImapIdle idle(selectProfile(mail.profilesPath, QStringLiteral("test")),
                      [&](const PushEvent& e) {
                          const std::lock_guard hold(lock);
                          events.push_back(e);
                      });
        QElapsedTimer t;
        t.start();
        for (;;) {
            {
                const std::lock_guard hold(lock);
                if (!events.empty() || t.elapsed() > 15000)
                    break;
            }
            QThread::msleep(20);
        }
        idle.stop();
        const std::lock_guard hold(lock);
        return events;
    }

    const MailServers& servers = MailServers::get();
    QString user = userFor();
    ServerMail mail{user};
};

// XOAUTH2 where the server offers it, else OAUTHBEARER; the trace shows neither the token nor
// the response that holds it.
TEST_F(OAuthWireTest, TheStoreSignsOnWithXoauth2OrOauthBearerAndTheTraceHoldsNoToken) {
    servers.deliver(user, plainMessage(QStringLiteral("oauth")));
    const QString token = servers.mintToken(user);
    writeToken(token);
    for (const auto& [port, command] :
         {std::pair{servers.oauthImapPort, "^\\d+ AUTHENTICATE XOAUTH2 "},
          std::pair{servers.oauthBearerImapPort, "^\\d+ AUTHENTICATE OAUTHBEARER "}}) {
        useProfile(port);
        mail.lines->clear();
        mail.signOn();
        mail.fetch(false);
        EXPECT_EQ(mail.subjects(), QStringList{QStringLiteral("oauth")});
        EXPECT_EQ(mail.lines->filter(QRegularExpression(QString::fromLatin1(command))).size(), 1)
            << command;
        expectNotTraced(token);
    }
}

TEST_F(OAuthWireTest, AnExpiredOrWrongTokenIsRefusedWithoutShowingIt) {
    const QString token = servers.mintToken(user);
    servers.oauthPost(QStringLiteral("/control/expire"));
    for (int port : {servers.oauthImapPort, servers.oauthBearerImapPort})
        for (const QString& t : {token, QStringLiteral("at-not-a-token")}) {
            writeToken(t);
            useProfile(port);
            QString description;
            EXPECT_EQ(errorOf([&] { mail.signOn(); }, &description), mailerr::LoginFailed);
            EXPECT_FALSE(description.contains(t)) << description.toStdString();
        }
    // Never LOGIN or PLAIN with the token, though the first server offers PLAIN.
    EXPECT_EQ(
        mail.lines->filter(QRegularExpression(QStringLiteral("^\\d+ (LOGIN|AUTHENTICATE PLAIN)")))
            .size(),
        0);
}

TEST_F(OAuthWireTest, ASendSignsOnToTheSmtpServerWithTheToken) {
    const QString token = servers.mintToken(user);
    writeToken(token);
    useProfile(servers.oauthImapPort);
    mail.signOn();
    EXPECT_EQ(sendToPhone(), QStringList{token});
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("AUTH XOAUTH2")), 1);
    expectNotTraced(token);
}

TEST_F(OAuthWireTest, ATokenRunningOutBetweenSignOnAndSendIsRenewedOnce) {
    writeToken(servers.mintToken(user));
    useProfile(servers.oauthImapPort);
    mail.signOn();
    servers.oauthPost(QStringLiteral("/control/expire"));
    const QString next = servers.mintToken(user);
    writeToken(next);
    EXPECT_EQ(sendToPhone(), QStringList{next});
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("AUTH XOAUTH2")), 2);
}

// Servers that offer one token mechanism and no other: the pass, the send and the push
// connection sign on with it, at IMAP and at SMTP.
TEST_F(OAuthWireTest, ServersOfferingOnlyXoauth2OrOnlyOauthBearerAreSignedOnTo) {
    servers.deliver(user, plainMessage(QStringLiteral("token only")));
    const QString token = servers.mintToken(user);
    writeToken(token);
    const struct {
        int imapPort;
        int smtpPort;
        const char* mechanism;
    } cases[] = {{servers.xoauth2ImapPort, servers.xoauth2SmtpPort, "XOAUTH2"},
                 {servers.oauthBearerImapPort, servers.oauthBearerSmtpPort, "OAUTHBEARER"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const QString mechanism = QString::fromLatin1(c.mechanism);
        useProfile(c.imapPort, QStringLiteral("cat token"), c.smtpPort);
        mail.lines->clear();
        mail.signOn();
        mail.fetch(false);
        EXPECT_EQ(mail.subjects(), QStringList{QStringLiteral("token only")}) << c.mechanism;
        EXPECT_EQ(sendToPhone(), QStringList(qsizetype(i + 1), token)) << c.mechanism;
        EXPECT_EQ(
            mail.lines->filter(QRegularExpression("^\\d+ AUTHENTICATE " + mechanism + ' ')).size(),
            1)
            << c.mechanism;
        EXPECT_EQ(mail.linesStartingWith("AUTH " + mechanism + ' '), 1) << c.mechanism;
        expectNotTraced(token);
        mail.mapSess->SignOff();
        const auto events = push();
        ASSERT_EQ(events.size(), 1u) << c.mechanism;
        EXPECT_EQ(events[0].kind, PushEvent::Connected) << events[0].error.toStdString();
    }
}

TEST_F(OAuthWireTest, ThePushConnectionSignsOnWithXoauth2OrOauthBearer) {
    writeToken(servers.mintToken(user));
    for (int port : {servers.oauthImapPort, servers.oauthBearerImapPort}) {
        useProfile(port);
        const auto events = push();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, PushEvent::Connected) << events[0].error.toStdString();
    }
    servers.oauthPost(QStringLiteral("/control/expire"));
    useProfile(servers.oauthBearerImapPort);
    const auto events = push();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PushEvent::Lost);
    EXPECT_EQ(events[0].errorNumber, mailerr::LoginFailed);
}

TEST_F(OAuthWireTest, ThePushConnectionRenewsARefusedTokenOnce) {
    // The command's first answer is an expired token; it then puts a live one in its place.
    const QString expired = servers.mintToken(user);
    servers.oauthPost(QStringLiteral("/control/expire"));
    writeToken(servers.mintToken(user), QStringLiteral("token.next"));
    for (int port : {servers.oauthImapPort, servers.oauthBearerImapPort}) {
        writeToken(expired);
        useProfile(port, QStringLiteral("cat token; cp token.next token"));
        const auto events = push();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, PushEvent::Connected) << events[0].error.toStdString();
    }
}

} // namespace
} // namespace kelvo::test
