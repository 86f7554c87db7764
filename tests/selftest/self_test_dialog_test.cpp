// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "modal_helper.h"
#include "self_test_fixture.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>

namespace kelvo::test {
namespace {

const QString kCheckQuestion = QStringLiteral("新着メールをチェック\r\nできることを確認しますか？");

const QString kHangUpQuestion = QStringLiteral(
    "ダイヤルアップユーザー向け自動転送システムのテストを行います。\r\n"
    "メールソフトの設定で「送受信を終了したら回線を切断する」のチェックをＯＦＦにし、\r\n"
    "メールソフトの「送受信」コマンドを実行し、メールサーバーと接続した状態にしてください。\r\n"
    "準備ができたら「ＯＫ」ボタンを押してください。\r\n"
    "本ソフトが回線を切断します。一時的にダイヤルアップネットワークのwindowが"
    "立ちあがりますがそのままお待ち下さい。");
const QString kHangUpClosing =
    QStringLiteral("回線は切断されましたか？\r\n"
                   "切断できた場合は、基本的にダイヤルアップ自動転送システムを使用できますが、\r\n"
                   "本ソフトがもし回線の切断に失敗した場合、サーバーとの回線は、接続状態のまま　に"
                   "なってしまいます。\r\n"
                   "そのようなことになった場合でも､作者は一切の責任を負いません｡\r\n"
                   "このことに同意できる方のみ使用してください。\r\n");

const QString kPowerOffQuestion =
    QStringLiteral("テストでパソコンの電源OFFが実行可能なことを確認します。\r\n"
                   "他の起動中のアプリケーションは、すべて終了してください。\r\n"
                   "約２０秒後に電源を切ります。\r\n"
                   "準備ができたら「ＯＫ」ボタンを押してください。\r\n"
                   "３０秒経過しても電源OFFできなかった場合、本ソフトより\r\n"
                   "電源OFFはできませんのでご了承ください");

using DialogTest = SelfTestTest;

TEST_F(DialogTest, ControlsCarryTheirNamesAndCaptionsTopToBottom) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("自動転送のテスト"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("testform"));
    EXPECT_EQ(dialog.Frame1->title(),
              QStringLiteral("実施するテストを選んで、「テスト実行」ボタンを押してください・"));
    const std::pair<QLabel*, QRadioButton*> rows[] = {
        {dialog.Label1, dialog.op新着メールチェック},
        {dialog.Label2, dialog.opメール転送},
        {dialog.Label3, dialog.op回線切断},
        {dialog.Label4, dialog.op電源OFFテスト},
    };
    const QString numbers[] = {QStringLiteral("①"), QStringLiteral("②"), QStringLiteral("③"),
                               QStringLiteral("④")};
    const QString captions[] = {QStringLiteral("新着メールのチェック"),
                                QStringLiteral("メール転送のテスト"),
                                QStringLiteral("ダイヤルアップユーザー用の回線切断のテスト"),
                                QStringLiteral("パソコンの電源OFFのテスト")};
    const char* names[] = {"op新着メールチェック", "opメール転送", "op回線切断", "op電源OFFテスト"};
    int lastY = -1;
    for (int i = 0; i < 4; ++i) {
        auto [label, option] = rows[i];
        EXPECT_EQ(label->objectName(), QStringLiteral("Label%1").arg(i + 1));
        EXPECT_EQ(label->text(), numbers[i]);
        EXPECT_EQ(option->objectName(), QString::fromUtf8(names[i]));
        EXPECT_EQ(option->text(), captions[i]);
        EXPECT_EQ(option->parentWidget(), dialog.Frame1);
        EXPECT_FALSE(option->isChecked()) << "nothing is chosen when the dialog opens";
        EXPECT_LT(label->x(), option->x());
        EXPECT_GT(option->y(), lastY);
        lastY = option->y();
    }
    EXPECT_EQ(dialog.Label6->text(),
              QStringLiteral("※ダイヤルアップ用自動転送システムを使用する方は、必ず③のテストを実行"
                             "してください。"));
    EXPECT_EQ(dialog.Label5->text(),
              QStringLiteral("※LAN（常時接続）の方は、①、②のテストが自動で実行できることを確認"
                             "してください。"));
    EXPECT_EQ(dialog.buttonテスト->objectName(), QStringLiteral("buttonテスト"));
    EXPECT_EQ(dialog.buttonテスト->text(), QStringLiteral("テスト実行"));
    EXPECT_EQ(dialog.CancelButton->objectName(), QStringLiteral("CancelButton"));
    EXPECT_EQ(dialog.CancelButton->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    // Frame, the dial-up note, the LAN note, then the buttons.
    EXPECT_LT(dialog.Frame1->geometry().bottom(), dialog.Label6->y());
    EXPECT_LT(dialog.Label6->y(), dialog.Label5->y());
    EXPECT_LT(dialog.Label5->y(), dialog.buttonテスト->y());
    EXPECT_EQ(dialog.buttonテスト->y(), dialog.CancelButton->y());
}

TEST_F(DialogTest, CentresItselfOnTheScreenWhenItOpens) {
    const QRect screen = dialog.screen()->geometry();
    EXPECT_EQ(dialog.x(), screen.x() + (screen.width() - dialog.width()) / 2);
    EXPECT_EQ(dialog.y(), screen.y() + (screen.height() - dialog.height()) / 2);
}

TEST_F(DialogTest, NothingSelectedAsksForAChoiceAndDoesNothingElse) {
    run(nullptr);
    EXPECT_EQ(texts(), QStringList{QStringLiteral("テストする項目を選択してください。")});
    expectButtons({MsgButtons::Ok});
    EXPECT_TRUE(window.panelHistory.isEmpty());
    EXPECT_TRUE(system.calls.isEmpty());
    EXPECT_TRUE(sys.calls.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(DialogTest, CancelClosesTheDialog) {
    QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DialogTest, SignOnTestAnsweredNoShowsNothingMore) {
    answer({MsgResult::No});
    run(dialog.op新着メールチェック);
    EXPECT_EQ(texts(), QStringList{kCheckQuestion});
    expectButtons({MsgButtons::YesNo});
    EXPECT_TRUE(panel().isEmpty());
    EXPECT_TRUE(system.calls.isEmpty());
}

TEST_F(DialogTest, SignOnTestSignsOnWithDownloadAndStaysSignedOn) {
    run(dialog.op新着メールチェック);
    EXPECT_EQ(texts(),
              (QStringList{kCheckQuestion, QStringLiteral("メールチェックを 自動 で行うことが"
                                                          "できた場合、成功です。")}));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    EXPECT_EQ(
        panel(),
        (QStringList{QStringLiteral("テスト開始"), QStringLiteral("サーバーへ接続中・・・"),
                     QStringLiteral("接続終了"), QStringLiteral("新着メールのチェック に 成功")}));
    EXPECT_EQ(system.signOnDownloads, std::vector<bool>{true});
    // No sign-off: the session stays for the next pass, marked as this program's.
    EXPECT_NE(mapSess.SessionID(), 0);
    EXPECT_TRUE(mapSess.NewSession());
    EXPECT_EQ(mapMess.SessionID(), mapSess.SessionID());
    EXPECT_EQ(system.count(QStringLiteral("close")), 0);
    EXPECT_TRUE(dialog.isVisible());
    expectStillRunning();
}

TEST_F(DialogTest, SignOnFailureIsToldAndLeavesKelvoRunning) {
    system.failNext(QStringLiteral("signOn"), mailError(mailerr::LoginFailed));
    run(dialog.op新着メールチェック);
    EXPECT_EQ(texts(), (QStringList{kCheckQuestion,
                                    QStringLiteral("ログオン失敗!\r\nメールソフトのMAPIの設定が"
                                                   "正しいことを確認してください")}));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(QString::number(mailerr::LoginFailed)));
    EXPECT_EQ(panel().last(), QStringLiteral("サーバーへ接続中・・・"));
    EXPECT_EQ(mapSess.SessionID(), 0);
    EXPECT_TRUE(dialog.isVisible());
    expectStillRunning();
}

TEST_F(DialogTest, SignOnTestSignsInFirstAndAFailedSignInIsToldWithoutASignOn) {
    int signIns = 0;
    SelfTestContext withSignIn{ctx, sys, testWindow, ui};
    withSignIn.サインイン = [&] {
        ++signIns;
        throw mailError(mailerr::TokenFailed);
    };
    SelfTestDialog test(withSignIn);
    QTest::mouseClick(test.op新着メールチェック, Qt::LeftButton, {},
                      QPoint(8, test.op新着メールチェック->height() / 2));
    QTest::mouseClick(test.buttonテスト, Qt::LeftButton);
    EXPECT_EQ(signIns, 1);
    EXPECT_EQ(texts().last(), QStringLiteral("ログオン失敗!\r\nメールソフトのMAPIの設定が"
                                             "正しいことを確認してください"));
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(QString::number(mailerr::TokenFailed)));
    EXPECT_TRUE(system.signOnDownloads.empty());
}

TEST_F(DialogTest, HangUpTestAnsweredNoIsCancelled) {
    answer({MsgResult::No});
    run(dialog.op回線切断);
    EXPECT_EQ(texts(), (QStringList{kHangUpQuestion, kCancelled}));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    EXPECT_TRUE(sys.calls.isEmpty());
}

TEST_F(DialogTest, HangUpTestHangsUpAndAsksTheUserWhetherTheLineWentDown) {
    run(dialog.op回線切断);
    EXPECT_EQ(texts(), (QStringList{kHangUpQuestion, kHangUpClosing}));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    // The same hang-up the cycle uses: the dial-up window with its keys, then the line.
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("hangup")).size(), 1);
    EXPECT_FALSE(sys.callsStartingWith(QStringLiteral("window")).isEmpty());
    EXPECT_FALSE(sys.keys().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    expectStillRunning();
}

TEST_F(DialogTest, HangUpFailuresStillEndWithTheClosingMessage) {
    sys.windowsStart = false;
    sys.throwing = {QStringLiteral("hangup"), QStringLiteral("key"), QStringLiteral("env")};
    run(dialog.op回線切断);
    EXPECT_EQ(texts(), (QStringList{kHangUpQuestion, kHangUpClosing}));
    EXPECT_TRUE(errorLines().isEmpty());
    expectStillRunning();
}

TEST_F(DialogTest, PowerOffTestAnsweredNoIsCancelledAndKelvoGoesOn) {
    answer({MsgResult::No});
    run(dialog.op電源OFFテスト);
    EXPECT_EQ(texts(), (QStringList{kPowerOffQuestion, kCancelled}));
    expectButtons({MsgButtons::YesNo, MsgButtons::Ok});
    EXPECT_TRUE(sys.calls.isEmpty());
    expectStillRunning();
}

TEST_F(DialogTest, PowerOffTestPowersOffAndEndsTheProgram) {
    設定.ログファイルパス = dir.filePath(QStringLiteral("転送ログ.txt"));
    run(dialog.op電源OFFテスト);
    EXPECT_EQ(texts(), QStringList{kPowerOffQuestion});
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("shutdown")),
              QStringList{QStringLiteral("shutdown 1")});
    EXPECT_EQ(状態.終了フラグ, 1);
    EXPECT_EQ(exit.ends, 1);
    EXPECT_EQ(monitorMessages(), (QStringList{QStringLiteral(" 電源を切ります"),
                                              QStringLiteral("電源OFFしました。")}));
    // The log is written before the shutdown, as every power-off does.
    EXPECT_TRUE(QFile::exists(設定.ログファイルパス));
}

