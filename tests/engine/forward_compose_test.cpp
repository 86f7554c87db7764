// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/error.h"
#include "engine/forward_compose.h"
#include "engine/forward_text.h"
#include "engine/subject_list.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

QStringList lines(int count, int bytes) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString(bytes, QChar(u'a' + i));
    return out;
}

TEST(ForwardCompose, BodyLinesDropEmptyAndLoneCrButKeepBlanks) {
    EXPECT_EQ(本文行("A\r\n\r\nB"), (QStringList{"A", "B"}));
    EXPECT_EQ(本文行("A\r\n\r\r\n  \r\nB\r\n"), (QStringList{"A", "  ", "B"}));
    EXPECT_EQ(本文行(""), QStringList());
    EXPECT_EQ(本文行("\r\n\r\n"), QStringList());
    // Only CR LF cuts a line.
    EXPECT_EQ(本文行("a\nb\rc"), QStringList{"a\nb\rc"});
}

TEST(ForwardCompose, UnsplitTextWithAndWithoutBreaks) {
    const QStringList ab{"A", "B"};
    EXPECT_EQ(分割なし本文(ab, false), "\r\nA\r\nB\r\n");
    EXPECT_EQ(分割なし本文(ab, true), "AB");
    EXPECT_EQ(分割なし本文({}, false), "\r\n");
    EXPECT_EQ(分割なし本文({}, true), "");
}

TEST(ForwardCompose, ReceivedTimeHasDayWithoutZeroAndTwoDigitTime) {
    EXPECT_EQ(受信日時(QDateTime(QDate(2026, 12, 6), QTime(9, 5))), "6日09時05分");
    EXPECT_EQ(受信日時(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))), "31日23時59分");
    EXPECT_EQ(受信日時(QDateTime(QDate(2026, 1, 1), QTime(0, 0))), "1日00時00分");
}

TEST(ForwardCompose, PartsOfTheLimitExample) {
    // Budget 440 for the first part, 500 for the others, ten lines of 100 bytes.
    const QStringList parts = 分割(lines(10, 100), 440, 500, 5, "\r\n");
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0].count("\r\n"), 3); // four lines
    EXPECT_EQ(parts[1].count("\r\n"), 3); // four lines: the fifth would leave 0
    EXPECT_EQ(parts[2].count("\r\n"), 1);
    EXPECT_TRUE(parts[0].startsWith(QString(100, u'a')));
    EXPECT_TRUE(parts[2].endsWith(QString(100, u'j')));
    EXPECT_FALSE(parts[2].endsWith("\r\n"));
    // Without line breaks the lines of a part run together.
    const QStringList joined = 分割(lines(10, 100), 440, 500, 0, QString());
    ASSERT_EQ(joined.size(), 3);
    EXPECT_EQ(joined[0].size(), 400);
}

TEST(ForwardCompose, TwoBytesMustStayForALineToJoin) {
    EXPECT_EQ(分割(lines(2, 10), 22, 22, 0, "").size(), 1); // 22-10-10 = 2 stays
    EXPECT_EQ(分割(lines(2, 10), 21, 21, 0, "").size(), 2); // 1 would stay
    // Full-width characters count two bytes each.
    EXPECT_EQ(分割({"あいう", "えお"}, 12, 12, 0, "").size(), 1);
    EXPECT_EQ(分割({"あいう", "えお"}, 11, 11, 0, "").size(), 2);
}

TEST(ForwardCompose, MaxPartsStopsAndLeavesTheRest) {
    const QStringList parts = 分割(lines(10, 100), 440, 500, 2, "\r\n");
    ASSERT_EQ(parts.size(), 2);
    EXPECT_FALSE(parts[1].contains(QString(100, u'i')));
    EXPECT_EQ(分割(lines(10, 100), 440, 500, -3, "").size(), 3); // below 1: no limit
}

TEST(ForwardCompose, FirstLineLongerThanTheBudgetGoesAlone) {
    const QStringList parts = 分割({QString(900, u'x'), "b", "c"}, 440, 500, 0, "\r\n");
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0], QString(900, u'x'));
    EXPECT_EQ(parts[1], "b\r\nc");
    // A header longer than the limit leaves a negative budget: still one line in the first part.
    EXPECT_EQ(分割({"a", "b"}, -50, 500, 0, "").first(), "a");
}

TEST(ForwardCompose, MoreThanThePartTableRaisesWithoutNoLimit) {
    const QStringList many = lines(400, 1);
    EXPECT_EQ(分割(many, 1, 1, 301, "").size(), 301);
    try {
        分割(many, 1, 1, 0, "");
        FAIL() << "no error";
    } catch (const KelvoError& e) {
        EXPECT_EQ(e.number(), 9);
    }
}

TEST(ForwardText, OneLineTurnsBreaksAndControlsIntoBlanks) {
    EXPECT_EQ(一行化("a\r\nBcc: x@y\tz"), "a  Bcc: x@y z");
    EXPECT_EQ(一行化(QString::fromUtf16(u"a\u2028b\u0085c")), "a b c");
    EXPECT_EQ(一行化("件名　そのまま"), "件名　そのまま");
}

TEST(ForwardText, FirstCharactersNeverSplitASurrogatePair) {
    EXPECT_EQ(先頭文字("あいうえおかきく", 6), "あいうえおか");
    EXPECT_EQ(先頭文字("abc", 6), "abc");
    const QString emoji = QString::fromUtf16(u"😀😀😀😀😀😀😀");
    EXPECT_EQ(先頭文字(emoji, 6).size(), 12);
    EXPECT_EQ(先頭文字(QString::fromUtf16(u"abcde😀x"), 6), QString::fromUtf16(u"abcde😀"));
    EXPECT_EQ(先頭文字("abc", 0), "");
    EXPECT_EQ(先頭文字("abc", -1), "");
}

TEST(ForwardText, FullWidthDigitsAndWholeNumbers) {
    EXPECT_EQ(全角化("12"), QString::fromUtf16(u"１２"));
    EXPECT_EQ(全角化("2.5"), QString::fromUtf16(u"２．５"));
    EXPECT_EQ(整数値("250"), 250);
    EXPECT_EQ(整数値("2.5"), 2); // halves to even
    EXPECT_EQ(整数値("3.5"), 4);
    EXPECT_EQ(整数値("abc"), 0);
    EXPECT_EQ(整数値("99999999999999999999999"), 9007199254740992LL); // no overflow
}

TEST(ForwardText, ListKeysFromTheNumericValue) {
    EXPECT_EQ(リストキー(3), QString::fromUtf16(u"件名３"));
    EXPECT_EQ(リストキー(12), QString::fromUtf16(u"件名１２"));
    EXPECT_EQ(リストキー(100), QString::fromUtf16(u"件名１００"));
    EXPECT_EQ(リストキー(2.5), QString::fromUtf16(u"件名２．５"));
}

} // namespace
} // namespace kelvo::test
