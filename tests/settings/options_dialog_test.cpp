// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/options_dialog.h"

#include "dialog_fixture.h"
#include "settings/number_box.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>

namespace kelvo {
namespace {

QString lines(const char* first, const char* second) {
    return QString::fromUtf8(first) + QStringLiteral("\r\n") + QString::fromUtf8(second);
}

const QString kInterval = lines("[基本設定]の ① メールチェック間隔が正しくありません。",
                                "0～3600までの数字を入力してください。");
const QString kSplit = lines("[基本設定]の ② 分割文字数が正しくありません。",
                             "50～7000までの数字を入力してください。");
const QString kParts =
    lines("[基本設定]の ③ 最大分割数が正しくありません。", "2～30までの数字を入力してください。");
const QString kHours =
    lines("[その他]の 終了時刻が正しくありません。", "0～400までの数字を入力してください。");
const QString kTimes =
    lines("[その他]の 開始/停止時刻が正しくありません。", "正しい時刻を入力してください。");
const QString kNoDay = lines("スケジュールの曜日がチェックされていません。",
                             "日～土までの少なくとも１つチェックして下さい。");

class OptionsDialogTest : public test::DialogTest {
protected:
    OptionsDialog& open() {
        dialog = std::make_unique<OptionsDialog>(context());
        dialog->曜日フラグ再作成 = [this] { ++dayFlagRebuilds; };
        dialog->show();
        return *dialog;
    }
    void apply() { click(dialog->cmdApply); }

    // A user reaches a control by first clicking the tab of its page.
    void showPageOf(QWidget* w) {
        for (int i = 0; i < static_cast<int>(dialog->タブ.size()); ++i) {
            if (dialog->タブ[i]->isAncestorOf(w) && dialog->タブストリップ->currentIndex() != i)
                QTest::mouseClick(dialog->タブストリップ, Qt::LeftButton, {},
                                  dialog->タブストリップ->tabRect(i).center());
        }
    }
    void click(QAbstractButton* b) {
        showPageOf(b);
        DialogTest::click(b);
    }
    void type(QLineEdit* box, const QString& text) {
        showPageOf(box);
        DialogTest::type(box, text);
    }

    // Runs the apply step with one number box set to each text; returns the messages.
    QStringList applyWith(NumberBox* box, const QString& text) {
        ui.messages.clear();
        type(box, text);
        apply();
        return messages();
    }

    std::unique_ptr<OptionsDialog> dialog;
    int dayFlagRebuilds = 0;
};

TEST_F(OptionsDialogTest, FirstStartFileIsShownAsStoredAndSurvivesAnApplyByteForByte) {
    OptionsDialog& d = open();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("オプション"));
    EXPECT_EQ(d.txtチェック間隔->text(), QStringLiteral("30"));
    EXPECT_EQ(d.txt分割文字数->text(), QStringLiteral("250"));
    EXPECT_TRUE(d.chk自動分割->isChecked());
    EXPECT_EQ(d.txt最大分割数->text(), QStringLiteral("5"));
    EXPECT_TRUE(d.op同時接続はい->isChecked());
    EXPECT_FALSE(d.chkダイヤルアップ->isChecked());
    EXPECT_TRUE(d.op差出人メールはい->isChecked());
    EXPECT_TRUE(d.op宛先いいえ->isChecked());
    EXPECT_TRUE(d.opCCいいえ->isChecked());
    EXPECT_TRUE(d.op添付はい->isChecked());
    EXPECT_TRUE(d.op改行はい->isChecked());
    EXPECT_FALSE(d.chkアドレス帳->isChecked());
    EXPECT_TRUE(d.opアドレス帳はい->isChecked());
    EXPECT_FALSE(d.chk差出人->isChecked());
    EXPECT_TRUE(d.op差出人いいえ->isChecked());
    for (QLineEdit* box : d.しない)
        EXPECT_EQ(box->text(), QString());
    EXPECT_FALSE(d.chkマルチアカウント->isChecked());
    EXPECT_FALSE(d.chkスケジュールフラグ->isChecked());
    for (QCheckBox* day : d.chk曜日)
        EXPECT_FALSE(day->isChecked());
    EXPECT_EQ(d.txtスケジュール開始時->text(), QStringLiteral("10"));
    EXPECT_EQ(d.txtスケジュール開始分->text(), QStringLiteral("00"));
    EXPECT_EQ(d.txtスケジュール終了時->text(), QStringLiteral("18"));
    EXPECT_EQ(d.txtスケジュール終了分->text(), QStringLiteral("00"));
    EXPECT_FALSE(d.chk自動終了フラグ->isChecked());
    EXPECT_EQ(d.txt切断時間->text(), QString());
    EXPECT_FALSE(d.chk電源OFF->isChecked());
    EXPECT_TRUE(d.chkログ->isChecked());
    EXPECT_EQ(d.txtログファイルパス->text(), 既定ログファイルパス(dir.path()));
    EXPECT_FALSE(d.chkプロファイル->isChecked());
    EXPECT_EQ(d.txtプロファイル名->text(), QStringLiteral("Microsoft Outlook"));

