// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Three accounts as one Inbox, each a user of the private Dovecot: one that cannot be reached,
// the phone's list and numbers across all of them, a command that reached two, and push on one
// of them.

#include "common/clock.h"
#include "common/yielding_wait.h"
#include "cutting_proxy.h"
#include "engine/forward_state.h"
#include "engine/forwarding_cycle.h"
#include "engine/push_watch.h"
#include "engine/schedule.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"
#include "mail/push_line.h"
#include "live_cycle_fixture.h"
#include "server_pass_fixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>
#include <array>
#include <gtest/gtest.h>
#include <vmime/vmime.hpp>

namespace kelvo::test {
namespace {

QByteArray message(const QString& from, const QString& subject, const QByteArray& messageId = {}) {
    return "Received: from mx by box; " +
           QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() +
           "\r\nFrom: " + from.toUtf8() + "\r\nTo: Taro <taro@example.jp>\r\nSubject: =?UTF-8?B?" +
           subject.toUtf8().toBase64() + "?=\r\n" +
           (messageId.isEmpty() ? QByteArray() : "Message-ID: " + messageId + "\r\n") +
           "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nhello\r\n";
}

// A port of 127.0.0.1 where nothing listens.
int closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

class SeveralAccountsTest : public ServerPassTest {
protected:
    SeveralAccountsTest() { phone = user + QStringLiteral("@docomo.ne.jp"); }
    void SetUp() override {
        ServerPassTest::SetUp();
        if (IsSkipped())
            return;
        設定.プロファイル使用フラグ = QStringLiteral("1");
        設定.プロファイル名 = QStringLiteral("全部");
        profiles(servers.imapPort);
    }

    // 会社, Gmail and プロバイダ, this last at the IMAP port given and with more lines.
    void profiles(int providerPort, const QString& providerLines = QString()) {
        profiles({servers.imapPort, servers.imapPort, providerPort},
                 {QString(), QString(), providerLines});
    }
    // Each at its IMAP port and with its more lines.
    void profiles(const std::array<int, 3>& ports, const std::array<QString, 3>& lines) {
        QString text;
        const QString names[] = {QStringLiteral("会社"), QStringLiteral("Gmail"),
                                 QStringLiteral("プロバイダ")};
        for (size_t i = 0; i < 3; ++i)
            text += QStringLiteral("[%1]\nstore = imap://127.0.0.1:%2\nstarttls = no\n"
                                   "user = %3\npassword = %4\ntimeout = 5\n")
                        .arg(names[i])
                        .arg(ports[i])
                        .arg(account(static_cast<int>(i)), servers.password) +
                    lines[i];
        text += QStringLiteral("[全部]\ninbox = 会社, Gmail, プロバイダ\n"
                               "transport = smtp://127.0.0.1:%1\nsmtp-auth = no\n"
                               "from = 山田太郎 <taro@example.jp>\n")
                    .arg(servers.smtpPort);
        mail->writeProfiles(text);
    }
    QString account(int i) const { return user + QStringLiteral("-%1").arg(i); }
    void deliver(int i, const QByteArray& raw) { servers.deliver(account(i), raw); }

