// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/session.h"

#include "mail/core/mail_error.h"
#include "memory_engine.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

const QString kConnecting = QStringLiteral("サーバーへ接続中・・・");
const QString kConnected = QStringLiteral("接続終了");
const QString kDialLine = QStringLiteral("サーバーに接続");

class SessionTest : public ::testing::Test, protected MemoryEngine<FakeWindow> {
protected:
    SessionTest() {
        設定.プロファイル使用フラグ = "0";
        設定.プロファイル名 = "Microsoft Outlook";
        設定.ダイヤルアップフラグ = "0";
        system.profiles << "Microsoft Outlook"
                        << "仕事";
    }

    int dialLines() const {
        int n = 0;
        for (const QString& line : window.monitor)
            n += line.endsWith(kDialLine) ? 1 : 0;
        return n;
    }
};

TEST_F(SessionTest, SignOnOpensMarksAndHandsTheSessionOn) {
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_NE(mapSess.SessionID(), 0);
    EXPECT_EQ(mapMess.SessionID(), mapSess.SessionID());
    EXPECT_TRUE(mapSess.NewSession());
    EXPECT_TRUE(mapSess.DownLoadMail());
    EXPECT_FALSE(mapSess.LogonUI());
    EXPECT_EQ(system.signOnDownloads, std::vector<bool>{true});
    EXPECT_EQ(window.panelHistory.value(kPanel次の接続まで),
              (QStringList{kConnecting, kConnected}));
    EXPECT_TRUE(window.monitor.isEmpty());
}

// Only some mails of a split forward went out when Kelvo ended: the sign-off must not store
// the message's read mark, or the rest would never reach the phone.
TEST_F(SessionTest, ASignOffThatEndsAForwardCutShortKeepsItsMessageUnread) {
    ReadMarks& marks = mapSess.readMarks();
    for (const char* id : {"cut", "whole", "phone"})
        marks.markRead(QString::fromLatin1(id));
    状態.転送.送信済み.insert(QStringLiteral("cut"),
                              送信記録{QStringLiteral("p"), {"1", "2", "3"}, 1});
    状態.転送.送信済み.insert(QStringLiteral("whole"), 送信記録{QStringLiteral("p"), {"1"}, 1});
    終了時ログオフ(ctx);
    EXPECT_FALSE(marks.isPending(QStringLiteral("cut")));
    EXPECT_TRUE(marks.isPending(QStringLiteral("whole")));
    EXPECT_TRUE(marks.isPending(QStringLiteral("phone")));
}

TEST_F(SessionTest, ProfileUseOffNeverWritesUserName) {
    system.profiles << "前の値";
    mapSess.setUserName("前の値");
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(mapSess.UserName(), "前の値");
    設定.プロファイル使用フラグ = "true"; // only "1" is on
    ログオフ(ctx);
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(mapSess.UserName(), "前の値");
}

TEST_F(SessionTest, ProfileUseOnSelectsTheNamedProfile) {
    設定.プロファイル使用フラグ = "1";
    設定.プロファイル名 = "仕事";
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(mapSess.UserName(), "仕事");
    EXPECT_EQ(system.signOnProfiles, QStringList{"仕事"});
}

TEST_F(SessionTest, SecondSignOnReusesTheSession) {
    設定.ダイヤルアップフラグ = "1";
    EXPECT_TRUE(ログオン(ctx));
    const int id = mapSess.SessionID();
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(mapSess.SessionID(), id);
    EXPECT_EQ(mapMess.SessionID(), id);
    EXPECT_EQ(system.count("signOn"), 1);
    EXPECT_EQ(dialLines(), 1);
}

TEST_F(SessionTest, DialUpAddsTheLineOnEveryRealSignOnWithoutWidening) {
    設定.ダイヤルアップフラグ = "1";
    EXPECT_TRUE(ログオン(ctx));
    ログオフ(ctx);
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(dialLines(), 2);
    EXPECT_EQ(window.monitor.size(), 2);
    EXPECT_TRUE(window.widenExtents.empty());
}

TEST_F(SessionTest, NoDialUpLineWithoutDialUp) {
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(dialLines(), 0);
}

