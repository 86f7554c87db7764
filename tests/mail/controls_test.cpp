// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "memory_fixture.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    MemoryMail mail;
    MapiSession& mapSess = mail.mapSess;
    MapiMessages& mapMess = mail.mapMess;
};

TEST_F(ControlsTest, SessionIdIsZeroUntilSignOnAndNewForEachSignOn) {
    EXPECT_EQ(mapSess.SessionID(), 0);
    mapSess.SignOn();
    const int first = mapSess.SessionID();
    EXPECT_NE(first, 0);
    EXPECT_EQ(errorOf([&] { mapSess.SignOn(); }), mailerr::SessionExists);
    mapSess.SignOff();
    EXPECT_EQ(mapSess.SessionID(), 0);
    mapSess.SignOff(); // nothing open: nothing happens
    mapSess.SignOn();
    EXPECT_NE(mapSess.SessionID(), 0);
    EXPECT_NE(mapSess.SessionID(), first);
    EXPECT_EQ(mail.system.count("close"), 1);
}

TEST_F(ControlsTest, SignOnPassesProfileAndDownloadAndRefusesUnknownProfile) {
    mail.system.profiles << QStringLiteral("仕事");
    mapSess.setUserName(QStringLiteral("仕事"));
    mapSess.setDownLoadMail(true);
    mapSess.SignOn();
    mapSess.SignOff();
    mapSess.setUserName(QStringLiteral("ない"));
    EXPECT_EQ(errorOf([&] { mapSess.SignOn(); }), mailerr::ProfileMissing);
    EXPECT_EQ(mapSess.SessionID(), 0);
    EXPECT_EQ(mail.system.signOnProfiles, QStringList{QStringLiteral("仕事")});
    EXPECT_EQ(mail.system.signOnDownloads, std::vector<bool>{true});
}

TEST_F(ControlsTest, FetchListsNewestFirstAndUnreadOnlyWhenAsked) {
    mail.add("B", 20);
    mail.add("A", 10, "x", true);
    mail.add("C", 30);
    mail.add("D", 20); // same time as B, arrived later
    mail.signOn();
    mail.fetch(false);
    EXPECT_EQ(mail.subjects(), (QStringList{"C", "D", "B", "A"}));
    mail.fetch(true);
    EXPECT_EQ(mail.subjects(), (QStringList{"C", "D", "B"}));
}

TEST_F(ControlsTest, FetchMakesMessageZeroCurrentAndEmptyInboxHasNone) {
    mail.signOn();
    mail.fetch(false);
    EXPECT_EQ(mapMess.MsgCount(), 0);
    EXPECT_EQ(errorOf([&] { mapMess.MsgSubject(); }), mailerr::InvalidMessage);
    EXPECT_EQ(errorOf([&] { mapMess.setMsgIndex(0); }), mailerr::InvalidMessage);
    mail.add("A", 1);
    mail.fetch(false);
    EXPECT_EQ(mapMess.MsgIndex(), 0);
    EXPECT_EQ(mapMess.MsgSubject(), "A");
    EXPECT_EQ(errorOf([&] { mapMess.setMsgIndex(1); }), mailerr::InvalidMessage);
    EXPECT_EQ(errorOf([&] { mapMess.setMsgIndex(-1); }), mailerr::InvalidMessage);
}

