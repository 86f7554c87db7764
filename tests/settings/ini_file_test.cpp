// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/cp932.h"
#include "settings/ini_file.h"
#include "temp_dir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kelvo;
using kelvo::test::readAll;
using kelvo::test::writeAll;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/test.ini");

    void write(const QString& text) { ASSERT_TRUE(writeAll(path, toCp932Lossy(text))); }
    QString read(const QString& s, const QString& k, const QString& d = QStringLiteral("DEF")) {
        return INI読込(s, k, d, path);
    }
};

} // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("DEF"));
    write(QStringLiteral("[S]\r\nk=1\r\n"));
    EXPECT_EQ(read(QStringLiteral("T"), QStringLiteral("k")), QStringLiteral("DEF"));
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("x")), QStringLiteral("DEF"));
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("1"));
}

TEST_F(IniFileTest, EmptyValueIsEmptyNotDefault) {
    write(QStringLiteral("[その他]\r\n切断時間=\r\n"));
    EXPECT_EQ(read(QStringLiteral("その他"), QStringLiteral("切断時間"), QStringLiteral("0")), QString());
}

TEST_F(IniFileTest, BlanksAroundValuesKeysAndSectionsAreRemoved) {
    write(QStringLiteral(" [ 基本設定 ] \r\n  メールチェック間隔  =  15  \r\nx=\t7\t\r\n"));
    EXPECT_EQ(read(QStringLiteral("基本設定"), QStringLiteral("メールチェック間隔")), QStringLiteral("15"));
    EXPECT_EQ(read(QStringLiteral("基本設定"), QStringLiteral("x")), QStringLiteral("7"));
    // The default is trimmed as well.
    EXPECT_EQ(read(QStringLiteral("基本設定"), QStringLiteral("y"), QStringLiteral("  d  ")), QStringLiteral("d"));
}

TEST_F(IniFileTest, AsciiLetterCaseOfNamesDoesNotMatter) {
    write(QStringLiteral("[Section]\r\nCCフラグ=1\r\n"));
    EXPECT_EQ(read(QStringLiteral("SECTION"), QStringLiteral("ccフラグ")), QStringLiteral("1"));
}

TEST_F(IniFileTest, LongValueIsCutTo255BytesNeverInsideACharacter) {
    write(QStringLiteral("[S]\r\nk=") + QString(300, u'a') + QStringLiteral("\r\nj=") +
          QString(127, u'b') + QString(10, u'あ') + QStringLiteral("\r\n"));
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("k")), QString(255, u'a'));
    // 127 + 2 × 64 = 255: the 64th "あ" ends exactly at the limit; with 1 more byte before it
    // the character would straddle it and is dropped whole.
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("j")), QString(127, u'b') + QString(10, u'あ'));
    write(QStringLiteral("[S]\r\nj=") + QString(128, u'b') + QString(100, u'あ') + QStringLiteral("\r\n"));
    const QString v = read(QStringLiteral("S"), QStringLiteral("j"));
    EXPECT_EQ(v, QString(128, u'b') + QString(63, u'あ'));
    EXPECT_EQ(バイト長(v), 254);
}

