// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/phone_dialog.h"

#include "dialog_fixture.h"
#include "settings/number_box.h"

#include <QFile>
#include <QPushButton>
#include <QRadioButton>

namespace kelvo {
namespace {

const QString kCountMessage =
    QStringLiteral("② リストの取得数が正しくありません。\r\n5～70までの数字を入力してください。");
const QString kCharactersMessage = QStringLiteral(
    "③の件名の最大転送文字数が正しくありません\r\n2～30までの数字を入力してください。");
const QString kCannotStart =
    QStringLiteral("\r\nこの設定では、自動転送を開始することはできません！");

class PhoneDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        store("携帯電話の設定", "メールアドレス", QStringLiteral("phone@docomo.ne.jp"));
        dialog = std::make_unique<PhoneDialog>(context());
        dialog->show();
    }
    void apply() { click(dialog->cmdApply); }

    std::unique_ptr<PhoneDialog> dialog;
};

TEST_F(PhoneDialogTest, OpensWithTheStoredValues) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("携帯端末の設定"));
    EXPECT_EQ(dialog->txtメールアドレス->text(), QStringLiteral("phone@docomo.ne.jp"));
    EXPECT_EQ(dialog->txtリスト件数->text(), QStringLiteral("30"));
    EXPECT_EQ(dialog->txt端末1行文字数->text(), QStringLiteral("10"));
    EXPECT_EQ(dialog->txtプログラム実行->text(), QString());
    EXPECT_TRUE(dialog->op端末電源OFF->isChecked());
    EXPECT_FALSE(dialog->opプログラム実行->isChecked());
    EXPECT_EQ(dialog->UpDnリスト行数->minimum(), 5);
    EXPECT_EQ(dialog->UpDnリスト行数->maximum(), 70);
    EXPECT_EQ(dialog->updn端末1行文字数->minimum(), 3);
    EXPECT_EQ(dialog->updn端末1行文字数->maximum(), 30);
    EXPECT_EQ(dialog->UpDnリスト行数->buddy(), dialog->txtリスト件数);
    EXPECT_EQ(dialog->CancelButton->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    // The record was read from the file on opening.
    EXPECT_EQ(設定.メールアドレス, QStringLiteral("phone@docomo.ne.jp"));
}

TEST_F(PhoneDialogTest, OpensWithTheProgramOptionWhenPowerOffIsNotOne) {
    store("携帯電話の設定", "端末電源OFF", QStringLiteral("0"));
    store("携帯電話の設定", "プログラム名", QStringLiteral("/usr/bin/true --x"));
    PhoneDialog again(context());
    EXPECT_TRUE(again.opプログラム実行->isChecked());
    EXPECT_FALSE(again.op端末電源OFF->isChecked());
    EXPECT_EQ(again.txtプログラム実行->text(), QStringLiteral("/usr/bin/true --x"));
}

