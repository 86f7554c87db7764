// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forward_mail.h"

#include "common/cp932.h"

#include "forward_fixture.h"

namespace kelvo::test {
namespace {

class ForwardMailTest : public ForwardTest {
protected:
    ForwardMailTest() { system.profiles << QStringLiteral("Microsoft Outlook"); }

    // Forwards the message with this id as the pass would, with it current.
    std::optional<KelvoError> forward(const QString& id) {
        if (mapSess.SessionID() == 0) {
            EXPECT_TRUE(beginPass());
        }
        // Every message, the ones already forwarded too.
        mapMess.setFetchUnreadOnly(false);
        mapMess.Fetch();
        selectMessage(id);
        return メール転送(ctx);
    }
    const OutgoingMail& sent(size_t n = 0) const { return system.outbox.at(n).mail; }
    QString header(const QString& extra = QString()) const {
        return "From山田太郎\r\n7日09時00分\r\n<taro@example.jp>\r\n" + extra + " \r\n";
    }
};

TEST_F(ForwardMailTest, BodyExampleKeepsOrRemovesLineBreaks) {
    設定.改行フラグ = "0";
    forward(add("件名", 0, "A\r\n\r\nB"));
    設定.改行フラグ = "1";
    forward(add("件名", 0, "A\r\n\r\nB"));
    ASSERT_EQ(system.outbox.size(), 2u);
    EXPECT_EQ(sent(0).noteText, header() + "\r\nA\r\nB\r\n");
    EXPECT_EQ(sent(1).noteText, header() + "AB");
}

TEST_F(ForwardMailTest, UnsplitMailGoesToThePhoneWithTheSenderAsName) {
    const QString id = add("ご案内", 0);
    EXPECT_FALSE(forward(id).has_value());
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(sent().subject, "ご案内");
    EXPECT_EQ(sent().recipient.address, kPhone);
    EXPECT_EQ(sent().recipient.displayName, "山田太郎");
    EXPECT_TRUE(sent().forwardOf.isEmpty());
    EXPECT_EQ(monitorMessages(), QStringList{"件名「ご案内」 を転送終了"});
    EXPECT_EQ(状態.転送メール数, 1);
    EXPECT_EQ(window.panels.value(kPanel転送メール数), "転送メール数 :1");
    EXPECT_EQ(window.widenExtents.size(), 1u);
    // Read by the forward: the next unread fetch no longer lists it once signed off.
    ログオフ(ctx);
    EXPECT_TRUE(system.isSeen(id));
}

TEST_F(ForwardMailTest, WaitComesBeforeTheLineExceptAfterPartOne) {
    設定.自動分割フラグ = "0";
    std::vector<int> linesAtWait;
    clock.onWait = [&] { linesAtWait.push_back(window.モニター行数()); };
    forward(add("短い", 0, "x"));
    EXPECT_EQ(linesAtWait, std::vector<int>{0});
    linesAtWait.clear();
    window.monitor.clear();
    QStringList body;
    for (int i = 0; i < 10; ++i)
        body << QString(100, u'a');
    forward(add("長い", 0, body.join("\r\n")));
    // The first part: line, then wait; the second and third: wait, then line.
    EXPECT_EQ(linesAtWait, (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(clock.waits(), 4);
}

TEST_F(ForwardMailTest, AttachmentsGoAlongOnlyWhenAsked) {
    const QString id = system.addMessage(summary("写真"), "見てね", {"a.jpg", "b.jpg"});
    forward(id);
    設定.添付フラグ = "0";
    forward(id);
    ASSERT_EQ(system.outbox.size(), 2u);
    EXPECT_EQ(system.outbox[0].attachmentNames, (QStringList{"a.jpg", "b.jpg"}));
    EXPECT_EQ(sent(0).forwardOf, id);
    EXPECT_TRUE(system.outbox[1].attachmentNames.isEmpty());
    EXPECT_TRUE(sent(1).forwardOf.isEmpty());
    for (size_t n = 0; n < 2; ++n)
        EXPECT_EQ(sent(n).noteText, header("添付ファイル数：2\r\n") + "見てね");
}

TEST_F(ForwardMailTest, HeaderLinesInTheirOrder) {
    MailSummary s =
        summary("会議", 0, "taro@example.jp", "山田太郎",
                {{kRecipTo, "a@x.jp", "A"}, {kRecipCc, "c@x.jp", "C"}, {kRecipTo, "b@x.jp", "B"}});
    s.received = QDateTime(QDate(2026, 12, 6), QTime(9, 5));
    const QString id = system.addMessage(s, "本文", {"a.pdf"});
    設定.宛先フラグ = "1";
    設定.CCフラグ = "1";
    forward(id);
    EXPECT_EQ(sent().noteText, "From山田太郎\r\n6日09時05分\r\n<taro@example.jp>\r\n 宛先: A; B\r\n"
                               " CC: C\r\n添付ファイル数：1\r\n \r\n本文");
    設定.差出人フラグ = "0";
    設定.宛先フラグ = "0";
    forward(id);
    EXPECT_EQ(sent(1).noteText,
              "From山田太郎\r\n6日09時05分\r\n CC: C\r\n添付ファイル数：1\r\n \r\n本文");
}

TEST_F(ForwardMailTest, NoToRecipientsLeavesTheBareToLabel) {
    const QString id = system.addMessage(summary("BCCで"), "本文");
    設定.宛先フラグ = "1";
    設定.CCフラグ = "1"; // no CC recipients: no CC line
    forward(id);
    EXPECT_EQ(sent().noteText, header(" 宛先: ") + "本文");
}

TEST_F(ForwardMailTest, RecipientListJoinsNamesOfOneKind) {
    MailSummary s;
    s.subject = "x";
    s.received = clock.now();
    s.recipients = {{kRecipTo, "a@x.jp", "A"}, {kRecipCc, "c@x.jp", "C"}, {kRecipTo, "b@x.jp", ""}};
    const QString id = system.addMessage(s, "");
    beginPass();
    selectMessage(id);
    EXPECT_EQ(受信者一覧(ctx, kRecipTo), "A; \r\n");
    EXPECT_EQ(受信者一覧(ctx, kRecipCc), "C\r\n");
    EXPECT_EQ(受信者一覧(ctx, kRecipBcc), "");
}

TEST_F(ForwardMailTest, MultiAccountRulesMatchTheFirstRecipient) {
    auto withRecipients = [&](std::vector<MailRecipient> r) {
        return system.addMessage(summary("宛先", 0, "taro@example.jp", "山田太郎", std::move(r)),
                                 "本文");
    };
    設定.アカウントフィルタ = "1";
    設定.アカウント1 = "0";
    設定.宛先1 = "work@example.jp";
    設定.転送1 = "one@docomo.ne.jp";
    設定.アカウント2 = "1";
    設定.宛先2 = "work@example.jp";
    設定.転送2 = "two@docomo.ne.jp";
    設定.アカウント3 = "1";
    設定.宛先3 = "仕事用";
    設定.転送3 = "three@docomo.ne.jp";

    forward(withRecipients({{kRecipTo, "work@example.jp", "仕事用"}})); // rule 1 is off: rule 2
    forward(withRecipients({{kRecipTo, "home@example.jp", "仕事用"}})); // by name: rule 3
    forward(withRecipients({{kRecipTo, "home@example.jp", "家"},
                            {kRecipTo, "work@example.jp", "仕事用"}})); // only the first counts
    forward(withRecipients({}));                                        // no recipients
    設定.アカウント1 = "1";
    設定.宛先1 = ""; // an empty account address fits nobody, not even a nameless recipient
    forward(withRecipients({{kRecipTo, "x@example.jp", ""}}));
    設定.アカウントフィルタ = "0";
    forward(withRecipients({{kRecipTo, "work@example.jp", "仕事用"}}));

    QStringList to;
    for (const auto& m : system.outbox)
        to << m.mail.recipient.address;
    EXPECT_EQ(to, (QStringList{"two@docomo.ne.jp", "three@docomo.ne.jp", kPhone, kPhone, kPhone,
                               kPhone}));
}

TEST_F(ForwardMailTest, NamedProfileSetsOnlyTheNameAndSignsOffAndOnAfterEachSend) {
    設定.プロファイル使用フラグ = "1";
    設定.自動分割フラグ = "0";
    設定.分割文字数 = "30";
    forward(add("プロファイル", 0, "1111111111\r\n2222222222\r\n3333333333\r\n4444444444"));
    ASSERT_GE(system.outbox.size(), 2u);
    for (const auto& m : system.outbox) {
        EXPECT_EQ(m.mail.recipient.address, kPhone); // taken from the name, an address
        EXPECT_EQ(m.profile, "Microsoft Outlook");
    }
    EXPECT_EQ(system.count("signOn"), 1 + static_cast<int>(system.outbox.size()));
    EXPECT_EQ(system.count("close"), static_cast<int>(system.outbox.size()));
    EXPECT_TRUE(errorLines().isEmpty());
}

class SplitTest : public ForwardMailTest {
protected:
    SplitTest() {
        設定.自動分割フラグ = "0";
        設定.差出人フラグ = "0";
    }
    // A header of exactly 60 bytes and ten lines of 100 bytes.
    QString tenLines(const QString& subject = "お知らせの件名です") {
        QStringList body;
        for (int i = 0; i < 10; ++i)
            body << QString(100, QChar(u'0' + i));
        return add(subject, 0, body.join("\r\n"), "taro@example.jp", QString(38, u'N'));
    }
};

TEST_F(SplitTest, LimitExampleGivesThreeNumberedParts) {
    forward(tenLines());
    EXPECT_EQ(sentSubjects(),
              (QStringList{"1/3_お知らせの件名です", "2/3_お知らせの件", "3/3_お知らせの件"}));
    const QString header = "From" + QString(38, u'N') + "\r\n7日09時00分\r\n \r\n";
    ASSERT_EQ(バイト長(header), 60);
    EXPECT_EQ(sent(0).noteText, header + QString(100, u'0') + QString(100, u'1') +
                                    QString(100, u'2') + QString(100, u'3'));
    EXPECT_EQ(sent(1).noteText,
              QString(100, u'4') + QString(100, u'5') + QString(100, u'6') + QString(100, u'7'));
    EXPECT_EQ(sent(2).noteText, QString(100, u'8') + QString(100, u'9'));
    EXPECT_EQ(monitorMessages(), (QStringList{"件名「お知らせの件名です」の1/3を転送終了",
                                              "件名「お知らせの件名です」の2/3を転送終了",
                                              "件名「お知らせの件名です」の3/3を転送終了"}));
    EXPECT_EQ(状態.転送メール数, 3);
    EXPECT_EQ(window.panelHistory.value(kPanel転送メール数),
              (QStringList{"転送メール数 :1", "転送メール数 :2", "転送メール数 :3"}));
}

TEST_F(SplitTest, PartsKeepLineBreaksInsideAndOnlyPartOneCarriesAttachments) {
    設定.改行フラグ = "0";
    const MailSummary s = summary("添付", 0, "", QString(38, u'N'));
    QStringList body;
    for (int i = 0; i < 10; ++i)
        body << QString(100, QChar(u'0' + i));
    const QString id = system.addMessage(s, body.join("\r\n"), {"a.bin"});
    forward(id);
    ASSERT_EQ(system.outbox.size(), 3u);
    EXPECT_EQ(sent(0).forwardOf, id);
    EXPECT_TRUE(sent(1).forwardOf.isEmpty());
    EXPECT_TRUE(sent(2).forwardOf.isEmpty());
    EXPECT_EQ(sent(2).noteText, QString(100, u'8') + "\r\n" + QString(100, u'9'));
}

TEST_F(SplitTest, MaxPartsTwoSendsTwoNumberedOfTwo) {
    設定.最大分割数 = "2";
    forward(tenLines("短い"));
    EXPECT_EQ(sentSubjects(), (QStringList{"1/2_短い", "2/2_短い"}));
}

TEST_F(SplitTest, FirstLineLongerThanTheBudgetGoesAloneIntoPartOne) {
    forward(add("長い行", 0, QString(800, u'x') + "\r\nnext\r\nlast"));
    ASSERT_EQ(system.outbox.size(), 2u);
    EXPECT_TRUE(sent(0).noteText.endsWith(QString(800, u'x')));
    EXPECT_EQ(sent(1).noteText, "nextlast");
}

TEST_F(SplitTest, LongMailsAreSplitIntoMaxPartsOrSentWhole) {
    QStringList many;
    for (int i = 0; i < 5000; ++i)
        many << QStringLiteral("行%1").arg(i);
    const QString longLines = many.join("\r\n");
    QStringList wide;
    for (int i = 0; i < 2000; ++i)
        wide << QString(48, u'あ');
    const QString hundredThousand = wide.join("\r\n") + "\r\n"; // 196,000 bytes
    ASSERT_EQ(hundredThousand.size(), 100000);
    forward(add("行数", 0, longLines));
    forward(add("文字数", 0, hundredThousand));
    EXPECT_EQ(system.outbox.size(), 10u);
    EXPECT_EQ(sentSubjects().at(4), "5/5_行数");
    EXPECT_EQ(sentSubjects().at(9), "5/5_文字数");
    EXPECT_TRUE(errorLines().isEmpty());

    設定.自動分割フラグ = "1";
    system.outbox.clear();
    forward(add("行数", 0, longLines));
    forward(add("文字数", 0, hundredThousand));
    ASSERT_EQ(system.outbox.size(), 2u);
    EXPECT_EQ(sent(0).subject, "行数");
    EXPECT_TRUE(sent(0).noteText.endsWith("行4998行4999"));
    EXPECT_EQ(sent(1).noteText.count(u'あ'), 96000);
    EXPECT_TRUE(errorLines().isEmpty());
}

TEST_F(SplitTest, OneLineOfAHundredThousandCharactersIsOnePart) {
    forward(add("一行", 0, QString(100000, u'z')));
    EXPECT_EQ(sentSubjects(), QStringList{"1/1_一行"});
}

TEST_F(SplitTest, BodyOfOnlyEmptyLinesIsSentUnsplit) {
    QString empties;
    for (int i = 0; i < 400; ++i)
        empties += "\r\n";
    forward(add("空行だけ", 0, empties));
    EXPECT_EQ(sentSubjects(), QStringList{"空行だけ"});
}

TEST_F(SplitTest, FailureEndsTheForwardAndKeepsWhatWasSent) {
    system.onCall = [&](const QString& call) {
        if (call == "send" && system.outbox.size() == 1)
            throw mailError(mailerr::SendRefused, "452");
    };
    const auto failure = forward(tenLines());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->number(), mailerr::SendRefused);
    EXPECT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(状態.転送メール数, 1);
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].endsWith("(32106)」"));
}

TEST_F(ForwardMailTest, LineBreaksInSubjectAndNameNeverReachTheHeaders) {
    const QString id = add("件名\r\nBcc: victim@example.com", 0, "本文", "evil@example.com",
                           "悪\r\nX-Injected: 1");
    // Nor the forwarded header's lines, where the phone would read them as lines of their own.
    設定.宛先フラグ = "1";
    設定.CCフラグ = "1";
    system.find(id)->summary.recipients = {{kRecipTo, "to@example.jp", "宛\n先"},
                                           {kRecipCc, "cc@example.jp", "写\r\nし"}};
    forward(id);
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(sent().subject, "件名  Bcc: victim@example.com");
    EXPECT_EQ(sent().recipient.displayName, "悪  X-Injected: 1");
    EXPECT_EQ(sent().recipient.address, kPhone);
    const QStringList header = sent().noteText.split("\r\n").mid(0, 5);
    EXPECT_EQ(header[0], "From悪  X-Injected: 1");
    EXPECT_EQ(header[3], " 宛先: 宛 先");
    EXPECT_EQ(header[4], " CC: 写  し");
    for (const QString& line : window.monitor)
        EXPECT_FALSE(line.contains('\n') || line.contains('\r'));
}

} // namespace
} // namespace kelvo::test