TEST_F(ControlsTest, MessagePropertiesAndRecipients) {
    const QString id = mail.add("Hello", 5, "line1\r\nline2", false, {"a.pdf", "b.jpg"});
    mail.signOn();
    mail.fetch(false);
    mapMess.setMsgIndex(0);
    EXPECT_EQ(mapMess.MsgID(), id);
    EXPECT_EQ(mapMess.MsgOrigAddress(), "hello@example.jp");
    EXPECT_EQ(mapMess.MsgOrigDisplayName(), "Hello");
    EXPECT_EQ(mapMess.MsgDateReceived(), QDateTime(QDate(2026, 12, 1), QTime(9, 5)));
    EXPECT_EQ(mapMess.AttachmentCount(), 2);
    EXPECT_EQ(mapMess.RecipCount(), 2);
    EXPECT_EQ(mapMess.RecipIndex(), 0);
    EXPECT_EQ(mapMess.RecipType(), kRecipTo);
    EXPECT_EQ(mapMess.RecipAddress(), "me@example.jp");
    mapMess.setRecipIndex(1);
    EXPECT_EQ(mapMess.RecipType(), kRecipCc);
    EXPECT_EQ(mapMess.RecipDisplayName(), "Cc");
    EXPECT_EQ(errorOf([&] { mapMess.setRecipIndex(2); }), mailerr::InvalidRecipient);
    // Setting MsgIndex returns to the first recipient.
    mapMess.setMsgIndex(0);
    EXPECT_EQ(mapMess.RecipIndex(), 0);
    EXPECT_EQ(mapMess.MsgNoteText(), "line1\r\nline2");
    // A received message cannot be changed.
    EXPECT_EQ(errorOf([&] { mapMess.setMsgSubject("x"); }), mailerr::ReadOnly);
    EXPECT_EQ(errorOf([&] { mapMess.setRecipAddress("x@y"); }), mailerr::ReadOnly);
}

TEST_F(ControlsTest, MessageWithoutRecipientsReadsEmptyRecipient) {
    MailSummary s;
    s.subject = "bcc only";
    mail.system.addMessage(s);
    mail.signOn();
    mail.fetch(false);
    EXPECT_EQ(mapMess.RecipCount(), 0);
    EXPECT_EQ(mapMess.RecipDisplayName(), "");
    EXPECT_EQ(mapMess.RecipAddress(), "");
    EXPECT_EQ(errorOf([&] { mapMess.setRecipIndex(1); }), mailerr::InvalidRecipient);
}

TEST_F(ControlsTest, CallsThatReachTheMailboxNeedTheLiveSession) {
    mail.add("A", 1);
    EXPECT_EQ(errorOf([&] { mapMess.Fetch(); }), mailerr::NoSession);
    mapSess.SignOn();
    EXPECT_EQ(errorOf([&] { mapMess.Fetch(); }), mailerr::InvalidSession);
    mapMess.setSessionID(mapSess.SessionID());
    mapMess.Fetch();
    EXPECT_EQ(mapMess.MsgCount(), 1);
}

// Read marks.

TEST_F(ControlsTest, ReadingTheTextMarksReadButStoresOnlyAtSignOff) {
    const QString a = mail.add("A", 1);
    const QString b = mail.add("B", 2);
    mail.signOn();
    mail.fetch(true);
    mapMess.setMsgIndex(1); // A, the older
    mapMess.MsgNoteText();
    EXPECT_FALSE(mail.system.isSeen(a));
    EXPECT_FALSE(mapMess.ReadMarkStored());
    EXPECT_EQ(mail.system.count("setSeen"), 0);
    mapSess.SignOff();
    EXPECT_TRUE(mail.system.isSeen(a));
    EXPECT_FALSE(mail.system.isSeen(b));
    EXPECT_TRUE(mapMess.ReadMarkStored(a));
    EXPECT_FALSE(mapMess.ReadMarkStored(b));
    mapMess.setMsgIndex(1);
    EXPECT_TRUE(mapMess.ReadMarkStored());
}

TEST_F(ControlsTest, MarksAreStoredBeforeTheNextFetchAndReadMailIsNotFetchedAgain) {
    const QString a = mail.add("A", 1);
    mail.add("B", 2);
    mail.signOn();
    mail.fetch(true);
    mapMess.setMsgIndex(1);
    mapMess.MsgNoteText();
    mail.fetch(true);
    EXPECT_TRUE(mail.system.isSeen(a));
    EXPECT_EQ(mail.subjects(), QStringList{"B"});
    mail.fetch(false);
    EXPECT_EQ(mail.subjects(), (QStringList{"B", "A"}));
}

