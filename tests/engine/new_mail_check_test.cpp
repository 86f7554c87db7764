// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forward_mail.h"
#include "engine/new_mail_check.h"

#include "forward_fixture.h"

namespace kelvo::test {
namespace {

class MailCheckTest : public ForwardTest {
protected:
    // メールチェック alone over a fresh pass.
    void check() {
        ASSERT_TRUE(beginPass());
        メールチェック(ctx);
    }
    void expectNoRequest() {
        EXPECT_EQ(状態.一覧要求フラグ, 0);
        EXPECT_EQ(状態.メール要求フラグ, 0);
        EXPECT_TRUE(状態.転送.終了要求.isEmpty());
    }
};

TEST_F(MailCheckTest, ListCommandInAnyOfItsFourForms) {
    for (const char* g : {"g", "G", "ｇ", "Ｇ"}) {
        状態 = RunState();
        system.inbox.clear();
        const QString id = command(QString::fromUtf8(g));
        check();
        EXPECT_EQ(状態.一覧要求フラグ, 1) << g;
        EXPECT_EQ(状態.メール要求フラグ, 0) << g;
        EXPECT_EQ(状態.返信アドレス, kPhone);
        EXPECT_EQ(状態.要求番号, QStringList{QString::fromUtf8(g)});
        ログオフ(ctx);
        EXPECT_TRUE(system.isSeen(id)) << g;
    }
}

TEST_F(MailCheckTest, NearMissesOfTheListCommandSetNothing) {
    const QString a = command("G ");
    const QString b = command("GG");
    command(""); // no command at all
    check();
    expectNoRequest();
    EXPECT_TRUE(状態.返信アドレス.isEmpty());
    ログオフ(ctx);
    EXPECT_FALSE(system.isSeen(a));
    EXPECT_FALSE(system.isSeen(b));
}

TEST_F(MailCheckTest, NumbersMakeAMailRequestWithinOneToHundred) {
    struct Case {
        const char* subject;
        int request;
    };
    for (const Case& c :
         {Case{"2 7", 1}, Case{"2.5", 1}, Case{"1", 1}, Case{"100", 1}, Case{"3abc", 1},
          Case{"0", 0}, Case{"101", 0}, Case{"100.5", 0}, Case{"2  7", 0}, Case{" 3", 0},
          Case{"3 ", 0}, Case{"-3", 0}, Case{"３", 0}, Case{"2 7 0", 0}}) {
        状態 = RunState();
        system.inbox.clear();
        const QString id = command(c.subject);
        check();
        EXPECT_EQ(状態.メール要求フラグ, c.request) << c.subject;
        EXPECT_EQ(状態.一覧要求フラグ, 0);
        EXPECT_EQ(状態.要求番号, QString(c.subject).split(' ')) << c.subject;
        EXPECT_EQ(状態.返信アドレス, c.request ? kPhone : QString()) << c.subject;
        ログオフ(ctx);
        EXPECT_EQ(system.isSeen(id), c.request == 1) << c.subject;
    }
}

TEST_F(MailCheckTest, CommandsCountOnlyFromThePhoneAddress) {
    add("Z", 0, "", "other@example.jp", kPhone); // the phone's address as a mere name
    add("3", 0);
    // Two From or Subject fields: which is the sender and the command depends on the reader.
    system.find(command("G"))->summary.repeatedFromOrSubject = true;
    check();
    expectNoRequest();
    // Letter case does not matter, in the local part either.
    for (const QString address :
         {"phone@DOCOMO.ne.jp", "PHONE@DOCOMO.NE.JP", "Phone@Docomo.Ne.Jp"}) {
        状態 = RunState();
        system.inbox.clear();
        system.find(command("G"))->summary.origAddress = address;
        check();
        EXPECT_EQ(状態.一覧要求フラグ, 1) << address.toStdString();
    }
}

TEST_F(MailCheckTest, WithoutAPhoneAddressNothingIsACommand) {
    設定.メールアドレス.clear();
    add("G", 0, "", "", "");
    check();
    expectNoRequest();
}

TEST_F(MailCheckTest, FirstErrorStopsWithOneLineAndKeepsWhatWasSet) {
    command("G");
    system.failNext("noteText", mailError(mailerr::Failure, "broken"));
    check();
    EXPECT_EQ(状態.一覧要求フラグ, 1);
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].endsWith("(32002)」"));
}