    apply();
    EXPECT_TRUE(ui.messages.empty()) << messages().join(u'|').toStdString();
    EXPECT_EQ(file(), firstStart);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(dayFlagRebuilds, 0);
}

TEST_F(OptionsDialogTest, ShowsEveryStoredValue) {
    store("基本設定", "同時接続フラグ", QStringLiteral("0"));
    store("基本設定", "自動分割フラグ", QStringLiteral("0"));
    store("転送メールの内容", "宛先フラグ", QStringLiteral("1"));
    store("転送ルール", "アドレス帳モード", QStringLiteral("0"));
    store("転送ルール", "差出人フィルタ3", QStringLiteral("c@example.jp"));
    store("転送ルール", "件名フィルタ", QStringLiteral("広告"));
    store("マルチアカウント", "アカウント2", QStringLiteral("1"));
    store("マルチアカウント", "宛先2", QStringLiteral("work@example.jp"));
    store("マルチアカウント", "転送2", QStringLiteral("me@docomo.ne.jp"));
    store("その他", "スケジュール火", QStringLiteral("1"));
    store("その他", "自動終了フラグ", QStringLiteral("1"));
    store("その他", "切断時間", QStringLiteral("12"));
    store("その他", "電源OFFフラグ", QStringLiteral("1"));
    OptionsDialog& d = open();
    EXPECT_TRUE(d.op同時接続いいえ->isChecked());
    EXPECT_FALSE(d.chk自動分割->isChecked());
    EXPECT_TRUE(d.op宛先はい->isChecked());
    EXPECT_TRUE(d.opアドレス帳いいえ->isChecked());
    EXPECT_EQ(d.しない[2]->text(), QStringLiteral("c@example.jp"));
    EXPECT_EQ(d.txt件名フィルタ->text(), QStringLiteral("広告"));
    EXPECT_TRUE(d.chkアカウント[1]->isChecked());
    EXPECT_EQ(d.txtマルチ宛先[1]->text(), QStringLiteral("work@example.jp"));
    EXPECT_EQ(d.txtマルチ転送先[1]->text(), QStringLiteral("me@docomo.ne.jp"));
    EXPECT_TRUE(d.chk曜日[2]->isChecked());
    EXPECT_TRUE(d.chk自動終了フラグ->isChecked());
    EXPECT_EQ(d.txt切断時間->text(), QStringLiteral("12"));
    EXPECT_TRUE(d.chk電源OFF->isChecked());
    d.タブストリップ->setCurrentIndex(4);
    EXPECT_TRUE(d.Frame自動終了->isEnabled());
}

TEST_F(OptionsDialogTest, CheckIntervalBoundaries) {
    OptionsDialog& d = open();
    EXPECT_TRUE(applyWith(d.txtチェック間隔, QStringLiteral("0")).isEmpty());
    EXPECT_EQ(stored().メールチェック間隔, QStringLiteral("0"));
    EXPECT_TRUE(applyWith(d.txtチェック間隔, QStringLiteral("3600")).isEmpty());
    EXPECT_EQ(applyWith(d.txtチェック間隔, QStringLiteral("3601")), QStringList{kInterval});
    EXPECT_EQ(stored().メールチェック間隔, QStringLiteral("3600"));
    EXPECT_TRUE(applyWith(d.txtチェック間隔, QString()).isEmpty());
    EXPECT_EQ(stored().メールチェック間隔, QString());
    EXPECT_TRUE(applyWith(d.txtチェック間隔, QStringLiteral("05")).isEmpty());
    EXPECT_EQ(stored().メールチェック間隔, QStringLiteral("05"));
}

TEST_F(OptionsDialogTest, SplitLengthBoundaries) {
    OptionsDialog& d = open();
    for (const char* ok : {"30", "40", "7000"}) {
        EXPECT_TRUE(applyWith(d.txt分割文字数, QString::fromUtf8(ok)).isEmpty()) << ok;
        EXPECT_EQ(stored().分割文字数, QString::fromUtf8(ok));
    }
    for (const char* wrong : {"29", "7001", ""})
        EXPECT_EQ(applyWith(d.txt分割文字数, QString::fromUtf8(wrong)), QStringList{kSplit})
            << wrong;
}

TEST_F(OptionsDialogTest, MaximumPartsBoundaries) {
    OptionsDialog& d = open();
    for (const char* ok : {"2", "30"})
        EXPECT_TRUE(applyWith(d.txt最大分割数, QString::fromUtf8(ok)).isEmpty()) << ok;
    for (const char* wrong : {"1", "31", ""})
        EXPECT_EQ(applyWith(d.txt最大分割数, QString::fromUtf8(wrong)), QStringList{kParts})
            << wrong;
}

TEST_F(OptionsDialogTest, FullWidthDigitsAreStoredNarrow) {
    OptionsDialog& d = open();
    type(d.txtチェック間隔, QStringLiteral("１５"));
    type(d.txt分割文字数, QStringLiteral("１２０"));
    type(d.txt最大分割数, QStringLiteral("１０"));
    click(d.chk自動終了フラグ);
    type(d.txt切断時間, QStringLiteral("２４"));
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(d.txtチェック間隔->text(), QStringLiteral("１５"));
    apply();
    EXPECT_TRUE(ui.messages.empty());
    const SettingsRecord r = stored();
    EXPECT_EQ(r.メールチェック間隔, QStringLiteral("15"));
    EXPECT_EQ(r.分割文字数, QStringLiteral("120"));
    EXPECT_EQ(r.最大分割数, QStringLiteral("10"));
    EXPECT_EQ(r.切断時間, QStringLiteral("24"));
}

TEST_F(OptionsDialogTest, ChecksRunInOrderAndKeepEarlierValuesInTheRecordOnly) {
    OptionsDialog& d = open();
    type(d.txtチェック間隔, QStringLiteral("4000"));
    type(d.txt分割文字数, QStringLiteral("10"));
    apply();
    EXPECT_EQ(messages(), QStringList{kInterval});

    ui.messages.clear();
    type(d.txtチェック間隔, QStringLiteral("45"));
    apply();
    EXPECT_EQ(messages(), QStringList{kSplit});
    EXPECT_EQ(設定.メールチェック間隔, QStringLiteral("45"));
    EXPECT_EQ(file(), firstStart);
}

TEST_F(OptionsDialogTest, OkClosesAfterAFailedCheckAndCancelStoresNothing) {
    OptionsDialog& d = open();
    type(d.txt最大分割数, QStringLiteral("99"));
    click(d.cmdOK);
    EXPECT_EQ(messages(), QStringList{kParts});
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(file(), firstStart);

    OptionsDialog& again = open();
    type(again.txtチェック間隔, QStringLiteral("10"));
    click(again.chkダイヤルアップ);
    const SettingsRecord before = 設定;
    click(again.cmdCancel);
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(設定, before);
    EXPECT_EQ(file(), firstStart);
}

TEST_F(OptionsDialogTest, OptionPairsAndCheckBoxesAreStored) {
    OptionsDialog& d = open();
    click(d.op同時接続いいえ);
    click(d.op差出人メールいいえ);
    click(d.op宛先はい);
    click(d.opCCはい);
    click(d.op改行いいえ);
    click(d.op添付いいえ);
    click(d.chkアドレス帳);
    click(d.opアドレス帳いいえ);
    click(d.chkダイヤルアップ);
    click(d.chk自動分割);
    click(d.chkログ);
    click(d.chkプロファイル);
    type(d.txtプロファイル名, QStringLiteral("Outlook 2"));
    type(d.txt件名フィルタ, QStringLiteral("未承諾"));
    click(d.cmdOK);
    EXPECT_FALSE(d.isVisible());
    const SettingsRecord r = stored();
    EXPECT_EQ(r.同時接続フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.差出人フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.宛先フラグ, QStringLiteral("1"));
    EXPECT_EQ(r.CCフラグ, QStringLiteral("1"));
    EXPECT_EQ(r.改行フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.添付フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.アドレス帳フィルタ, QStringLiteral("1"));
    EXPECT_EQ(r.アドレス帳モード, QStringLiteral("0"));
    EXPECT_EQ(r.ダイヤルアップフラグ, QStringLiteral("1"));
    EXPECT_EQ(r.自動分割フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.ログ出力フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.プロファイル使用フラグ, QStringLiteral("1"));
    EXPECT_EQ(r.プロファイル名, QStringLiteral("Outlook 2"));
    EXPECT_EQ(r.件名フィルタ, QStringLiteral("未承諾"));
}

TEST_F(OptionsDialogTest, SenderAddressWithoutAtIsWarnedAndStored) {
    OptionsDialog& d = open();
    click(d.chk差出人);
    click(d.op差出人はい);
    type(d.しない[0], QStringLiteral("boss@example.jp"));
    type(d.しない[2], QStringLiteral("nobody"));
    apply();
    EXPECT_EQ(messages(), QStringList{QStringLiteral(
                              "[転送ルール]のメール差出人のアドレス（3番目）が不正です。")});
    const SettingsRecord r = stored();
    EXPECT_EQ(r.差出人フィルタ, QStringLiteral("1"));
    EXPECT_EQ(r.差出人モード, QStringLiteral("1"));
    EXPECT_EQ(r.差出人フィルタ1, QStringLiteral("boss@example.jp"));
    EXPECT_EQ(r.差出人フィルタ3, QStringLiteral("nobody"));
    EXPECT_EQ(r.差出人フィルタ10, QString());
}

TEST_F(OptionsDialogTest, SenderRuleWithoutAddressesIsSwitchedOffInTheFileOnly) {
    OptionsDialog& d = open();
    click(d.chk差出人);
    apply();
    EXPECT_EQ(messages(), QStringList{QStringLiteral(
                              "転送ルールのメール差出人のアドレスが１つも入力されていません。"
                              "メール差出人による振分機能は無効になります。")});
    EXPECT_EQ(stored().差出人フィルタ, QStringLiteral("0"));
    EXPECT_TRUE(d.chk差出人->isChecked());
}

TEST_F(OptionsDialogTest, MultiAccountRowWithoutBothAddressesIsSwitchedOff) {
    OptionsDialog& d = open();
    click(d.chkマルチアカウント);
    click(d.chkアカウント[0]);
    type(d.txtマルチ宛先[0], QStringLiteral("a@example.jp"));
    type(d.txtマルチ転送先[0], QStringLiteral("b@docomo.ne.jp"));
    click(d.chkアカウント[1]);
    type(d.txtマルチ宛先[1], QStringLiteral("work@example.jp"));
    type(d.txtマルチ転送先[1], QStringLiteral("nowhere"));
    apply();
    EXPECT_EQ(
        messages(),
        QStringList{QStringLiteral(
            "メールアドレスが入力されていません。マルチアカウント２のチェックをはずします。")});
    EXPECT_FALSE(d.chkアカウント[1]->isChecked());
    const SettingsRecord r = stored();
    EXPECT_EQ(r.アカウントフィルタ, QStringLiteral("1"));
    EXPECT_EQ(r.アカウント1, QStringLiteral("1"));
    EXPECT_EQ(r.アカウント2, QStringLiteral("0"));
    EXPECT_EQ(r.アカウント3, QStringLiteral("0"));
    EXPECT_EQ(r.宛先2, QStringLiteral("work@example.jp"));
    EXPECT_EQ(r.転送2, QStringLiteral("nowhere"));
    EXPECT_EQ(r.転送1, QStringLiteral("b@docomo.ne.jp"));
}

TEST_F(OptionsDialogTest, TimedFinishBoundaries) {
    OptionsDialog& d = open();
    click(d.chk自動終了フラグ);
    click(d.chk電源OFF);
    for (const char* wrong : {"0", "401", ""})
        EXPECT_EQ(applyWith(d.txt切断時間, QString::fromUtf8(wrong)), QStringList{kHours}) << wrong;
    for (const char* ok : {"1", "400"}) {
        EXPECT_TRUE(applyWith(d.txt切断時間, QString::fromUtf8(ok)).isEmpty()) << ok;
        const SettingsRecord r = stored();
        EXPECT_EQ(r.自動終了フラグ, QStringLiteral("1"));
        EXPECT_EQ(r.切断時間, QString::fromUtf8(ok));
        EXPECT_EQ(r.電源OFFフラグ, QStringLiteral("1"));
    }
}

TEST_F(OptionsDialogTest, TimedFinishOffStoresPowerOffAsZero) {
    store("その他", "自動終了フラグ", QStringLiteral("1"));
    store("その他", "切断時間", QStringLiteral("8"));
    store("その他", "電源OFFフラグ", QStringLiteral("1"));
    OptionsDialog& d = open();
    EXPECT_TRUE(d.chk電源OFF->isChecked());
    click(d.chk自動終了フラグ);
    EXPECT_EQ(d.txt切断時間->text(), QString());
    EXPECT_FALSE(d.chk電源OFF->isChecked());
    EXPECT_FALSE(d.Frame自動終了->isEnabled());
    apply();
    const SettingsRecord r = stored();
    EXPECT_EQ(r.自動終了フラグ, QStringLiteral("0"));
    EXPECT_EQ(r.切断時間, QString());
    EXPECT_EQ(r.電源OFFフラグ, QStringLiteral("0"));
}

TEST_F(OptionsDialogTest, ScheduleTimes) {
    OptionsDialog& d = open();
    click(d.chkスケジュールフラグ);
    click(d.chk曜日[1]);
    const struct {
        const char *h1, *m1, *h2, *m2;
        bool passes;
    } cases[] = {
        {"9", "00", "9", "00", false},   {"9", "00", "9", "01", true},
        {"18", "00", "10", "00", false}, {"24", "00", "25", "00", false},
        {"10", "", "18", "00", false},   {"10", "60", "18", "00", false},
        {"0", "0", "23", "59", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.h1) + ":" + c.m1 + "-" + c.h2 + ":" + c.m2);
        ui.messages.clear();
        type(d.txtスケジュール開始時, QString::fromUtf8(c.h1));
        type(d.txtスケジュール開始分, QString::fromUtf8(c.m1));
        type(d.txtスケジュール終了時, QString::fromUtf8(c.h2));
        type(d.txtスケジュール終了分, QString::fromUtf8(c.m2));
        apply();
        if (c.passes) {
            EXPECT_TRUE(ui.messages.empty());
            const SettingsRecord r = stored();
            EXPECT_EQ(r.スケジュールフラグ, QStringLiteral("1"));
            EXPECT_EQ(r.スケジュール開始時, QString::fromUtf8(c.h1));
            EXPECT_EQ(r.スケジュール終了分, QString::fromUtf8(c.m2));
            EXPECT_EQ(r.スケジュール月, QStringLiteral("1"));
            EXPECT_EQ(r.スケジュール日, QStringLiteral("0"));
        } else {
            EXPECT_EQ(messages(), QStringList{kTimes});
        }
    }
    EXPECT_EQ(dayFlagRebuilds, 2);
}

