// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/cp932.h"
#include "engine/subject_list.h"
#include "settings/ini_file.h"
#include "temp_dir.h"

#include "forward_fixture.h"

#include <QFile>

namespace kelvo::test {
namespace {

class SubjectListTest : public ForwardTest {
protected:
    SubjectListTest() { 状態.返信アドレス = kPhone; }

    // n messages, the newest first in the Inbox: number 1 is "件名n".
    QStringList addMany(int n) {
        QStringList ids;
        for (int i = 1; i <= n; ++i)
            ids.prepend(add(QStringLiteral("件名%1").arg(i), i / 60.0, "本文",
                            QStringLiteral("s%1@example.jp").arg(i),
                            QStringLiteral("差出人%1").arg(i)));
        return ids;
    }
    QString listed(int number) const {
        return INI読込(kリストセクション, リストキー(number), "(none)", ctx.リストファイルパス);
    }
    void signOnAndList() {
        ASSERT_TRUE(beginPass());
        一覧取得(ctx);
    }
    void request(const QString& words) {
        状態.要求番号 = words.split(' ');
        ASSERT_TRUE(beginPass());
        特定メール取得(ctx);
    }
    QString addWithId(const QString& id, const QString& subject) {
        MailSummary s = summary(subject, 0, "a@example.jp", "A");
        s.id = id;
        return system.addMessage(s, "本文 " + subject);
    }
};

TEST_F(SubjectListTest, ThreeMessagesMakeOneListMailAndThreeKeys) {
    const QStringList ids = addMany(3);
    signOnAndList();
    ASSERT_EQ(system.outbox.size(), 1u);
    const OutgoingMail& mail = system.outbox[0].mail;
    EXPECT_EQ(mail.subject, "一覧3");
    EXPECT_EQ(mail.noteText, "1件名3\r\n差出人3\r\n2件名2\r\n差出人2\r\n3件名1\r\n差出人1\r\n");
    EXPECT_EQ(mail.recipient.address, kPhone);
    EXPECT_EQ(mail.recipient.displayName, "一覧");
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(listed(n), ids[n - 1]);
    EXPECT_EQ(listed(4), "(none)");
    EXPECT_EQ(monitorMessages(), QStringList{"一覧3     を送信完了"});
    EXPECT_EQ(window.panels.value(kPanel転送メール数), "転送メール数 :1");
    EXPECT_EQ(clock.waits(), 1);
    // The requests sign on without downloading and list read mail too.
    EXPECT_FALSE(mapSess.DownLoadMail());
}

TEST_F(SubjectListTest, LineBreaksInSubjectsAndNamesMakeNoEntriesOfTheirOwn) {
    system.addMessage(summary("件名\r\n2偽", 0, "a@example.jp", "名\n前"), "本文");
    signOnAndList();
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(system.outbox[0].mail.noteText, "1件名  2偽\r\n名 前\r\n");
}

TEST_F(SubjectListTest, FortyMessagesListThirtyAndNameForty) {
    addMany(40);
    system.inbox[5].summary.seen = true; // read mail is listed as well
    設定.分割文字数 = "1000";
    signOnAndList();
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(system.outbox[0].mail.subject, "一覧40");
    EXPECT_TRUE(system.outbox[0].mail.noteText.startsWith("1件名40\r\n"));
    EXPECT_TRUE(system.outbox[0].mail.noteText.endsWith("30件名11\r\n差出人11\r\n"));
    EXPECT_NE(listed(30), "(none)");
    EXPECT_EQ(listed(31), "(none)");
}

TEST_F(SubjectListTest, SubjectIsCutToTheLineWidthInCharacters) {
    add("あいうえおかきくけこさしす", 0, "x", "a@x.jp", "名前");
    設定.端末1行文字数 = "5";
    signOnAndList();
    EXPECT_EQ(system.outbox[0].mail.noteText, "1あいうえお\r\n名前\r\n");
}

TEST_F(SubjectListTest, PagesCloseAtTheLimitAndAnEmptyLastPageIsSent) {
    設定.端末1行文字数 = "20";
    設定.分割文字数 = "100"; // 200 bytes a list mail
    for (int i = 0; i < 10; ++i)
        add(QString(30, QChar(u'a' + i)), i / 60.0, "x", "a@x.jp",
            QString(20, u'n')); // each entry measures 40 bytes
    signOnAndList();
    ASSERT_EQ(system.outbox.size(), 3u);
    EXPECT_EQ(system.outbox[0].mail.noteText.count("\r\n"), 10);
    EXPECT_EQ(system.outbox[1].mail.noteText.count("\r\n"), 10);
    EXPECT_TRUE(system.outbox[1].mail.noteText.startsWith("6"));
    EXPECT_EQ(system.outbox[2].mail.noteText, "");
    for (const auto& m : system.outbox)
        EXPECT_EQ(m.mail.subject, "一覧10");
    EXPECT_EQ(monitorMessages().size(), 3);
    EXPECT_EQ(状態.転送メール数, 3);
}

TEST_F(SubjectListTest, EmptyInboxSendsOneEmptyList) {
    signOnAndList();
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(system.outbox[0].mail.subject, "一覧0");
    EXPECT_EQ(system.outbox[0].mail.noteText, "");
}

TEST_F(SubjectListTest, NamedProfileSendsToTheReplyAddressAsName) {
    system.profiles << "Microsoft Outlook";
    設定.プロファイル使用フラグ = "1";
    add("一", 0);
    signOnAndList();
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(system.outbox[0].mail.recipient.address, kPhone);
    EXPECT_EQ(system.count("signOn"), 2); // signed off and on after the send
}

TEST_F(SubjectListTest, ListFileIsCp932WithCrLfAndKeepsOlderKeysAndLines) {
    writeAll(ctx.リストファイルパス,
             toCp932(QString::fromUtf16(u"; 手で書いた行\r\n[件名リスト]\r\n件名１=old1\r\n"
                                        u"件名４=old4\r\n[ほか]\r\nx=y\r\n"))
                 .value());
    const QStringList ids = addMany(2);
    signOnAndList();
    const QByteArray bytes = readAll(ctx.リストファイルパス);
    EXPECT_EQ(fromCp932(bytes), QString::fromUtf16(u"; 手で書いた行\r\n[件名リスト]\r\n件名１=") +
                                    ids[0] + QString::fromUtf16(u"\r\n件名４=old4\r\n件名２=") +
                                    ids[1] + QString::fromUtf16(u"\r\n[ほか]\r\nx=y\r\n"));
    EXPECT_TRUE(bytes.contains(toCp932(QString::fromUtf16(u"件名２")).value()));
    EXPECT_EQ(listed(4), "old4");
}

TEST_F(SubjectListTest, NewListFileReadsBackWithThePrimitives) {
    const QStringList ids = addMany(12);
    signOnAndList();
    const QByteArray bytes = readAll(ctx.リストファイルパス);
    EXPECT_TRUE(bytes.startsWith(toCp932(QString::fromUtf16(u"[件名リスト]\r\n件名１=")).value()));
    EXPECT_FALSE(bytes.contains("\n\n"));
    EXPECT_EQ(bytes.count("\r\n"), 13);
    EXPECT_EQ(
        INI読込(kリストセクション, QString::fromUtf16(u"件名１２"), "", ctx.リストファイルパス),
        ids[11]);
}

TEST_F(SubjectListTest, UnwritableListFileSendsNoListAndKeepsTheFile) {
    writeAll(ctx.リストファイルパス, "[件名リスト]\r\n");
    QFile::setPermissions(ctx.リストファイルパス, QFile::ReadOwner | QFile::ReadGroup);
    addMany(2);
    signOnAndList();
    EXPECT_TRUE(system.outbox.empty());
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_EQ(readAll(ctx.リストファイルパス), "[件名リスト]\r\n");
}

TEST_F(SubjectListTest, IdentifierThatWouldBreakTheFileIsRefused) {
    addWithId("a\r\n[その他]\r\nメールアドレス=evil@example.com", "悪い");
    signOnAndList();
    EXPECT_TRUE(system.outbox.empty());
    EXPECT_EQ(errorLines().size(), 1);
    EXPECT_FALSE(QFile::exists(ctx.リストファイルパス));
}

TEST_F(SubjectListTest, TooManyPagesEndTheListBeforeAnythingIsSent) {
    設定.分割文字数 = "0"; // every entry closes a page
    設定.リスト取得数 = "300";
    addMany(250);
    signOnAndList();
    EXPECT_TRUE(system.outbox.empty());
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].endsWith("(9)」"));
}