TEST_F(PhoneDialogTest, ApplyingUnchangedValuesLeavesTheFileAsItWas) {
    const QByteArray before = file();
    apply();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(file(), before);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(PhoneDialogTest, ListCountBoundaries) {
    const struct {
        const char* text;
        bool passes;
    } cases[] = {{"5", true}, {"70", true}, {"4", false}, {"71", false}, {"", false}, {"05", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ui.messages.clear();
        type(dialog->txtリスト件数, QString::fromUtf8(c.text));
        apply();
        if (c.passes) {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_EQ(stored().リスト取得数, QString::fromUtf8(c.text));
        } else {
            EXPECT_EQ(messages(), QStringList{kCountMessage});
            EXPECT_NE(stored().リスト取得数, QString::fromUtf8(c.text));
        }
    }
}

TEST_F(PhoneDialogTest, CharacterCountBoundaries) {
    const struct {
        const char* text;
        bool passes;
    } cases[] = {{"3", true}, {"30", true}, {"2", false}, {"31", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ui.messages.clear();
        type(dialog->txt端末1行文字数, QString::fromUtf8(c.text));
        apply();
        if (c.passes) {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_EQ(stored().端末1行文字数, QString::fromUtf8(c.text));
        } else {
            EXPECT_EQ(messages(), QStringList{kCharactersMessage});
        }
    }
}

TEST_F(PhoneDialogTest, BothCountsWrongShowsOnlyTheFirstMessage) {
    type(dialog->txtリスト件数, QStringLiteral("99"));
    type(dialog->txt端末1行文字数, QStringLiteral("99"));
    apply();
    EXPECT_EQ(messages(), QStringList{kCountMessage});
    EXPECT_EQ(設定.端末1行文字数, QStringLiteral("10"));
}

TEST_F(PhoneDialogTest, ValidListCountStaysInTheRecordWhenTheCharacterCountFails) {
    const QByteArray before = file();
    type(dialog->txtリスト件数, QStringLiteral("50"));
    type(dialog->txt端末1行文字数, QStringLiteral("2"));
    type(dialog->txtメールアドレス, QStringLiteral("other@docomo.ne.jp"));
    apply();
    EXPECT_EQ(messages(), QStringList{kCharactersMessage});
    EXPECT_EQ(設定.リスト取得数, QStringLiteral("50"));
    EXPECT_EQ(設定.メールアドレス, QStringLiteral("phone@docomo.ne.jp"));
    EXPECT_EQ(file(), before);
}

TEST_F(PhoneDialogTest, ShortAddressWarnsButIsStored) {
    type(dialog->txtメールアドレス, QStringLiteral("a@b.jp1")); // 7 characters with "@"
    apply();
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("①で入力されたメールアドレスが正しくありません") +
                          kCannotStart});
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Kelvo"));
    EXPECT_EQ(stored().メールアドレス, QStringLiteral("a@b.jp1"));
}

TEST_F(PhoneDialogTest, AddressWithoutAtWarnsAndTheRestIsStillChecked) {
    type(dialog->txtメールアドレス, QStringLiteral("phone.docomo.ne.jp"));
    type(dialog->txtリスト件数, QStringLiteral("71"));
    apply();
    EXPECT_EQ(
        messages(),
        (QStringList{QStringLiteral("メールアドレスにアットマーク「 @ 」 が入力されていません") +
                         kCannotStart,
                     kCountMessage}));
    ui.messages.clear();
    type(dialog->txtリスト件数, QStringLiteral("70"));
    apply();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(stored().メールアドレス, QStringLiteral("phone.docomo.ne.jp"));
    EXPECT_EQ(stored().リスト取得数, QStringLiteral("70"));
}

TEST_F(PhoneDialogTest, FinishOptionIsStoredAsAPair) {
    click(dialog->opプログラム実行);
    type(dialog->txtプログラム実行, QStringLiteral("/usr/bin/shutdown-helper"));
    apply();
    SettingsRecord r = stored();
    EXPECT_EQ(r.端末電源OFF, QStringLiteral("0"));
    EXPECT_EQ(r.端末プログラム実行, QStringLiteral("1"));
    EXPECT_EQ(r.プログラム名, QStringLiteral("/usr/bin/shutdown-helper"));
    click(dialog->op端末電源OFF);
    apply();
    r = stored();
    EXPECT_EQ(r.端末電源OFF, QStringLiteral("1"));
    EXPECT_EQ(r.端末プログラム実行, QStringLiteral("0"));
}

TEST_F(PhoneDialogTest, OkClosesAfterAFailedCheckAndCancelStoresNothing) {
    type(dialog->txtリスト件数, QStringLiteral("4"));
    click(dialog->cmdOK);
    EXPECT_EQ(messages(), QStringList{kCountMessage});
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);

    PhoneDialog other(context());
    other.show();
    type(other.txtリスト件数, QStringLiteral("60"));
    type(other.txtメールアドレス, QStringLiteral("changed@docomo.ne.jp"));
    const SettingsRecord before = 設定;
    click(other.CancelButton);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(設定, before);
    EXPECT_EQ(stored().リスト取得数, QStringLiteral("30"));
}

TEST_F(PhoneDialogTest, OkStoresAndCloses) {
    type(dialog->txtリスト件数, QStringLiteral("05"));
    click(dialog->cmdOK);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(stored().リスト取得数, QStringLiteral("05"));
    EXPECT_EQ(設定.リスト取得数, QStringLiteral("05"));
}