TEST_F(OptionsDialogTest, ScheduleWithoutADayStopsWithTheNewTimesInTheRecordOnly) {
    OptionsDialog& d = open();
    click(d.chkスケジュールフラグ);
    type(d.txtスケジュール開始時, QStringLiteral("8"));
    type(d.txtスケジュール終了時, QStringLiteral("20"));
    click(d.chk自動分割); // stored only after the schedule step
    apply();
    EXPECT_EQ(messages(), QStringList{kNoDay});
    EXPECT_EQ(設定.スケジュールフラグ, QStringLiteral("1"));
    EXPECT_EQ(設定.スケジュール開始時, QStringLiteral("8"));
    EXPECT_EQ(設定.スケジュール終了時, QStringLiteral("20"));
    EXPECT_EQ(設定.自動分割フラグ, QStringLiteral("1"));
    EXPECT_EQ(file(), firstStart);
    EXPECT_EQ(dayFlagRebuilds, 0);
}

TEST_F(OptionsDialogTest, ScheduleOffLeavesTimesAndDaysAsStored) {
    store("その他", "スケジュール金", QStringLiteral("1"));
    store("その他", "スケジュール開始時", QStringLiteral("7"));
    OptionsDialog& d = open();
    type(d.txtスケジュール開始時, QStringLiteral("3"));
    d.chk曜日[5]->setChecked(false);
    apply();
    EXPECT_TRUE(ui.messages.empty());
    const SettingsRecord r = stored();
    EXPECT_EQ(r.スケジュールフラグ, QStringLiteral("0"));
    EXPECT_EQ(r.スケジュール開始時, QStringLiteral("7"));
    EXPECT_EQ(r.スケジュール金, QStringLiteral("1"));
}