TEST_F(SubjectListTest, RequestForwardsTheListedMessageReadOrNot) {
    const QStringList ids = addMany(4);
    system.find(ids[2])->summary.seen = true;
    signOnAndList();
    system.outbox.clear();
    window.monitor.clear();
    request("3");
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(system.outbox[0].mail.subject, "件名2");
    EXPECT_EQ(monitorMessages(),
              (QStringList{"要求より件名「件名2」 を転送します。", "件名「件名2」 を転送終了"}));
}

TEST_F(SubjectListTest, RequestWordsAreLookedUpByTheirValue) {
    const QStringList ids = addMany(4);
    signOnAndList();
    INI書込(kリストセクション, QString::fromUtf16(u"件名２．５"), ids[0], ctx.リストファイルパス);
    system.outbox.clear();
    request("03 3.0");
    EXPECT_EQ(sentSubjects(), (QStringList{"件名2", "件名2"})); // asked twice: sent twice
    system.outbox.clear();
    request("2.5");
    EXPECT_EQ(sentSubjects(), QStringList{"件名4"});
    system.outbox.clear();
    request("7"); // a key list.ini lacks finds nothing
    EXPECT_TRUE(system.outbox.empty());
    EXPECT_TRUE(errorLines().isEmpty());
}

TEST_F(SubjectListTest, MessagesGoInInboxOrderNotRequestOrder) {
    addMany(3);
    signOnAndList();
    system.outbox.clear();
    request("3 1");
    EXPECT_EQ(sentSubjects(), (QStringList{"件名3", "件名1"}));
}