TEST_F(MailCheckTest, FinishIsRaisedOnlyOnceTheMarkIsStored) {
    for (const char* z : {"z", "ｚ", "Ｚ"}) {
        状態.転送.終了要求.clear();
        command(QString::fromUtf8(z));
    }
    const QString id = command("Z");
    system.failNext("setSeen", mailError(mailerr::Failure, "read-only mailbox"));
    pass();
    EXPECT_EQ(状態.終了フラグ, 0);
    EXPECT_FALSE(system.isSeen(id));
    EXPECT_EQ(reported.size(), 1u);
    // The next pass sees the command again, and this time the mark is stored.
    clock.advance(60);
    pass();
    EXPECT_EQ(状態.終了フラグ, 1);
    EXPECT_TRUE(system.isSeen(id));
    EXPECT_TRUE(状態.転送.終了要求.isEmpty());
}

TEST_F(MailCheckTest, StaleFinishIsMarkedReadAndReported) {
    const QString stale = command("Z", -30 - 1.0 / 60);
    pass();
    EXPECT_EQ(状態.終了フラグ, 0);
    EXPECT_TRUE(system.isSeen(stale));
    EXPECT_EQ(monitorMessages(), QStringList{"端末より「Z」の古いメールを受信→無視"});
    // Exactly 30 minutes old still counts.
    clock.advance(60);
    command("Z", -30);
    pass();
    EXPECT_EQ(状態.終了フラグ, 1);
}

// Commands the profile's rule refuses change nothing an accepted one set, are marked read and
// each get their line; a phone mail that is no command is left alone as before.
TEST_F(MailCheckTest, RefusedCommandsActNotAndAreReadWithTheirLine) {
    system.commandPolicy = {SenderCheck::Dkim, "mx.kelvo.jp", "１２３４"};
    const QString pass = "mx.kelvo.jp; dkim=pass header.d=docomo.ne.jp";
    auto signed_ = [&](const QString& subject, const QString& field, const QString& text) {
        const QString id = add(subject, 0, text, kPhone, kPhone);
        system.find(id)->summary.authenticationResults = QStringList{field};
        return id;
    };
    const QString other = command("hello");
    signed_("3", pass, " 1234 \r\nよろしく");
    const QStringList refused{signed_("G", "mx.kelvo.jp; dkim=fail header.d=docomo.ne.jp", "1234"),
                              command("Z"), signed_("Z", pass, "\r\n123")};
    check();
    EXPECT_EQ(状態.メール要求フラグ, 1);
    EXPECT_EQ(状態.要求番号, QStringList{"3"});
    EXPECT_EQ(状態.一覧要求フラグ, 0);
    EXPECT_TRUE(状態.転送.終了要求.isEmpty());
    EXPECT_EQ(
        monitorMessages(),
        (QStringList{"端末からのコマンドを拒否しました（送信者の確認に失敗しました）：件名「G」",
                     "端末からのコマンドを拒否しました（送信者を確認できません）：件名「Z」",
                     "端末からのコマンドを拒否しました（暗証番号が違います）：件名「Z」"}));
    ログオフ(ctx);
    for (const QString& id : refused)
        EXPECT_TRUE(system.isSeen(id));
    EXPECT_FALSE(system.isSeen(other));
    EXPECT_TRUE(system.outbox.empty());
}

TEST_F(MailCheckTest, FailedFetchActsOnNoCommandOfAnEarlierList) {
    command("3");
    ASSERT_TRUE(beginPass());
    // The fetch of the next pass fails: the list in hand is the last pass's.
    clock.advance(60);
    状態.チェック開始時刻 = clock.now();
    system.failNext("fetch", mailError(mailerr::TimedOut));
    EXPECT_FALSE(未読メール取得(ctx));
    command("Z");
    メールチェック(ctx);
    自動転送(ctx);
    expectNoRequest();
    EXPECT_TRUE(system.outbox.empty());
}

class AutoForwardTest : public ForwardTest {
protected:
    // 自動転送 over a fresh pass, signed off at the end.
    void forwardPass() {
        ASSERT_TRUE(beginPass());
        自動転送(ctx);
        ログオフ(ctx);
        転送状態保存(ctx);
    }
};