TEST_F(OptionsDialogTest, EnablingRulesOnOpening) {
    OptionsDialog& d = open();
    EXPECT_FALSE(d.frameアドレス帳->isEnabled());
    EXPECT_FALSE(d.frame差出人->isEnabled());
    EXPECT_FALSE(d.frame差出人リスト->isEnabled());
    EXPECT_FALSE(d.frameマルチアカウント->isEnabled());
    EXPECT_FALSE(d.chkアカウント[0]->isEnabled());
    EXPECT_FALSE(d.txtマルチ宛先[2]->isEnabled());
    EXPECT_FALSE(d.Frameスケジュール->isEnabled());
    EXPECT_FALSE(d.Frame自動終了->isEnabled());

    for (const char* key : {"アドレス帳フィルタ", "差出人フィルタ"})
        store("転送ルール", key, QStringLiteral("1"));
    store("マルチアカウント", "アカウントフィルタ", QStringLiteral("1"));
    store("その他", "スケジュールフラグ", QStringLiteral("1"));
    store("その他", "自動終了フラグ", QStringLiteral("1"));
    OptionsDialog& on = open();
    on.タブストリップ->setCurrentIndex(2);
    EXPECT_TRUE(on.frameアドレス帳->isEnabled());
    EXPECT_TRUE(on.frame差出人->isEnabled());
    EXPECT_TRUE(on.frame差出人リスト->isEnabled());
    on.タブストリップ->setCurrentIndex(3);
    EXPECT_TRUE(on.frameマルチアカウント->isEnabled());
    EXPECT_TRUE(on.chkアカウント[0]->isEnabled());
    EXPECT_TRUE(on.txtマルチ宛先[2]->isEnabled());
    on.タブストリップ->setCurrentIndex(4);
    EXPECT_TRUE(on.Frameスケジュール->isEnabled());
    EXPECT_TRUE(on.txtスケジュール開始分->isEnabled());
    EXPECT_TRUE(on.Frame自動終了->isEnabled());
    EXPECT_TRUE(on.txt切断時間->isEnabled());
}