TEST_F(ControlsTest, MarksThatCannotBeStoredLeaveTheMessagesUnreadAndAreReported) {
    const QString a = mail.addAndRead("A");
    mail.system.failNext("setSeen", mailError(mailerr::TimedOut));
    mapSess.SignOff();
    EXPECT_EQ(mapSess.SessionID(), 0);
    EXPECT_FALSE(mail.system.isSeen(a));
    ASSERT_EQ(mail.reported.size(), 1u);
    EXPECT_EQ(mail.reported[0].number(), mailerr::MarksNotStored);
    EXPECT_TRUE(mail.reported[0].description().contains(mailErrorText(mailerr::TimedOut)));
    EXPECT_FALSE(mapMess.ReadMarkStored(a));
    // The message comes again in the next session.
    mail.signOn();
    mail.fetch(true);
    EXPECT_EQ(mail.subjects(), QStringList{"A"});
}

TEST(ControlsLifetimeTest, APassCutShortStoresNothing) {
    MemoryMailSystem system;
    MailSummary s;
    s.subject = "A";
    const QString a = system.addMessage(s, "t");
    {
        MemoryMailBackend backend(system);
        MapiSession mapSess(backend);
        MapiMessages mapMess(mapSess);
        mapSess.SignOn();
        mapMess.setSessionID(mapSess.SessionID());
        mapMess.setFetchUnreadOnly(true);
        mapMess.Fetch();
        mapMess.MsgNoteText();
        // The program ends here without signing off.
    }
    EXPECT_FALSE(system.isSeen(a));
    EXPECT_EQ(system.openSessions, 0);
}

TEST_F(ControlsTest, KeepUnreadCancelsAPendingMark) {
    const QString a = mail.addAndRead("A");
    mapMess.KeepUnread();
    mapSess.SignOff();
    EXPECT_FALSE(mail.system.isSeen(a));
    EXPECT_EQ(mail.system.count("setSeen"), 0);
    EXPECT_EQ(mail.system.count("clearSeen"), 0);
}

TEST_F(ControlsTest, KeepUnreadClearsAMarkStoredInThisSession) {
    // The forwarding signs off and on after every part it sends: the mark is stored after
    // part 1, and a failed part 2 must bring the message back.
    const QString a = mail.addAndRead("A");
    mapSess.SignOff();
    mail.signOn();
    EXPECT_TRUE(mail.system.isSeen(a));
    EXPECT_TRUE(mapMess.ReadMarkStored());
    mapMess.KeepUnread();
    EXPECT_FALSE(mail.system.isSeen(a));
    EXPECT_FALSE(mapMess.ReadMarkStored());
    mapSess.SignOff();
    EXPECT_FALSE(mail.system.isSeen(a));
}

TEST_F(ControlsTest, KeepUnreadWithoutSessionClearsAtTheNextChance) {
    const QString a = mail.addAndRead("A");
    mapSess.SignOff();
    mapMess.KeepUnread(); // signed off
    EXPECT_TRUE(mail.system.isSeen(a));
    mail.signOn();
    mail.fetch(true);
    EXPECT_FALSE(mail.system.isSeen(a));
    EXPECT_EQ(mail.subjects(), QStringList{"A"});
}

TEST_F(ControlsTest, KeepUnreadThatFailsIsTriedAgainAtSignOff) {
    const QString a = mail.addAndRead("A");
    mapSess.SignOff();
    mail.signOn();
    mail.system.failNext("clearSeen", mailError(mailerr::TimedOut));
    mapMess.KeepUnread();
    EXPECT_TRUE(mail.system.isSeen(a));
    mapSess.SignOff();
    EXPECT_FALSE(mail.system.isSeen(a));
    EXPECT_TRUE(mail.reported.empty());
}

