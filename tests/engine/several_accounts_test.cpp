// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Three accounts as one Inbox, each a user of the private Dovecot: one that cannot be reached,
// the phone's list and numbers across all of them, and a command that reached two.

#include "engine/forward_state.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"
#include "server_pass_fixture.h"

#include <QRegularExpression>
#include <QTcpServer>
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
        QString text;
        const QString names[] = {QStringLiteral("会社"), QStringLiteral("Gmail"),
                                 QStringLiteral("プロバイダ")};
        for (int i = 0; i < 3; ++i)
            text += QStringLiteral("[%1]\nstore = imap://127.0.0.1:%2\nstarttls = no\n"
                                   "user = %3\npassword = %4\ntimeout = 5\n")
                        .arg(names[i])
                        .arg(i == 2 ? providerPort : servers.imapPort)
                        .arg(account(i), servers.password) +
                    (i == 2 ? providerLines : QString());
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

} // namespace
} // namespace kelvo::test