TEST_F(OptionsDialogTest, EnablingRulesOnClick) {
    OptionsDialog& d = open();
    d.タブストリップ->setCurrentIndex(2);
    click(d.chkアドレス帳);
    EXPECT_TRUE(d.frameアドレス帳->isEnabled());
    click(d.chk差出人);
    EXPECT_TRUE(d.frame差出人->isEnabled());
    EXPECT_TRUE(d.frame差出人リスト->isEnabled());
    click(d.chk差出人);
    EXPECT_FALSE(d.frame差出人->isEnabled());
    EXPECT_FALSE(d.frame差出人リスト->isEnabled());
    d.タブストリップ->setCurrentIndex(3);
    click(d.chkマルチアカウント);
    EXPECT_TRUE(d.frameマルチアカウント->isEnabled());
    EXPECT_TRUE(d.chkアカウント[1]->isEnabled());
    EXPECT_TRUE(d.txtマルチ宛先[1]->isEnabled());
    d.タブストリップ->setCurrentIndex(4);
    click(d.chkスケジュールフラグ);
    EXPECT_TRUE(d.Frameスケジュール->isEnabled());
    click(d.chkスケジュールフラグ);
    EXPECT_FALSE(d.Frameスケジュール->isEnabled());
    click(d.chk自動終了フラグ);
    EXPECT_TRUE(d.Frame自動終了->isEnabled());
    type(d.txt切断時間, QStringLiteral("5"));
    click(d.chk電源OFF);
    click(d.chk自動終了フラグ);
    EXPECT_EQ(d.txt切断時間->text(), QString());
    EXPECT_FALSE(d.chk電源OFF->isChecked());
    EXPECT_FALSE(d.Frame自動終了->isEnabled());
}