TEST_F(AutoForwardTest, MailFromThePhoneIsNeverForwarded) {
    add("携帯から", 0, "x", kPhone, "名前");
    add("名前が携帯", 0, "x", "x@example.jp", kPhone);
    add("ドメインが大文字", 0, "x", "phone@DOCOMO.NE.JP", "名前");
    add("全部大文字", 0, "x", "PHONE@DOCOMO.NE.JP", "名前");
    add("名前が大文字", 0, "x", "x@example.jp", "Phone@Docomo.Ne.Jp");
    // A mail naming two senders is ordinary mail, whoever one of them is.
    system.find(add("差出人が二つ", 0, "x", kPhone, "名前"))->summary.repeatedFromOrSubject = true;
    add("普通", 0);
    forwardPass();
    QStringList sent = sentSubjects();
    sent.sort();
    EXPECT_EQ(sent, (QStringList{"差出人が二つ", "普通"}));
    EXPECT_EQ(状態.新着メール数, 2);
}

TEST_F(AutoForwardTest, FirstPassGoesBackExactlyThirtyMinutes) {
    const QString edge = add("ちょうど30分前", -30);
    const QString old = add("30分と1秒前", -30 - 1.0 / 60);
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"ちょうど30分前"});
    EXPECT_TRUE(system.isSeen(edge));
    EXPECT_FALSE(system.isSeen(old)); // old unread mail stays unforwarded
    clock.advance(60);
    forwardPass();
    EXPECT_EQ(system.outbox.size(), 1u);
}

TEST_F(AutoForwardTest, MailArrivingDuringAPassIsForwardedAtTheNext) {
    add("最初", 0);
    // Arrives while the first pass forwards, after its fetch.
    system.onCall = [&](const QString& call) {
        if (call == "send" && system.inbox.size() == 1)
            add("途中で着信", 0);
    };
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"最初"});
    // The default interval: the next pass begins 30 minutes after the end of this one.
    clock.advance(30 * 60 + 5);
    forwardPass();
    EXPECT_EQ(sentSubjects(), (QStringList{"最初", "途中で着信"}));
}

TEST_F(AutoForwardTest, LongIntervalLosesNothingThatArrivedSinceTheLastPass) {
    forwardPass();
    clock.advance(60 * 60);
    add("一時間前", 0);
    clock.advance(60 * 60);
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"一時間前"});
    // A new start goes back to the last pass that forwarded everything, as the state file
    // beside list.ini keeps it, but never more than a day.
    clock.advance(60 * 60);
    add("停止中に着信", 0);
    clock.advance(60 * 60);
    状態 = RunState();
    転送状態リセット(ctx);
    forwardPass();
    EXPECT_EQ(sentSubjects(), (QStringList{"一時間前", "停止中に着信"}));
    clock.advance(30 * 60 * 60);
    add("一日以上前", -25 * 60);
    add("一日以内", -23 * 60);
    状態 = RunState();
    転送状態リセット(ctx);
    forwardPass();
    EXPECT_EQ(sentSubjects().last(), "一日以内");
    EXPECT_EQ(system.outbox.size(), 3u);
}

TEST_F(AutoForwardTest, MessageReceivedExactlyThirtyMinutesBeforeTheStartPasses) {
    // The check start carries milliseconds, received times never do.
    clock.advance(0.75);
    const QDateTime start = clock.now();
    add("ちょうど", 0);
    system.inbox.back().summary.received =
        start.addSecs(-30 * 60).addMSecs(-start.time().msec());
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"ちょうど"});
}

TEST_F(AutoForwardTest, BounceAndErrorSubjectsAreSkipped) {
    for (const char* s : {"配信不能のお知らせ", "Returned mail: see transcript", "Host unknown",
                          "送信エラー", "メール送信時のｴﾗｰ"})
        add(QString::fromUtf8(s), 0);
    for (const char* s : {"エラーのご報告", "送信しました", "returned MAIL"})
        add(QString::fromUtf8(s), 0);
    forwardPass();
    QStringList sent = sentSubjects();
    sent.sort();
    QStringList expected{"エラーのご報告", "送信しました", "returned MAIL"};
    expected.sort();
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(状態.新着メール数, 3);
}