TEST_F(IniFileTest, CommentLinesAreNotKeys) {
    write(QStringLiteral("[S]\r\n;k=comment\r\n#k=also\r\nk=real\r\n"));
    EXPECT_EQ(read(QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("real"));
}

TEST_F(IniFileTest, WriteReplacesInPlaceAndKeepsOtherLinesByteForByte) {
    const QByteArray original = toCp932Lossy(
        QStringLiteral("; 手で書いたコメント\r\n[A]\r\nfirst=1\r\nunknown = keep  me\r\nlast=3\r\n\r\n[B]\r\nz=9\r\n"));
    ASSERT_TRUE(writeAll(path, original));
    ASSERT_TRUE(INI書込(QStringLiteral("A"), QStringLiteral("first"), QStringLiteral("新しい"), path));
    const QByteArray expected = toCp932Lossy(
        QStringLiteral("; 手で書いたコメント\r\n[A]\r\nfirst=新しい\r\nunknown = keep  me\r\nlast=3\r\n\r\n[B]\r\nz=9\r\n"));
    EXPECT_EQ(readAll(path), expected);
}

TEST_F(IniFileTest, NewKeyGoesAfterTheLastLineOfItsSectionAndNewSectionAtTheEnd) {
    write(QStringLiteral("[A]\r\na=1\r\n\r\n[B]\r\nb=2"));
    ASSERT_TRUE(INI書込(QStringLiteral("A"), QStringLiteral("a2"), QStringLiteral("x"), path));
    ASSERT_TRUE(INI書込(QStringLiteral("C"), QStringLiteral("c"), QStringLiteral("y"), path));
    ASSERT_TRUE(INI書込(QStringLiteral("B"), QStringLiteral("b2"), QString(), path));
    EXPECT_EQ(fromCp932(readAll(path)),
              QStringLiteral("[A]\r\na=1\r\na2=x\r\n\r\n[B]\r\nb=2\r\nb2=\r\n[C]\r\nc=y\r\n"));
}

TEST_F(IniFileTest, NewFileHasSectionsFollowedDirectlyByKeysInCp932) {
    IniDocument doc = IniDocument::load(path);
    doc.setValue(QStringLiteral("携帯電話の設定"), QStringLiteral("メールアドレス"), QString());
    doc.setValue(QStringLiteral("基本設定"), QStringLiteral("最大分割数"), QStringLiteral("5"));
    ASSERT_TRUE(doc.save(path));
    EXPECT_EQ(readAll(path), toCp932Lossy(QStringLiteral(
                                 "[携帯電話の設定]\r\nメールアドレス=\r\n[基本設定]\r\n最大分割数=5\r\n")));
}

TEST_F(IniFileTest, ValueCp932LacksTurnsTheWholeFileIntoUtf8AndReadsBack) {
    write(QStringLiteral("[その他]\r\nプロファイル名=既定\r\n"));
    ASSERT_TRUE(INI書込(QStringLiteral("その他"), QStringLiteral("ログファイルパス"),
                        QStringLiteral("/home/josé/転送ログ.txt"), path));
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(QString::fromUtf8(bytes),
              QStringLiteral("[その他]\r\nプロファイル名=既定\r\nログファイルパス=/home/josé/転送ログ.txt\r\n"));
    EXPECT_EQ(read(QStringLiteral("その他"), QStringLiteral("ログファイルパス")),
              QStringLiteral("/home/josé/転送ログ.txt"));
    EXPECT_EQ(read(QStringLiteral("その他"), QStringLiteral("プロファイル名")), QStringLiteral("既定"));
    // Once the value can be written in CP932 again, the file goes back to CP932.
    ASSERT_TRUE(INI書込(QStringLiteral("その他"), QStringLiteral("ログファイルパス"), QStringLiteral("/tmp/ログ.txt"), path));
    EXPECT_EQ(readAll(path), toCp932Lossy(QStringLiteral(
                                 "[その他]\r\nプロファイル名=既定\r\nログファイルパス=/tmp/ログ.txt\r\n")));
}

TEST_F(IniFileTest, BytesValidInNoCodePageSurviveAWriteElsewhere) {
    const QByteArray original("[A]\r\nodd=\xff\xfe\x80\r\nk=1\r\n");
    ASSERT_TRUE(writeAll(path, original));
    ASSERT_TRUE(INI書込(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), path));
    EXPECT_EQ(readAll(path), QByteArray("[A]\r\nodd=\xff\xfe\x80\r\nk=2\r\n"));
}

// A UTF-8 character cut off at the very end made the file pass for UTF-8 until a write put a
// line end after it, and the next read took the whole file for CP932.
TEST_F(IniFileTest, FileEndingInsideAUtf8CharacterIsNotUtf8) {
    const QByteArray cut =
        QStringLiteral("[携帯電話の設定]\nメールアドレス=a\n[X]\nk=あ").toUtf8().chopped(1);
    ASSERT_TRUE(writeAll(path, cut));
    const QString before = read(QStringLiteral("携帯電話の設定"), QStringLiteral("メールアドレス"));
    EXPECT_EQ(before, QStringLiteral("DEF"));
    ASSERT_TRUE(INI書込(QStringLiteral("X"), QStringLiteral("n"), QStringLiteral("1"), path));
    EXPECT_EQ(read(QStringLiteral("携帯電話の設定"), QStringLiteral("メールアドレス")), before);
}

TEST_F(IniFileTest, LfOnlyFileIsReadAndWrittenBackWithCrLf) {
    ASSERT_TRUE(writeAll(path, "[A]\nk=1\n"));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("1"));
    ASSERT_TRUE(INI書込(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), path));
    EXPECT_EQ(readAll(path), QByteArray("[A]\r\nk=2\r\n"));
}

TEST_F(IniFileTest, FileWithWriteBitsClearIsNotReplaced) {
    write(QStringLiteral("[A]\r\nk=1\r\n"));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
    QString reason;
    EXPECT_FALSE(INI書込(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), path, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("読み取り専用")));
    EXPECT_EQ(readAll(path), QByteArray("[A]\r\nk=1\r\n"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(IniFileTest, SaveKeepsTheFilesPermissions) {
    write(QStringLiteral("[A]\r\nk=1\r\n"));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(INI書込(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), path));
    EXPECT_EQ(QFile::permissions(path) & 0x7077, // owner, group and others, not the "user" view
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(IniFileTest, SaveKilledBeforeItsRenameLeavesTheOldFileWhole) {
    const QByteArray original("[A]\r\nk=old\r\n");
    ASSERT_TRUE(writeAll(path, original));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            iniSaveBeforeCommitHook = [] { ::_exit(3); };
            INI書込(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("new"), path);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("old"));
}

TEST_F(IniFileTest, DirectoryThatCannotBeCreatedIsAnError) {
    QString reason;
    EXPECT_FALSE(INI書込(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("1"),
                         QStringLiteral("/dev/null/sub/test.ini"), &reason));
    EXPECT_FALSE(reason.isEmpty());
}