TEST_F(OptionsDialogTest, TabsShowOnePageAndCtrlTabGoesRound) {
    OptionsDialog& d = open();
    ASSERT_EQ(d.タブストリップ->count(), 5);
    EXPECT_EQ(d.タブストリップ->tabText(0), QStringLiteral("基本設定"));
    EXPECT_EQ(d.タブストリップ->tabText(4), QStringLiteral("その他"));
    auto expectPage = [&](int index) {
        EXPECT_EQ(d.タブストリップ->currentIndex(), index);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(d.タブ[i]->isVisible(), i == index) << i;
            EXPECT_EQ(d.タブ[i]->isEnabled(), i == index) << i;
        }
    };
    expectPage(0);
    QTest::mouseClick(d.タブストリップ, Qt::LeftButton, {}, d.タブストリップ->tabRect(3).center());
    expectPage(3);
    QTest::keyClick(d.txtチェック間隔, Qt::Key_Tab, Qt::ControlModifier);
    expectPage(4);
    QTest::keyClick(d.txtプロファイル名, Qt::Key_Tab, Qt::ControlModifier);
    expectPage(0);
    EXPECT_EQ(d.txtプロファイル名->text(), QStringLiteral("Microsoft Outlook"));
    d.タブストリップ->setCurrentIndex(4);
    QTest::keyClick(d.txtプロファイル名, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    expectPage(4);
    QTest::keyClick(d.cmdOK, Qt::Key_Tab, Qt::ControlModifier | Qt::AltModifier);
    expectPage(4);
}