TEST_F(AutoForwardTest, SubjectFilterIsOneTextAndEmptySkipsNothing) {
    add("【広告】セール", 0);
    add("広告 のお知らせ", 0);
    forwardPass();
    EXPECT_EQ(system.outbox.size(), 2u);
    system.outbox.clear();
    設定.件名フィルタ = "【広告】";
    add("【広告】また", 0);
    add("広告でない", 0);
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"広告でない"});
}

TEST_F(AutoForwardTest, AddressBookRuleInBothModesAndFilteredMailIsCounted) {
    system.addressBook.insert("知人", "friend@example.jp");
    add("知人から", 0, "x", "friend@example.jp", "知人");
    add("アドレスだけ一致", 0, "x", "friend@example.jp", "FRIEND@example.jp");
    add("他人から", 0, "x", "stranger@example.jp", "他人");
    設定.アドレス帳フィルタ = "1";
    設定.アドレス帳モード = "1";
    forwardPass();
    QStringList sent = sentSubjects();
    sent.sort();
    EXPECT_EQ(sent, (QStringList{"アドレスだけ一致", "知人から"}));
    EXPECT_EQ(状態.新着メール数, 3);
    EXPECT_EQ(window.panels.value(kPanel新着メール数), "新着メール数 :3");
    // The composed look-up message is never sent.
    EXPECT_EQ(system.outbox.size(), 2u);

    system.outbox.clear();
    for (auto& m : system.inbox)
        m.summary.seen = false;
    設定.アドレス帳モード = "0";
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"他人から"});

    system.outbox.clear();
    設定.アドレス帳モード = "2"; // no mode: nothing is skipped
    for (auto& m : system.inbox)
        m.summary.seen = false;
    forwardPass();
    EXPECT_EQ(system.outbox.size(), 3u);
}

TEST_F(AutoForwardTest, WithoutAnAddressBookEverySenderIsUnknown) {
    system.hasAddressBook = false;
    add("誰か", 0);
    設定.アドレス帳フィルタ = "1";
    設定.アドレス帳モード = "1";
    forwardPass();
    EXPECT_TRUE(system.outbox.empty());
    EXPECT_EQ(状態.新着メール数, 1);
}

TEST_F(AutoForwardTest, SenderListInBothModesWithEmptyEntriesTakingPart) {
    設定.差出人フィルタ = "1";
    設定.差出人フィルタ1 = "boss@example.jp";
    設定.差出人フィルタ3 = "友達";
    add("上司", 0, "x", "boss@example.jp", "上司");
    add("友達", 0, "x", "tomo@example.jp", "友達");
    add("名無し", 0, "x", "anon@example.jp", "");
    add("他人", 0, "x", "x@example.jp", "他人");
    設定.差出人モード = "1";
    forwardPass();
    QStringList sent = sentSubjects();
    sent.sort();
    QStringList listed{"上司", "友達", "名無し"}; // the empty name matches an empty entry
    listed.sort();
    EXPECT_EQ(sent, listed);
    EXPECT_EQ(状態.新着メール数, 4);

    system.outbox.clear();
    for (auto& m : system.inbox)
        m.summary.seen = false;
    設定.差出人モード = "0";
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"他人"});
}

TEST_F(AutoForwardTest, StopRequestForwardsNothingMoreButStillCounts) {
    add("一", 0);
    add("二", 0);
    add("三", 0);
    system.onCall = [&](const QString& call) {
        if (call == "send")
            状態.停止要求フラグ = 1;
    };
    forwardPass();
    EXPECT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(状態.新着メール数, 3);
}

TEST_F(AutoForwardTest, OutageOfAnyLengthIsNoTryAndTheMailGoesOutAfterIt) {
    const QString id = add("大事", -29);
    // Connection failures and answers that say "later" are the server's, not the mail's.
    for (int error : {mailerr::ConnectionRefused, mailerr::SendDeferred, mailerr::TimedOut,
                      mailerr::ConnectionLost, mailerr::ConnectionRefused}) {
        system.failNext("send", mailError(error), true);
        forwardPass();
        EXPECT_FALSE(system.isSeen(id));
        // The next pass comes after more than 30 minutes; the message is tried all the same.
        clock.advance(31 * 60);
    }
    system.heal("send");
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"大事"});
    EXPECT_TRUE(system.isSeen(id));
    EXPECT_EQ(errorLines().size(), 5);
    EXPECT_EQ(状態.新着メール数, 1); // one mail, however often it was tried
    EXPECT_FALSE(状態.転送.送信失敗回数.contains(id));
}