TEST_F(DialogTest, ATestWaitingNeitherStartsAnotherNorCloses) {
    int clicksDuringWait = 0;
    clock.onWait = [&] {
        if (!dialog.テスト実行中())
            return;
        ++clicksDuringWait;
        QTest::mouseClick(dialog.buttonテスト, Qt::LeftButton);
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
        dialog.reject();
    };
    run(dialog.op回線切断);
    EXPECT_GT(clicksDuringWait, 0);
    EXPECT_EQ(texts(), (QStringList{kHangUpQuestion, kHangUpClosing}));
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("hangup")).size(), 1);
    EXPECT_TRUE(dialog.isVisible());
    clock.onWait = nullptr;
    QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DialogTest, OpenedModallyItRunsTestsUntilCancelled) {
    SelfTestDialog modal(SelfTestContext{ctx, sys, testWindow, ui});
    bool wasModal = false;
    QPoint shownAt, centre;
    whenModal<SelfTestDialog>([&](SelfTestDialog* d) {
        wasModal = d->isModal();
        const QRect screen = d->screen()->geometry();
        shownAt = d->pos();
        centre = QPoint(screen.x() + (screen.width() - d->width()) / 2,
                        screen.y() + (screen.height() - d->height()) / 2);
        d->op回線切断->setChecked(true);
        d->buttonテスト->click();
        d->CancelButton->click();
    });
    EXPECT_EQ(modal.exec(), QDialog::Rejected);
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(shownAt, centre);
    EXPECT_EQ(texts(), (QStringList{kHangUpQuestion, kHangUpClosing}));
}

} // namespace
} // namespace kelvo::test