TEST_F(ControlsTest, AMarkClearedByAnotherProgramIsNoLongerStored) {
    const QString a = mail.addAndRead("A");
    mapSess.SignOff();
    mail.system.find(a)->summary.seen = false; // the user marks it unread again
    mail.signOn();
    mail.fetch(true);
    EXPECT_FALSE(mapMess.ReadMarkStored());
    EXPECT_EQ(mapMess.MsgCount(), 1);
}

// Sign-off and sign-on in the middle of a message loop.

TEST_F(ControlsTest, SigningOffAndOnKeepsMessagesIndexAndOutgoing) {
    mail.add("A", 1, "text A");
    mail.add("B", 2, "text B");
    mail.signOn();
    mail.fetch(true);
    mapMess.setMsgIndex(1);
    mapMess.Compose();
    mapMess.setMsgSubject("out");
    mapSess.SignOff();
    // Not signed on: what was fetched is still readable; the mailbox is not.
    EXPECT_EQ(mapMess.MsgSubject(), "out");
    EXPECT_EQ(mapMess.MsgIndex(), -1);
    mapMess.setMsgIndex(1);
    EXPECT_EQ(mapMess.MsgSubject(), "A");
    EXPECT_EQ(errorOf([&] { mapMess.MsgNoteText(); }), mailerr::NoSession);
    mail.signOn();
    EXPECT_EQ(mapMess.MsgIndex(), 1);
    EXPECT_EQ(mapMess.MsgNoteText(), "text A");
    mapMess.setMsgIndex(-1);
    EXPECT_EQ(mapMess.MsgSubject(), "out");
}

// Outgoing mail.

TEST_F(ControlsTest, ComposeAndSendToAnAddressThenTheFormerMessageIsCurrent) {
    mail.add("A", 1);
    mail.add("B", 2);
    mail.signOn();
    mail.fetch(true);
    mapMess.setMsgIndex(1);
    mapMess.Compose();
    EXPECT_EQ(mapMess.MsgIndex(), -1);
    EXPECT_EQ(mapMess.RecipCount(), 0);
    EXPECT_EQ(mapMess.AttachmentCount(), 0);
    mapMess.setMsgSubject("件名");
    mapMess.setMsgNoteText("本文\r\n");
    mapMess.setRecipAddress("phone@example.jp");
    mapMess.setRecipDisplayName("A");
    EXPECT_EQ(mapMess.RecipCount(), 1);
    EXPECT_EQ(mapMess.MsgSubject(), "件名");
    mapMess.Send();
    ASSERT_EQ(mail.system.outbox.size(), 1u);
    const OutgoingMail& sent = mail.system.outbox[0].mail;
    EXPECT_EQ(sent.subject, "件名");
    EXPECT_EQ(sent.noteText, "本文\r\n");
    EXPECT_EQ(sent.recipient.address, "phone@example.jp");
    EXPECT_EQ(sent.recipient.displayName, "A");
    EXPECT_TRUE(sent.forwardOf.isEmpty());
    EXPECT_EQ(mapMess.MsgIndex(), 1);
    EXPECT_EQ(mapMess.MsgSubject(), "A");
    // Sent: nothing outgoing remains.
    EXPECT_EQ(errorOf([&] { mapMess.setMsgIndex(-1); }), mailerr::InvalidMessage);
}

TEST_F(ControlsTest, ASecondComposeKeepsTheMessageToReturnTo) {
    mail.add("A", 1);
    mail.signOn();
    mail.fetch(true);
    mapMess.Compose();
    mapMess.Compose();
    mapMess.setRecipAddress("x@example.jp");
    mapMess.Send();
    EXPECT_EQ(mapMess.MsgIndex(), 0);
}