TEST_F(OptionsDialogTest, NumberBoxesFilterKeysAndUpDownsKeepToTheirRanges) {
    OptionsDialog& d = open();
    click(d.chkスケジュールフラグ);
    click(d.chk自動終了フラグ);
    const struct {
        NumberBox* box;
        UpDown* upDown;
        int min, max;
    } boxes[] = {
        {d.txtチェック間隔, d.updnチェック間隔, 0, 3600},
        {d.txt分割文字数, d.updn分割文字数, 30, 7000},
        {d.txt最大分割数, d.updn最大分割数, 2, 30},
        {d.txt切断時間, d.updn切断時間, 1, 400},
        {d.txtスケジュール開始時, d.updn開始時, 0, 23},
        {d.txtスケジュール開始分, d.updn開始分, 0, 59},
        {d.txtスケジュール終了時, d.updn終了時, 0, 23},
        {d.txtスケジュール終了分, d.updn終了分, 0, 59},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.box->objectName().toStdString());
        EXPECT_EQ(b.upDown->buddy(), b.box);
        EXPECT_EQ(b.upDown->minimum(), b.min);
        EXPECT_EQ(b.upDown->maximum(), b.max);
        b.box->setText(QString::number(b.max));
        b.upDown->stepUp();
        EXPECT_EQ(b.box->text(), QString::number(b.max));
        b.box->setText(QString::number(b.min));
        b.upDown->stepDown();
        EXPECT_EQ(b.box->text(), QString::number(b.min));
        const int beeps = ui.beeps;
        showPageOf(b.box);
        keys(b.box, QStringLiteral("x."));
        EXPECT_EQ(ui.beeps, beeps + 2);
        EXPECT_EQ(b.box->text(), QString::number(b.min));
    }
    // The other boxes take anything.
    const int beeps = ui.beeps;
    showPageOf(d.txt件名フィルタ);
    keys(d.txt件名フィルタ, QStringLiteral("x."));
    EXPECT_EQ(ui.beeps, beeps);
}