    struct Sent {
        QString subject;
        QString text;
    };
    std::vector<Sent> sent() const {
        vm::initialize();
        std::vector<Sent> out;
        for (const auto& r : servers.received()) {
            if (r.to != QStringList{phone})
                continue;
            vmime::message m;
            m.parse(r.data.toStdString());
            out.push_back({vm::toQString(*m.getHeader()->findFieldValue<vmime::text>("Subject")),
                           vm::noteText(m)});
        }
        return out;
    }
    QStringList subjects() const {
        QStringList out;
        for (const Sent& s : sent())
            out << s.subject;
        out.sort();
        return out;
    }
};

TEST_F(SeveralAccountsTest, AnAccountDownLeavesTheOthersForwardedAndItsMailComesWhenItIsBack) {
    転送状態リセット(ctx);
    profiles(closedPort());
    deliver(0, message("a@example.jp", QStringLiteral("会社のお知らせ")));
    deliver(1, message("b@example.jp", QStringLiteral("Gmailのお知らせ")));
    deliver(2, message("c@example.jp", QStringLiteral("プロバイダのお知らせ")));
    pass();
    EXPECT_EQ(subjects(), (QStringList{"Gmailのお知らせ", "会社のお知らせ"}));
    ASSERT_EQ(errors().size(), 1) << errors().join('\n').toStdString();
    EXPECT_TRUE(errors()[0].contains(QStringLiteral("（プロバイダ）")))
        << errors()[0].toStdString();
    clock.advance(20 * 60);
    deliver(1, message("b@example.jp", QStringLiteral("Gmailの続報")));
    pass();
    EXPECT_EQ(subjects().size(), 3);

    // Kelvo is ended as asked and started again; the account is back only after its mail is
    // older than a pass's 30 minutes: it waited at its own reach.
    正常終了記録(ctx);
    状態 = RunState();
    転送状態リセット(ctx);
    clock.advance(40 * 60);
    profiles(servers.imapPort);
    pass();
    pass();
    EXPECT_EQ(subjects(), (QStringList{"Gmailのお知らせ", "Gmailの続報", "プロバイダのお知らせ",
                                       "会社のお知らせ"}));
    EXPECT_EQ(errors().size(), 2) << errors().join('\n').toStdString();
}

// A pass over one account (news came from it) after a pass that reached none: the others keep
// the older reach, which the pass's own moves past.
TEST_F(SeveralAccountsTest, AnAccountLeftOutOfAPassKeepsTheReachOfMailAFailedPassLeftBehind) {
    転送状態リセット(ctx);
    const int down = closedPort();
    profiles({down, down, down}, {QString(), QString(), QString()});
    deliver(1, message("b@example.jp", QStringLiteral("Gmailのお知らせ")));
    pass();
    未完了パス記録(ctx); // as the cycle does when a sign-on fails
    clock.advance(40 * 60);
    profiles(servers.imapPort);
    mail->mapSess->setAccounts({QStringLiteral("会社")});
    pass();
    mail->mapSess->setAccounts({});
    EXPECT_TRUE(sent().empty());
    pass();
    EXPECT_EQ(subjects(), QStringList{QStringLiteral("Gmailのお知らせ")});
    EXPECT_EQ(errors().size(), 1) << errors().join('\n').toStdString();
}

TEST_F(SeveralAccountsTest, TheListHoldsEveryAccountAndANumberFetchesFromItsOwn) {
    deliver(0, message("a@example.jp", QStringLiteral("会社のお知らせ")));
    deliver(1, message("b@example.jp", QStringLiteral("Gmailのお知らせ")));
    deliver(2, message("c@example.jp", QStringLiteral("プロバイダのお知らせ")));
    pass();
    ASSERT_EQ(sent().size(), 3u) << errors().join('\n').toStdString();

    // "G" written to two of the addresses: one mail, one list.
    const QByteArray g = message(phone, QStringLiteral("G"), "<g-1@docomo.ne.jp>");
    deliver(0, g);
    deliver(1, g);
    pass();
    std::vector<Sent> got = sent();
    ASSERT_EQ(got.size(), 4u) << errors().join('\n').toStdString();
    EXPECT_EQ(got.back().subject, QStringLiteral("一覧4"));
    const QString list = got.back().text;
    QString number;
    for (const QString& line : list.split(QStringLiteral("\r\n")))
        if (line.contains(QStringLiteral("Gmailのお知らせ")))
            number = QRegularExpression(QStringLiteral("^\\d+")).match(line).captured();
    for (const char* s : {"会社のお知らせ", "プロバイダのお知らせ"})
        EXPECT_TRUE(list.contains(QString::fromUtf8(s))) << list.toStdString();
    ASSERT_FALSE(number.isEmpty()) << list.toStdString();

    // The number written to the third account fetches the second's mail.
    deliver(2, message(phone, number));
    pass();
    got = sent();
    ASSERT_EQ(got.size(), 5u) << errors().join('\n').toStdString();
    EXPECT_TRUE(got.back().subject.contains(QStringLiteral("Gmailのお知らせ")))
        << got.back().subject.toStdString();
    pass();
    EXPECT_EQ(sent().size(), 5u);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
    // Both copies of the command are read in their own accounts.
    EXPECT_EQ(mail->unreadOnServer(QStringLiteral("会社")), 0);
    EXPECT_EQ(mail->unreadOnServer(QStringLiteral("Gmail")), 0);
}

TEST_F(SeveralAccountsTest, AnAccountsOwnCommandRuleTakesItsMailOnly) {
    // The provider's server signs nothing the phone sends: its mail gives no command, while
    // the same command written to the company's address does.
    profiles(servers.imapPort,
             QStringLiteral("command-check = dkim\nauthserv-id = mx.kelvo.test\n"));
    deliver(2, message(phone, QStringLiteral("G"), "<g-2@docomo.ne.jp>"));
    pass();
    EXPECT_TRUE(sent().empty());
    deliver(0, message(phone, QStringLiteral("G"), "<g-3@docomo.ne.jp>"));
    pass();
    ASSERT_EQ(sent().size(), 1u) << errors().join('\n').toStdString();
    EXPECT_TRUE(sent().front().subject.startsWith(QStringLiteral("一覧")));
}

// The cycle on the real clock and event loop, each account reached through a relay of its own
// that counts its connections, push on 会社 alone; the first pass after one interval.
class PushAccountTest : public LiveCycleTest<SeveralAccountsTest> {
protected:
    void SetUp() override {
        LiveCycleTest::SetUp();
        if (IsSkipped())
            return;
        profiles({relays[0].port(), relays[1].port(), relays[2].port()},
                 {QStringLiteral("push = yes\n"), QString(), QString()});
        watchProfiles();
    }
    bool arrived(const QString& subject) const { return subjects().contains(subject); }

