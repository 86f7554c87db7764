// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/narrow_text.h"
#include "settings/number_box.h"

#include "dialog_fixture.h"

#include <QInputMethodEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(Cp932Code, IsTheSignedCodeOfTheCharacter) {
    EXPECT_EQ(cp932コード(U'0'), 48);
    EXPECT_EQ(cp932コード(U'9'), 57);
    EXPECT_EQ(cp932コード(U'/'), 47);
    EXPECT_EQ(cp932コード(U'\b'), 8);
    EXPECT_EQ(cp932コード(U'ｱ'), 0xB1);
    EXPECT_EQ(cp932コード(U'１'), static_cast<qint16>(0x8250));
    EXPECT_EQ(cp932コード(U'あ'), static_cast<qint16>(0x82A0));
    EXPECT_LT(cp932コード(U'漢'), 0);
    EXPECT_EQ(cp932コード(U'😀'), '?');
}

TEST(Cp932Code, NumberBoxesPassControlsDigitsAndDoubleByteCharacters) {
    for (char32_t ch : {U'\b', U'\r', U'0', U'5', U'9', U'１', U'あ'})
        EXPECT_TRUE(数字欄に通す(cp932コード(ch))) << static_cast<int>(ch);
    for (char32_t ch : {U' ', U'-', U'.', U'/', U':', U'a', U'~', U'ｱ', U'ﾟ', U'😀'})
        EXPECT_FALSE(数字欄に通す(cp932コード(ch))) << static_cast<int>(ch);
}

TEST(NumberBox, FiltersTextFromAnInputMethodCharacterByCharacter) {
    test::FakeUi ui;
    NumberBox box(ui);
    QInputMethodEvent digits;
    digits.setCommitString(QStringLiteral("１５"));
    QApplication::sendEvent(&box, &digits);
    EXPECT_EQ(box.text(), QStringLiteral("１５"));
    EXPECT_EQ(ui.beeps, 0);
    QInputMethodEvent mixed;
    mixed.setCommitString(QStringLiteral("ｱ2b"));
    QApplication::sendEvent(&box, &mixed);
    EXPECT_EQ(box.text(), QStringLiteral("１５2"));
    EXPECT_EQ(ui.beeps, 2);
}

TEST(NumberBox, KeepsShortcutsAndEditingKeys) {
    test::FakeUi ui;
    NumberBox box(ui);
    box.setText(QStringLiteral("123"));
    QTest::keyClick(&box, Qt::Key_Left);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(box.text(), QStringLiteral("12"));
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(box.text(), QString());
    EXPECT_EQ(ui.beeps, 0);
}

TEST(UpDown, StartsFromTheBoxesNumberAndKeepsToItsRange) {
    test::FakeUi ui;
    NumberBox box(ui);
    UpDown upDown(&box, 0, 3600);
    box.setText(QStringLiteral("05"));
    QTest::mouseClick(upDown.upButton, Qt::LeftButton);
    EXPECT_EQ(box.text(), QStringLiteral("6"));
    box.setText(QStringLiteral("3601"));
    upDown.stepDown();
    EXPECT_EQ(box.text(), QStringLiteral("3599"));
    box.setText(QStringLiteral("abc")); // no number: goes on from where the arrows were
    upDown.stepUp();
    EXPECT_EQ(box.text(), QStringLiteral("3600"));
    box.clear();
    upDown.stepDown();
    EXPECT_EQ(box.text(), QStringLiteral("3599"));
    UpDown hours(&box, 1, 400);
    box.clear();
    hours.stepUp();
    EXPECT_EQ(box.text(), QStringLiteral("2"));
}

TEST(NarrowText, FullWidthFormsBecomeSingleByte) {
    EXPECT_EQ(半角変換(QStringLiteral("１５")), QStringLiteral("15"));
    EXPECT_EQ(半角変換(QStringLiteral("０１２３４５６７８９")), QStringLiteral("0123456789"));
    EXPECT_EQ(半角変換(QStringLiteral("ＡＢｃ！＠～")), QStringLiteral("ABc!@~"));
    EXPECT_EQ(半角変換(QStringLiteral("１　２")), QStringLiteral("1 2"));
    EXPECT_EQ(半角変換(QStringLiteral("カタカナー。「」、・")), QStringLiteral("ｶﾀｶﾅｰ｡｢｣､･"));
    EXPECT_EQ(半角変換(QStringLiteral("ガパヴ")), QStringLiteral("ｶﾞﾊﾟｳﾞ"));
    EXPECT_EQ(半角変換(QStringLiteral("ァッ")), QStringLiteral("ｧｯ"));
}

TEST(NarrowText, LeavesWhatHasNoSingleByteForm) {
    EXPECT_EQ(半角変換(QStringLiteral("ひらがな漢字①")), QStringLiteral("ひらがな漢字①"));
    EXPECT_EQ(半角変換(QStringLiteral("250")), QStringLiteral("250"));
    EXPECT_EQ(半角変換(QStringLiteral("ｶﾀｶﾅ")), QStringLiteral("ｶﾀｶﾅ"));
    EXPECT_EQ(半角変換(QString()), QString());
}

} // namespace
} // namespace kelvo