TEST_F(AutoForwardTest, ForwardedMailIsMarkedReadBeforeThePassEnds) {
    const QString a = add("一", 0);
    const QString b = add("二", 0);
    ASSERT_TRUE(beginPass());
    自動転送(ctx);
    // Not signed off yet: a connection lost now must not send them again.
    EXPECT_TRUE(system.isSeen(a));
    EXPECT_TRUE(system.isSeen(b));
}

TEST_F(AutoForwardTest, SendFailingFourTimesIsGivenUpAfterTheThird) {
    const QString id = add("届かない\r\n件名", 0);
    system.failNext("send", mailError(mailerr::SendRefused, "550"), true);
    for (int i = 0; i < 4; ++i) {
        forwardPass();
        clock.advance(60);
    }
    EXPECT_EQ(system.count("send"), 3);
    EXPECT_FALSE(system.isSeen(id));
    const QStringList errors = errorLines();
    ASSERT_EQ(errors.size(), 4);
    EXPECT_EQ(errors[3], "エラー！「件名「届かない  件名」は3回転送できなかったため、未読のまま"
                         "残し、これ以上転送しません(32106)」");
    // A given-up message does not hold later passes back.
    EXPECT_EQ(状態.転送.締切基準, 状態.チェック開始時刻);
}

TEST_F(AutoForwardTest, FailedPassKeepsItsReachForTheNext) {
    add("一", -10);
    system.failNext("send", mailError(mailerr::ConnectionRefused), true);
    forwardPass();
    const QDateTime reach = 状態.チェック開始時刻.addSecs(-30 * 60);
    EXPECT_EQ(状態.転送.締切基準, reach);
    clock.advance(45 * 60);
    add("二", -44); // arrived during the failed pass's interval
    system.heal("send");
    forwardPass();
    EXPECT_EQ(system.outbox.size(), 2u);
    EXPECT_EQ(状態.転送.締切基準, 状態.チェック開始時刻);
}

TEST_F(AutoForwardTest, RetrySendsOnlyThePartsNotYetSent) {
    設定.自動分割フラグ = "0";
    設定.分割文字数 = "20";
    add("分割", 0, "1111111111111111111111111\r\n2222222222222222222222222\r\n33333333333333");
    auto refuseSecondPartOnce = [&] {
        system.onCall = [&](const QString& call) {
            if (call == "send" && system.outbox.size() == 1) {
                system.onCall = nullptr;
                throw mailError(mailerr::SendRefused, "550");
            }
        };
    };
    refuseSecondPartOnce();
    forwardPass();
    clock.advance(60);
    forwardPass();
    EXPECT_EQ(sentSubjects(), (QStringList{"1/3_分割", "2/3_分割", "3/3_分割"}));
    EXPECT_EQ(状態.転送メール数, 3);

    // Other settings between the tries make other parts: all of them go out again.
    system.outbox.clear();
    add("分割二", 0, "1111111111111111111111111\r\n2222222222222222222222222\r\n33333333333333");
    refuseSecondPartOnce();
    forwardPass();
    設定.分割文字数 = "30";
    clock.advance(60);
    forwardPass();
    EXPECT_EQ(sentSubjects(), (QStringList{"1/3_分割二", "1/2_分割二", "2/2_分割二"}));
}

TEST_F(AutoForwardTest, NewStartGivesAGivenUpMessageItsTriesAgain) {
    add("送れない", 0);
    system.failNext("send", KelvoError(3001, "送信できません"), true);
    for (int i = 0; i < 4; ++i) {
        forwardPass();
        clock.advance(60);
    }
    EXPECT_EQ(system.count("send"), 3);
    system.heal("send");
    forwardPass();
    EXPECT_TRUE(system.outbox.empty()); // given up while this start lasts
    転送状態リセット(ctx);
    forwardPass();
    EXPECT_EQ(sentSubjects(), QStringList{"送れない"});
}

} // namespace
} // namespace kelvo::test