    CuttingProxy relays[3] = {CuttingProxy{servers.imapPort}, CuttingProxy{servers.imapPort},
                              CuttingProxy{servers.imapPort}};
};

TEST_F(PushAccountTest, NewsOfOneAccountForwardsItsMailAtOnceWithoutSigningOnToTheOthers) {
    設定.メールチェック間隔 = QStringLiteral("0.1"); // 6 seconds
    const QString company = QStringLiteral("会社の急ぎ");
    const QString gmail = QStringLiteral("Gmailのお知らせ");
    QElapsedTimer delivered;
    double took = -1;
    int othersBefore = -1;
    runUntil(
        [&] {
            if (!delivered.isValid() && watch->見張り中()) {
                delivered.start();
                deliver(0, message("a@example.jp", company));
                deliver(1, message("b@example.jp", gmail));
            }
            if (took < 0 && arrived(company)) {
                took = static_cast<double>(delivered.elapsed()) / 1000.0;
                othersBefore = relays[1].connections() + relays[2].connections();
                EXPECT_FALSE(arrived(gmail));
            }
            return arrived(gmail);
        },
        40);
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 5);
    EXPECT_EQ(othersBefore, 0);
    // The others at their interval, which the news did not put off.
    EXPECT_EQ(subjects(), (QStringList{gmail, company}));
    EXPECT_GE(relays[2].connections(), 1);
    // The pass of the news and the interval's ran on the push connection.
    EXPECT_EQ(relays[0].connections(), 1);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
}

TEST_F(PushAccountTest, ListAskedOfOneAccountsNewsHoldsEveryAccountsMail) {
    設定.メールチェック間隔 = QStringLiteral("30");
    deliver(1, message("b@example.jp", QStringLiteral("Gmailのお知らせ")));
    deliver(2, message("c@example.jp", QStringLiteral("プロバイダのお知らせ")));
    bool asked = false;
    runUntil(
        [&] {
            if (!asked && watch->見張り中()) {
                asked = true;
                deliver(0, message(phone, QStringLiteral("G"), "<g-push@docomo.ne.jp>"));
            }
            return !sent().empty();
        },
        30);
    std::vector<Sent> got = sent();
    ASSERT_EQ(got.size(), 1u) << errors().join('\n').toStdString();
    EXPECT_EQ(got[0].subject, QStringLiteral("一覧3"));
    for (const char* s : {"Gmailのお知らせ", "プロバイダのお知らせ"})
        EXPECT_TRUE(got[0].text.contains(QString::fromUtf8(s))) << got[0].text.toStdString();
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();

    // The others' unread mail was listed, not forwarded: it comes at their next pass, once.
    状態.停止要求フラグ = 0;
    pass();
    pass();
    EXPECT_EQ(subjects(), (QStringList{"Gmailのお知らせ", "プロバイダのお知らせ", "一覧3"}))
        << window.monitor.join('\n').toStdString();
}

} // namespace
} // namespace kelvo::test
