// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "kelvo_instance.h"
#include "self_test_fixture.h"
#include "settings/phone_dialog.h"
#include "settings/settings_dialogs.h"
#include "shell/shell_cycle_window.h"

#include <QLineEdit>

namespace kelvo::test {
namespace {

const QString kQuestion = QStringLiteral("メール転送のテストを行います。");
const QString kNoConnection = QStringLiteral(
    "メールソフトへの接続失敗！\r\nメールソフトのMAPIの設定が正しいことを確認してください");
const QString kDone =
    QStringLiteral("転送処理は完了しました。\r\n"
                   "送信処理が自動で実行できたこと　及び転送メールの内容が正しいこと　\r\n"
                   "が確認できればOKです。");
const QString kShortAddress =
    QStringLiteral("転送先のメールアドレスが、正しくありません。\r\n入力してください。");
const QString kNoAtSign =
    QStringLiteral("転送先のメールアドレスにアットマーク「 @ 」 が入力されていません。\r\n"
                   "正しいメールアドレスを入力してください。");

QString forwardQuestion(const QString& subject, const QString& address) {
    return QStringLiteral("テストで件名「") + subject +
           QStringLiteral("」のﾒｯｾｰｼﾞを\r\nﾒｰﾙｱﾄﾞﾚｽ「") + address +
           QStringLiteral("」へ転送します。");
}
QString stopped(int number) {
    return QStringLiteral("メール転送のテストを中止しました。\r\nエラー！「") +
           mailErrorText(number);
}

class ForwardTestDialog : public SelfTestTest {
protected:
    // An older unread message and a newer one already read: the read one comes first.
    void twoMessages() {
        add(QStringLiteral("古い未読"), -60);
        const QString id = add(QStringLiteral("既読の新しい"), -5, QStringLiteral("本文です"));
        system.find(id)->summary.seen = true;
    }
};

TEST_F(ForwardTestDialog, AnsweredNoIsCancelledBeforeTheMailSystemIsTouched) {
    twoMessages();
    answer({MsgResult::No});
    run(dialog.opメール転送);
    EXPECT_EQ(texts(), (QStringList{kQuestion, kCancelled}));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    EXPECT_TRUE(system.calls.isEmpty());
    EXPECT_TRUE(panel().isEmpty());
}

TEST_F(ForwardTestDialog, ForwardsMessageZeroReadOrUnreadToThePhone) {
    twoMessages();
    run(dialog.opメール転送);
    EXPECT_EQ(
        texts(),
        (QStringList{kQuestion, forwardQuestion(QStringLiteral("既読の新しい"), kPhone), kDone}));
    expectButtons({MsgButtons::YesNo, MsgButtons::YesNo, MsgButtons::Ok});
    EXPECT_EQ(panel().mid(0, 3), (QStringList{QStringLiteral("受信ﾄﾚｲへ接続中・・・"),
                                              QStringLiteral("受信ﾄﾚｲ に ｱｸｾｽ成功"),
                                              QStringLiteral("受信ﾄﾚｲ のﾒｯｾｰｼﾞ取得成功 ")}));
    // Signed on without downloading, and without any dialog.
    EXPECT_EQ(system.signOnDownloads, std::vector<bool>{false});
    EXPECT_FALSE(mapSess.LogonUI());
    ASSERT_EQ(system.outbox.size(), 1u);
    EXPECT_EQ(system.outbox[0].mail.subject, QStringLiteral("既読の新しい"));
    EXPECT_EQ(system.outbox[0].mail.recipient.address, kPhone);
    EXPECT_TRUE(system.outbox[0].mail.noteText.contains(QStringLiteral("本文です")));
    EXPECT_EQ(window.panels.value(kPanel転送メール数), QStringLiteral("転送メール数 :1"));
    // The session stays open and marked for the next sign-off.
    EXPECT_NE(mapSess.SessionID(), 0);
    EXPECT_TRUE(mapSess.NewSession());
    EXPECT_TRUE(errorLines().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(testWindow.calls.contains(QStringLiteral("address box")));
    EXPECT_FALSE(testWindow.calls.contains(QStringLiteral("phone dialog")));
    expectStillRunning();
}

TEST_F(ForwardTestDialog, NamedProfileIsUsedForTheSignOn) {
    設定.プロファイル使用フラグ = QStringLiteral("1");
    設定.プロファイル名 = QStringLiteral("仕事用");
    system.profiles << 設定.プロファイル名;
    twoMessages();
    run(dialog.opメール転送);
    ASSERT_FALSE(system.signOnProfiles.isEmpty());
    EXPECT_EQ(system.signOnProfiles.first(), QStringLiteral("仕事用"));
    EXPECT_EQ(texts().last(), kDone);
}

TEST_F(ForwardTestDialog, AfterTheSignOnTestTheOpenSessionIsUsed) {
    twoMessages();
    dialog.op新着メールチェック->setChecked(true);
    dialog.buttonテスト->click();
    run(dialog.opメール転送);
    EXPECT_EQ(system.count(QStringLiteral("signOn")), 1);
    EXPECT_EQ(texts().last(), kDone);
}

TEST_F(ForwardTestDialog, AnsweredNoAtTheSubjectSendsNothing) {
    twoMessages();
    answer({MsgResult::Yes, MsgResult::No});
    run(dialog.opメール転送);
    EXPECT_EQ(texts(),
              (QStringList{kQuestion, forwardQuestion(QStringLiteral("既読の新しい"), kPhone)}));
    EXPECT_TRUE(system.outbox.empty());
    EXPECT_TRUE(testWindow.calls.isEmpty());
    EXPECT_NE(mapSess.SessionID(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ForwardTestDialog, SevenCharacterAddressWithAtSignGetsTheLengthMessageAndThePhoneDialog) {
    設定.メールアドレス = QStringLiteral("a@bc.jp");
    testWindow.addressBox = 設定.メールアドレス;
    twoMessages();
    run(dialog.opメール転送);
    EXPECT_EQ(texts(),
              (QStringList{kQuestion,
                           forwardQuestion(QStringLiteral("既読の新しい"), 設定.メールアドレス),
                           kShortAddress}));
    expectButtons({MsgButtons::YesNo, MsgButtons::YesNo, MsgButtons::Ok});
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    // The box is not read; the phone settings open after this dialog has closed.
    EXPECT_EQ(testWindow.calls, QStringList{QStringLiteral("phone dialog")});
    EXPECT_TRUE(system.outbox.empty());
    expectStillRunning();
}

TEST_F(ForwardTestDialog, AddressBoxWithoutAtSignGetsTheAtSignMessageAndThePhoneDialog) {
    // The record's address is long enough; the box the phone dialog loaded decides the "@".
    設定.メールアドレス = QStringLiteral("phone@docomo.ne.jp");
    testWindow.addressBox = QStringLiteral("phone.docomo.ne.jp");
    twoMessages();
    run(dialog.opメール転送);
    EXPECT_EQ(texts(),
              (QStringList{kQuestion, forwardQuestion(QStringLiteral("既読の新しい"), kPhone),
                           kNoAtSign}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(testWindow.calls,
              (QStringList{QStringLiteral("address box"), QStringLiteral("phone dialog")}));
    EXPECT_TRUE(system.outbox.empty());
    expectStillRunning();
}

TEST_F(ForwardTestDialog, EmptyInboxStopsTheTestWithItsReasonAndKelvoGoesOn) {
    run(dialog.opメール転送);
    ASSERT_EQ(texts().size(), 2);
    EXPECT_EQ(texts()[0], kQuestion);
    EXPECT_TRUE(texts()[1].startsWith(stopped(mailerr::InvalidMessage)))
        << texts()[1].toStdString();
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(QString::number(mailerr::InvalidMessage)));
    EXPECT_EQ(panel().last(), QStringLiteral("テスト中止"));
    EXPECT_TRUE(system.outbox.empty());
    EXPECT_TRUE(dialog.isVisible());
    expectStillRunning();
}

TEST_F(ForwardTestDialog, AnAccountOfACombinedInboxThatFailsStopsTheTestNamingIt) {
    twoMessages();
    system.storesDown.push_back(
        {QStringLiteral("Gmail"),
         KelvoError(mailerr::LoginFailed, QStringLiteral("拒否（Gmail）"))});
    run(dialog.opメール転送);
    ASSERT_EQ(texts().size(), 2);
    EXPECT_TRUE(texts()[1].contains(QStringLiteral("拒否（Gmail）"))) << texts()[1].toStdString();
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(QStringLiteral("（Gmail）")));
    EXPECT_TRUE(system.outbox.empty());
    expectStillRunning();
}

TEST_F(ForwardTestDialog, NoSessionIsToldThenTheInboxStepStopsTheTest) {
    twoMessages();
    system.failNext(QStringLiteral("signOn"), mailError(mailerr::LoginFailed), true);
    run(dialog.opメール転送);
    ASSERT_EQ(texts().size(), 3);
    EXPECT_EQ(texts()[0], kQuestion);
    EXPECT_EQ(texts()[1], kNoConnection);
    EXPECT_TRUE(
        texts()[2].startsWith(QStringLiteral("メール転送のテストを中止しました。\r\nエラー！「")));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok, MsgButtons::Ok});
    // The refused sign-on, then the Inbox that could not be read without a session.
    ASSERT_EQ(errorLines().size(), 2);
    EXPECT_TRUE(errorLines()[0].contains(QString::number(mailerr::LoginFailed)));
    EXPECT_EQ(system.count(QStringLiteral("fetch")), 0);
    EXPECT_TRUE(system.outbox.empty());
    expectStillRunning();

    // Once the mail system answers again, the next try works.
    system.heal(QStringLiteral("signOn"));
    ui.messages.clear();
    run(nullptr);
    EXPECT_EQ(texts().last(), kDone);
    EXPECT_EQ(system.outbox.size(), 1u);
}

TEST_F(ForwardTestDialog, AFailedSendIsNotReportedAsDone) {
    twoMessages();
    system.failNext(QStringLiteral("send"), mailError(mailerr::SendRefused), true);
    run(dialog.opメール転送);
    ASSERT_EQ(texts().size(), 3);
    EXPECT_TRUE(texts()[2].startsWith(stopped(mailerr::SendRefused))) << texts()[2].toStdString();
    // メール転送 put its one error line on the monitor; the test adds none of its own.
    EXPECT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(system.outbox.empty());
    EXPECT_TRUE(dialog.isVisible());
    expectStillRunning();
}

// The program's own phone settings dialog behind the self-test: its box is read after it
// loads from the file, and it opens without holding anything up.
TEST_F(ForwardTestDialog, ThePhoneSettingsDialogOpensWithoutWaitingWhenTheBoxLacksTheAtSign) {
    設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
    設定.メールアドレス = QStringLiteral("phone.docomo.ne.jp");
    ASSERT_TRUE(設定書込(設定));
    KelvoInstance kelvo(dir.path(), clock);
    SettingsDialogs dialogs(DialogContext{設定, dir.path(), ui}, kelvo.window.get());
    ShellCycleWindow shellWindow(*kelvo.window, dialogs);
    SelfTestDialog test(SelfTestContext{ctx, sys, shellWindow, ui});
    test.show();
    twoMessages();

    test.opメール転送->setChecked(true);
    test.buttonテスト->click();
    EXPECT_EQ(texts().last(), kNoAtSign);
    EXPECT_FALSE(test.isVisible());
    ASSERT_TRUE(dialogs.携帯電話の設定読込済());
    PhoneDialog& phone = dialogs.携帯電話の設定();
    EXPECT_TRUE(phone.isVisible());
    EXPECT_FALSE(phone.isModal());
    EXPECT_EQ(phone.txtメールアドレス->text(), QStringLiteral("phone.docomo.ne.jp"));
    phone.CancelButton->click();
}

} // namespace
} // namespace kelvo::test