TEST_F(PhoneDialogTest, NumberBoxesTakeOnlyDigitsAndControlKeys) {
    NumberBox* box = dialog->txtリスト件数;
    type(box, QStringLiteral("12"));
    keys(box, QStringLiteral("a-.Z ｱ"));
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(ui.beeps, 6);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QStringLiteral("1"));
    keys(box, QStringLiteral("１"));
    EXPECT_EQ(box->text(), QStringLiteral("1１"));
    EXPECT_EQ(ui.beeps, 6);
    // The address and program boxes take anything.
    keys(dialog->txtメールアドレス, QStringLiteral("-."));
    EXPECT_TRUE(dialog->txtメールアドレス->text().endsWith(QStringLiteral("-.")));
    EXPECT_EQ(ui.beeps, 6);
}

TEST_F(PhoneDialogTest, FullWidthDigitsAreNotConvertedHere) {
    type(dialog->txtリスト件数, QStringLiteral("１５"));
    apply();
    EXPECT_EQ(messages(), QStringList{kCountMessage});
}

TEST_F(PhoneDialogTest, UpDownStepsTheBoxWithinItsRange) {
    type(dialog->txt端末1行文字数, QStringLiteral("29"));
    click(dialog->updn端末1行文字数->upButton);
    EXPECT_EQ(dialog->txt端末1行文字数->text(), QStringLiteral("30"));
    click(dialog->updn端末1行文字数->upButton);
    EXPECT_EQ(dialog->txt端末1行文字数->text(), QStringLiteral("30"));
    type(dialog->txtリスト件数, QStringLiteral("05"));
    click(dialog->UpDnリスト行数->downButton);
    EXPECT_EQ(dialog->txtリスト件数->text(), QStringLiteral("5"));
    click(dialog->UpDnリスト行数->downButton);
    EXPECT_EQ(dialog->txtリスト件数->text(), QStringLiteral("5"));
}

TEST_F(PhoneDialogTest, ChooserStartsAtTheLogPathAndCancellingKeepsTheProgram) {
    type(dialog->txtプログラム実行, QStringLiteral("/opt/tool"));
    QWidget* owner = nullptr;
    FileFilter filter;
    QString initial;
    QString answer;
    dialog->ファイル選択 = [&](QWidget* o, const FileFilter& f, const QString& i) {
        owner = o;
        filter = f;
        initial = i;
        return answer;
    };
    click(dialog->Command1);
    EXPECT_EQ(owner, dialog.get());
    EXPECT_EQ(filter.description, QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.TXT)"));
    EXPECT_EQ(filter.pattern, QStringLiteral("*.txt"));
    EXPECT_EQ(initial, 既定ログファイルパス(dir.path()));
    EXPECT_EQ(dialog->txtプログラム実行->text(), QStringLiteral("/opt/tool"));
    apply();
    EXPECT_EQ(stored().プログラム名, QStringLiteral("/opt/tool"));

    answer = dir.filePath(QStringLiteral("run.txt"));
    click(dialog->Command1);
    EXPECT_EQ(dialog->txtプログラム実行->text(), answer);
}

TEST_F(PhoneDialogTest, FailedSaveIsToldAndKeepsTheDialogOpen) {
    ASSERT_TRUE(QFile::setPermissions(設定.設定ファイルパス, QFile::ReadOwner | QFile::ReadGroup));
    const QByteArray before = file();
    type(dialog->txtリスト件数, QStringLiteral("40"));
    click(dialog->cmdOK);
    ASSERT_EQ(ui.messages.size(), 1u);
    const QString text = ui.messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("設定を保存できませんでした。\r\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(設定.設定ファイルパス)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("読み取り専用"))) << text.toStdString();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(設定.リスト取得数, QStringLiteral("40"));
    EXPECT_EQ(file(), before);
    QFile::setPermissions(設定.設定ファイルパス, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(PhoneDialogTest, HasARoundedOutlineAndSitsInTheMiddleOfTheScreen) {
    EXPECT_FALSE(dialog->mask().isEmpty());
    const QRect screen = dialog->screen()->geometry();
    EXPECT_NEAR(dialog->x(), screen.x() + (screen.width() - dialog->width()) / 2, 1);
    EXPECT_NEAR(dialog->y(), screen.y() + (screen.height() - dialog->height()) / 2, 1);
}

} // namespace
} // namespace kelvo