TEST_F(SubjectListTest, MissingKeysMatchNoMessageNamedZero) {
    addWithId("0", "ゼロ");
    request("5");
    EXPECT_TRUE(system.outbox.empty());
}

TEST_F(SubjectListTest, LargeIdentifiersAreComparedAsTexts) {
    addWithId("70001", "大きい番号");
    addWithId("4465", "70001を16ビットにした番号");
    addWithId("99999", "もっと大きい");
    signOnAndList();
    system.outbox.clear();
    request("1 2 3");
    QStringList sent = sentSubjects();
    sent.sort();
    QStringList all{"大きい番号", "70001を16ビットにした番号", "もっと大きい"};
    all.sort();
    EXPECT_EQ(sent, all);
    system.outbox.clear();
    INI書込(kリストセクション, QString::fromUtf16(u"件名９"), "070001", ctx.リストファイルパス);
    request("9"); // texts, not numbers: "070001" is not "70001"
    EXPECT_TRUE(system.outbox.empty());
}

TEST_F(SubjectListTest, AllTwentyOnePlacesAreMatchedAndMoreIsAnError) {
    const QStringList ids = addMany(21);
    signOnAndList();
    system.outbox.clear();
    QStringList words;
    for (int i = 0; i < 20; ++i)
        words << "1";
    words << "21";
    request(words.join(' '));
    EXPECT_EQ(system.outbox.size(), 21u);
    EXPECT_EQ(system.outbox.back().mail.subject, "件名1"); // number 21, the oldest, comes last
    EXPECT_EQ(std::count_if(system.outbox.begin(), system.outbox.end(),
                            [](const auto& m) { return m.mail.subject == "件名21"; }),
              20);

    system.outbox.clear();
    window.monitor.clear();
    words << "2";
    request(words.join(' '));
    EXPECT_TRUE(system.outbox.empty());
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].endsWith("(9)」"));
}

TEST_F(SubjectListTest, FailedForwardDoesNotStopTheOthers) {
    addMany(3);
    signOnAndList();
    system.outbox.clear();
    system.failNext("send", mailError(mailerr::SendRefused, "550"));
    request("1 2 3");
    EXPECT_EQ(system.outbox.size(), 2u);
    EXPECT_EQ(errorLines().size(), 1);
}

TEST_F(SubjectListTest, PhoneConversationOverTheMemoryMailbox) {
    add("一つ目", -3);
    add("二つ目", -2);
    pass();
    EXPECT_EQ(system.outbox.size(), 2u);
    clock.advance(60);
    command("G");
    pass();
    ASSERT_EQ(system.outbox.size(), 3u);
    EXPECT_EQ(system.outbox[2].mail.subject, "一覧3");
    EXPECT_EQ(system.outbox[2].mail.recipient.address, kPhone);
    clock.advance(60);
    command("2");
    pass();
    ASSERT_EQ(system.outbox.size(), 4u);
    // Number 2 of the list: the newest is the "G" itself, then 二つ目.
    EXPECT_EQ(system.outbox[3].mail.subject, "二つ目");
    EXPECT_EQ(状態.メール要求フラグ, 0);
    clock.advance(60);
    pass();
    EXPECT_EQ(system.outbox.size(), 4u);
    EXPECT_TRUE(errorLines().isEmpty());
}

} // namespace
} // namespace kelvo::test
