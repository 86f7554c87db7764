// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/cp932.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(ByteLength, CountsHalfWidthOneAndFullWidthTwo) {
    EXPECT_EQ(バイト長(QString()), 0);
    EXPECT_EQ(バイト長(QStringLiteral("abc")), 3);
    EXPECT_EQ(バイト長(QStringLiteral("あいう")), 6);
    EXPECT_EQ(バイト長(QStringLiteral("ｱｲｳ")), 3); // half-width katakana
    EXPECT_EQ(バイト長(QStringLiteral("件名１")), 6);
}

TEST(ByteLength, CharacterCp932LacksCountsOne) {
    EXPECT_EQ(バイト長(QStringLiteral("é")), 1);
    EXPECT_EQ(バイト長(QStringLiteral("a😀b")), 3); // a surrogate pair is one character
}

TEST(ByteLength, LongTextDoesNotOverflowSixteenBits) {
    const QString text(40000, QChar(u'あ'));
    EXPECT_EQ(バイト長(text), 80000);
}

TEST(ByteCut, NeverSplitsADoubleByteCharacter) {
    const QString text = QString(254, u'a') + QStringLiteral("あい");
    const QString cut = バイト数で切る(text, 255);
    EXPECT_EQ(cut, QString(254, u'a'));
    EXPECT_EQ(バイト数で切る(QString(255, u'a') + u'b', 255), QString(255, u'a'));
    EXPECT_EQ(バイト数で切る(QStringLiteral("abc"), 255), QStringLiteral("abc"));
}

TEST(ByteCut, NeverSplitsASurrogatePair) {
    const QString text = QString(254, u'a') + QStringLiteral("😀x");
    EXPECT_EQ(バイト数で切る(text, 255), QString(254, u'a') + QStringLiteral("😀"));
    EXPECT_EQ(バイト数で切る(text, 254), QString(254, u'a'));
}

TEST(Cp932, RoundTripsJapanese) {
    const QString text = QStringLiteral("転送ログ ｶﾅ ①～");
    const auto bytes = toCp932(text);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(fromCp932(*bytes), text);
    EXPECT_EQ(*bytes, QByteArray("\x93\x5d\x91\x97\x83\x8d\x83\x4f\x20\xb6\xc5\x20\x87\x40\x81\x60"));
}

TEST(Cp932, LossyWritesQuestionMarkForMissingCharacters) {
    EXPECT_FALSE(toCp932(QStringLiteral("café")).has_value());
    EXPECT_EQ(toCp932Lossy(QStringLiteral("café😀あ")), QByteArray("caf??\x82\xa0"));
}

TEST(Cp932, InvalidBytesDecodeToReplacementCharacter) {
    const QString s = fromCp932(QByteArray("a\xff" "b\x82"));
    EXPECT_EQ(s.at(0), u'a');
    EXPECT_EQ(s.at(1), QChar(0xFFFD));
    EXPECT_EQ(s.at(2), u'b');
    EXPECT_EQ(s.at(3), QChar(0xFFFD));
}