TEST_F(ControlsTest, ForwardCarriesTheAttachmentsOfTheOriginal) {
    const QString id = mail.add("A", 1, "t", false, {"a.pdf", "b.jpg"});
    mail.signOn();
    mail.fetch(true);
    mapMess.Forward();
    EXPECT_EQ(mapMess.AttachmentCount(), 2);
    EXPECT_EQ(mapMess.MsgSubject(), "A");
    mapMess.setRecipAddress("phone@example.jp");
    mapMess.Send();
    ASSERT_EQ(mail.system.outbox.size(), 1u);
    EXPECT_EQ(mail.system.outbox[0].mail.forwardOf, id);
    EXPECT_EQ(mail.system.outbox[0].attachmentNames, (QStringList{"a.pdf", "b.jpg"}));
}

TEST_F(ControlsTest, SendWithOnlyADisplayNameTakesAnAddressOrResolvesTheName) {
    mail.system.addressBook.insert("携帯", "phone@example.jp");
    mail.signOn();
    mapMess.Compose();
    mapMess.setRecipDisplayName("direct@example.jp");
    mapMess.Send();
    mapMess.Compose();
    mapMess.setRecipDisplayName("携帯");
    mapMess.Send();
    mapMess.Compose();
    mapMess.setRecipDisplayName("誰か");
    EXPECT_EQ(errorOf([&] { mapMess.Send(); }), mailerr::UnknownRecipient);
    mapMess.Compose();
    EXPECT_EQ(errorOf([&] { mapMess.Send(); }), mailerr::NoRecipient);
    ASSERT_EQ(mail.system.outbox.size(), 2u);
    EXPECT_EQ(mail.system.outbox[0].mail.recipient.address, "direct@example.jp");
    EXPECT_EQ(mail.system.outbox[1].mail.recipient.address, "phone@example.jp");
    EXPECT_EQ(mail.system.outbox[1].mail.recipient.displayName, "携帯");
}

TEST_F(ControlsTest, ResolveNameFindsNamesAndAddressesAndRaisesForUnknownNames) {
    mail.system.addressBook.insert("山田太郎", "Taro@Example.jp");
    mail.signOn();
    mapMess.Compose();
    mapMess.setRecipDisplayName("山田太郎");
    mapMess.ResolveName();
    EXPECT_EQ(mapMess.RecipAddress(), "Taro@Example.jp");
    mapMess.setRecipDisplayName("taro@example.JP");
    mapMess.ResolveName();
    EXPECT_EQ(mapMess.RecipDisplayName(), "山田太郎");
    mapMess.setRecipDisplayName("山田");
    const int number = errorOf([&] { mapMess.ResolveName(); });
    EXPECT_GT(number, 0);
    EXPECT_EQ(number, mailerr::UnknownRecipient);
    mail.system.hasAddressBook = false;
    mapMess.setRecipDisplayName("山田太郎");
    EXPECT_EQ(errorOf([&] { mapMess.ResolveName(); }), mailerr::NoAddressBook);
}

TEST_F(ControlsTest, AFailedSendKeepsTheOutgoingMessageCurrent) {
    mail.add("A", 1);
    mail.signOn();
    mail.fetch(true);
    mapMess.Compose();
    mapMess.setRecipAddress("x@example.jp");
    mail.system.failNext("send", mailError(mailerr::SendRefused, "550"));
    EXPECT_EQ(errorOf([&] { mapMess.Send(); }), mailerr::SendRefused);
    EXPECT_EQ(mapMess.MsgIndex(), -1);
    mapMess.Send();
    EXPECT_EQ(mail.system.outbox.size(), 1u);
}

TEST_F(ControlsTest, ErrorDescriptionsAreJapaneseFollowedByTheDetailWithoutSecrets) {
    const KelvoError e = mailError(mailerr::ConnectionRefused, "Connection refused");
    EXPECT_EQ(e.description(),
              "サーバーに接続できません（接続が拒否されました）：Connection refused");
    EXPECT_EQ(mailError(mailerr::TimedOut).description(), "サーバーの応答がタイムアウトしました");
    EXPECT_EQ(redacted("user secret1 said secret1", {"secret1", ""}), "user **** said ****");
}

} // namespace
} // namespace kelvo::test