TEST_F(SessionTest, RefusedSignOnGivesOneErrorLineAndFalse) {
    system.failNext("signOn", mailError(mailerr::LoginFailed, "AUTHENTICATE failed"));
    設定.ダイヤルアップフラグ = "1";
    EXPECT_FALSE(ログオン(ctx));
    ASSERT_EQ(window.monitor.size(), 1);
    EXPECT_TRUE(window.monitor[0].contains(
        "エラー！「サインオンが拒否されました：AUTHENTICATE failed(32003)」"));
    EXPECT_EQ(window.panels.value(kPanel次の接続まで), kConnecting);
    EXPECT_EQ(mapSess.SessionID(), 0);
    EXPECT_FALSE(mapSess.NewSession());
    EXPECT_EQ(mapMess.SessionID(), 0);
    // The next attempt is a fresh one.
    EXPECT_TRUE(ログオン(ctx));
}

TEST_F(SessionTest, MissingProfileIsASignOnError) {
    設定.プロファイル使用フラグ = "1";
    設定.プロファイル名 = "ない";
    EXPECT_FALSE(ログオン(ctx));
    ASSERT_EQ(window.monitor.size(), 1);
    EXPECT_TRUE(window.monitor[0].contains(QString::number(mailerr::ProfileMissing)));
}

TEST_F(SessionTest, SignOffClosesTheSessionThisProgramOpened) {
    system.addMessage(MailSummary{}, "t");
    ASSERT_TRUE(ログオン(ctx));
    mapMess.setFetchUnreadOnly(true);
    mapMess.Fetch();
    mapMess.MsgNoteText();
    ログオフ(ctx);
    EXPECT_EQ(mapSess.SessionID(), 0);
    EXPECT_FALSE(mapSess.NewSession());
    EXPECT_EQ(system.count("close"), 1);
    EXPECT_EQ(system.count("setSeen"), 1);
    // Again: nothing is open any more.
    ログオフ(ctx);
    EXPECT_EQ(system.calls.size(), 5); // signOn fetch noteText setSeen close
}

TEST_F(SessionTest, SignOffWithoutSessionMakesNoCall) {
    ログオフ(ctx);
    ログオフ(mapSess);
    EXPECT_TRUE(system.calls.isEmpty());
    EXPECT_FALSE(mapSess.NewSession());
}

TEST_F(SessionTest, ASessionOpenedElsewhereIsUsedButLeftOpen) {
    mapSess.SignOn();
    const int id = mapSess.SessionID();
    EXPECT_TRUE(ログオン(ctx));
    EXPECT_EQ(mapMess.SessionID(), id);
    EXPECT_FALSE(mapSess.NewSession());
    ログオフ(ctx);
    EXPECT_EQ(mapSess.SessionID(), id);
    EXPECT_EQ(system.count("close"), 0);
}

TEST_F(SessionTest, SignOffAndOnInsideAMessageLoopKeepsTheLoopGoing) {
    MailSummary a;
    a.subject = "A";
    a.received = QDateTime(QDate(2026, 12, 1), QTime(9, 0));
    MailSummary b = a;
    b.subject = "B";
    b.received = a.received.addSecs(60);
    system.addMessage(a, "text A");
    system.addMessage(b, "text B");
    設定.プロファイル使用フラグ = "1";
    ASSERT_TRUE(ログオン(ctx));
    mapMess.setFetchUnreadOnly(true);
    mapMess.Fetch();
    QStringList seen;
    for (int i = 0; i < mapMess.MsgCount(); ++i) {
        mapMess.setMsgIndex(i);
        const QString text = mapMess.MsgNoteText();
        mapMess.Compose();
        mapMess.setMsgNoteText(text);
        mapMess.setRecipDisplayName("phone@example.jp");
        mapMess.Send();
        ログオフ(ctx);
        ログオン(ctx);
        seen << mapMess.MsgSubject() + ":" + text;
    }
    EXPECT_EQ(seen, (QStringList{"B:text B", "A:text A"}));
    EXPECT_EQ(system.outbox.size(), 2u);
    EXPECT_EQ(system.count("signOn"), 3);
    EXPECT_TRUE(system.isSeen(system.inbox[0].summary.id));
    EXPECT_TRUE(system.isSeen(system.inbox[1].summary.id));
}

} // namespace
} // namespace kelvo::test