TEST_F(OptionsDialogTest, LogChooserStartsAtTheStoredPathAndCancellingKeepsTheBox) {
    OptionsDialog& d = open();
    QString initial;
    QString answer;
    d.ファイル選択 = [&](QWidget* owner, const FileFilter& filter, const QString& path) {
        EXPECT_EQ(owner, &d);
        EXPECT_EQ(filter.pattern, QStringLiteral("*.txt"));
        initial = path;
        return answer;
    };
    type(d.txtログファイルパス, QStringLiteral("/var/tmp/typed.txt"));
    click(d.Command1);
    EXPECT_EQ(initial, 既定ログファイルパス(dir.path()));
    EXPECT_EQ(d.txtログファイルパス->text(), QStringLiteral("/var/tmp/typed.txt"));
    apply();
    EXPECT_EQ(stored().ログファイルパス, QStringLiteral("/var/tmp/typed.txt"));

    answer = dir.filePath(QStringLiteral("chosen.txt"));
    click(d.Command1);
    EXPECT_EQ(initial, QStringLiteral("/var/tmp/typed.txt"));
    EXPECT_EQ(d.txtログファイルパス->text(), answer);
}

TEST_F(OptionsDialogTest, FailedSaveIsToldAndNothingIsLost) {
    ASSERT_TRUE(QFile::setPermissions(設定.設定ファイルパス, QFile::ReadOwner));
    OptionsDialog& d = open();
    type(d.txtチェック間隔, QStringLiteral("15"));
    click(d.cmdOK);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.startsWith(QStringLiteral("設定を保存できませんでした。\r\n")));
    EXPECT_TRUE(ui.messages[0].text.contains(設定.設定ファイルパス));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(設定.メールチェック間隔, QStringLiteral("15"));
    EXPECT_EQ(file(), firstStart);
    QFile::setPermissions(設定.設定ファイルパス, QFile::ReadOwner | QFile::WriteOwner);
    click(d.cmdOK);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(stored().メールチェック間隔, QStringLiteral("15"));
}

TEST_F(OptionsDialogTest, SizeIsGivenInTwipsAndTheTabStripSitsTopLeft) {
    OptionsDialog& d = open();
    EXPECT_GE(d.width(), 6200 * d.logicalDpiX() / 1440);
    EXPECT_GE(d.height(), 5950 * d.logicalDpiY() / 1440);
    d.タブストリップを左上へ();
    EXPECT_EQ(d.タブストリップ->pos(), QPoint(0, 0));
    EXPECT_FALSE(d.mask().isEmpty());
}

} // namespace
} // namespace kelvo
