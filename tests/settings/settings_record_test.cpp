// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/cp932.h"
#include "settings/ini_file.h"
#include "settings/settings_record.h"
#include "temp_dir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kelvo;
using kelvo::test::readAll;
using kelvo::test::writeAll;

namespace {

const char* const kFirstStartFile = R"([携帯電話の設定]
メールアドレス=
端末1行文字数=10
リスト取得数=30
端末電源OFF=1
端末プログラム実行=0
プログラム名=
[基本設定]
自動分割フラグ=1
最大分割数=5
分割文字数=250
メールチェック間隔=30
同時接続フラグ=1
[転送メールの内容]
差出人フラグ=1
宛先フラグ=0
CCフラグ=0
改行フラグ=1
添付フラグ=1
[転送ルール]
アドレス帳フィルタ=0
アドレス帳モード=1
差出人フィルタ=0
差出人モード=0
差出人フィルタ1=
差出人フィルタ2=
差出人フィルタ3=
差出人フィルタ4=
差出人フィルタ5=
差出人フィルタ6=
差出人フィルタ7=
差出人フィルタ8=
差出人フィルタ9=
差出人フィルタ10=
件名フィルタ=
[マルチアカウント]
アカウントフィルタ=0
アカウント1=0
アカウント2=0
アカウント3=0
宛先1=
宛先2=
宛先3=
転送1=
転送2=
転送3=
[その他]
プロファイル名=Microsoft Outlook
プロファイル使用フラグ=0
自動終了フラグ=0
スケジュールフラグ=0
スケジュール開始時=10
スケジュール開始分=00
スケジュール終了時=18
スケジュール終了分=00
スケジュール日=0
スケジュール月=0
スケジュール火=0
スケジュール水=0
スケジュール木=0
スケジュール金=0
スケジュール土=0
電源OFFフラグ=0
切断時間=
ログ出力フラグ=1
ログファイルパス=%1/転送ログ.txt
ダイヤルアップフラグ=0
)";

QByteArray crlf(QString text) {
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return toCp932Lossy(text);
}

class SettingsRecordTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/setting.ini");
    SettingsRecord record;

    void SetUp() override { record.設定ファイルパス = path; }
    void write(const QString& text) { ASSERT_TRUE(writeAll(path, crlf(text))); }
    void readAllSettings() { 設定読込(record, dir.path()); }
};

} // namespace

TEST_F(SettingsRecordTest, FirstStartFileHasEverySectionAndKeyInTableOrder) {
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    EXPECT_EQ(readAll(path), crlf(QString::fromUtf8(kFirstStartFile).arg(dir.path())));
    EXPECT_EQ(settingKeys().size(), 61u);
}

TEST_F(SettingsRecordTest, ReadAllAfterFirstStartYieldsTheFirstStartValues) {
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    readAllSettings();
    EXPECT_EQ(record.最大分割数, QStringLiteral("5"));
    EXPECT_EQ(record.添付フラグ, QStringLiteral("1"));
    EXPECT_EQ(record.スケジュール開始時, QStringLiteral("10"));
    EXPECT_EQ(record.スケジュール開始分, QStringLiteral("00"));
    EXPECT_EQ(record.切断時間, QString());
    EXPECT_EQ(record.プロファイル名, QStringLiteral("Microsoft Outlook"));
    EXPECT_EQ(record.ログファイルパス, dir.path() + QStringLiteral("/転送ログ.txt"));
    for (const SettingKey& k : settingKeys()) {
        const QString v = record.*k.field;
        if (k.firstStart) {
            EXPECT_EQ(v, QString::fromUtf16(k.firstStart)) << QString::fromUtf16(k.key).toStdString();
        }
    }
}

TEST_F(SettingsRecordTest, MissingFileGivesEveryIfMissingValue) {
    readAllSettings();
    EXPECT_EQ(record.最大分割数, QStringLiteral("7"));
    EXPECT_EQ(record.添付フラグ, QStringLiteral("0"));
    EXPECT_EQ(record.スケジュール開始時, QStringLiteral("0"));
    EXPECT_EQ(record.スケジュール終了分, QStringLiteral("0"));
    EXPECT_EQ(record.切断時間, QStringLiteral("0"));
    EXPECT_EQ(record.電源OFFフラグ, QStringLiteral("0"));
    EXPECT_EQ(record.ログファイルパス, dir.path() + QStringLiteral("/転送ログ.txt"));
    EXPECT_EQ(record.メールチェック間隔, QStringLiteral("30"));
}

TEST_F(SettingsRecordTest, EmptyAndMissingKeysDiffer) {
    write(QStringLiteral("[その他]\n切断時間=\n"));
    readAllSettings();
    EXPECT_EQ(record.切断時間, QString());
    write(QStringLiteral("[その他]\nログ出力フラグ=1\n"));
    readAllSettings();
    EXPECT_EQ(record.切断時間, QStringLiteral("0"));
}

TEST_F(SettingsRecordTest, BlanksAroundAValueAreRemoved) {
    write(QStringLiteral("[基本設定]\nメールチェック間隔=  15  \n"));
    readAllSettings();
    EXPECT_EQ(record.メールチェック間隔, QStringLiteral("15"));
}

TEST_F(SettingsRecordTest, LongSubjectFilterIsReadCutTo255Bytes) {
    write(QStringLiteral("[転送ルール]\n件名フィルタ=") + QString(300, u'x') + u'\n');
    readAllSettings();
    EXPECT_EQ(record.件名フィルタ, QString(255, u'x'));
}

TEST_F(SettingsRecordTest, WriteAllAppendsMissingKeysAtTheEndOfTheirSectionAndKeepsUnknownLines) {
    write(QStringLiteral("; kept comment\n[基本設定]\n独自キー=そのまま\nメールチェック間隔=15\n\n[その他]\nログ出力フラグ=0\n"));
    readAllSettings();
    record.メールアドレス = QStringLiteral("phone@example.jp");
    ASSERT_TRUE(設定書込(record));
    const QString text = fromCp932(readAll(path));
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "; kept comment\r\n[基本設定]\r\n独自キー=そのまま\r\nメールチェック間隔=15\r\n"
        "自動分割フラグ=1\r\n分割文字数=250\r\n最大分割数=7\r\n同時接続フラグ=1\r\n\r\n[その他]\r\n"
        "ログ出力フラグ=0\r\nプロファイル使用フラグ=0\r\nプロファイル名=Microsoft Outlook\r\n")))
        << text.toStdString();
    // Sections the file lacked come at the end, in section order.
    const qsizetype phone = text.indexOf(QStringLiteral("[携帯電話の設定]\r\nメールアドレス=phone@example.jp\r\n"));
    const qsizetype content = text.indexOf(QStringLiteral("[転送メールの内容]\r\n宛先フラグ=0\r\nCCフラグ=0\r\n添付フラグ=0\r\n差出人フラグ=1\r\n改行フラグ=1\r\n"));
    const qsizetype rules = text.indexOf(QStringLiteral("[転送ルール]"));
    EXPECT_GT(phone, 0);
    EXPECT_GT(content, phone);
    EXPECT_GT(rules, content);
    // Every key is present afterwards, and reads back as written.
    SettingsRecord again;
    again.設定ファイルパス = path;
    設定読込(again, dir.path());
    EXPECT_EQ(again, record);
}

TEST_F(SettingsRecordTest, WriteAllWithoutChangesLeavesTheFileByteForByte) {
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    const QByteArray before = readAll(path);
    readAllSettings();
    ASSERT_TRUE(設定書込(record));
    EXPECT_EQ(readAll(path), before);
}

TEST_F(SettingsRecordTest, WriteAllOnReadOnlyFileFailsAndKeepsTheFile) {
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    const QByteArray before = readAll(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    readAllSettings();
    record.メールアドレス = QStringLiteral("phone@example.jp");
    QString reason;
    EXPECT_FALSE(設定書込(record, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("setting.ini")));
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(record.メールアドレス, QStringLiteral("phone@example.jp")); // the record keeps it
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(SettingsRecordTest, WriteAllKilledPartWayLeavesTheOldFile) {
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    const QByteArray before = readAll(path);
    readAllSettings();
    record.メールアドレス = QStringLiteral("phone@example.jp");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            iniSaveBeforeCommitHook = [] { ::_exit(4); };
            設定書込(record);
        },
        ::testing::ExitedWithCode(4), "");
    EXPECT_EQ(readAll(path), before);
}

TEST_F(SettingsRecordTest, LogPathWithAccentIsKeptThroughUtf8) {
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    readAllSettings();
    record.ログファイルパス = QStringLiteral("/home/josé/転送ログ.txt");
    ASSERT_TRUE(設定書込(record));
    SettingsRecord again;
    again.設定ファイルパス = path;
    設定読込(again, dir.path());
    EXPECT_EQ(again.ログファイルパス, QStringLiteral("/home/josé/転送ログ.txt"));
    EXPECT_EQ(again.プロファイル名, QStringLiteral("Microsoft Outlook"));
}

TEST_F(SettingsRecordTest, UnreadableFileIsNotReplacedBySave) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    ASSERT_TRUE(初期設定ファイル作成(path, dir.path()));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    readAllSettings();
    EXPECT_FALSE(設定書込(record));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(SenderList, PositionsOneToTenAreTheTenKeys) {
    SettingsRecord r;
    for (int i = 1; i <= 10; ++i)
        r.差出人アドレス(i) = QString::number(i);
    EXPECT_EQ(r.差出人フィルタ1, QStringLiteral("1"));
    EXPECT_EQ(r.差出人フィルタ10, QStringLiteral("10"));
    EXPECT_EQ(r.差出人フィルタ, QString()); // the rule's flag is another field
}

TEST(NumericValue, TakesTheLeadingDecimalNumber) {
    EXPECT_EQ(数値(QStringLiteral("30")), 30);
    EXPECT_EQ(数値(QStringLiteral("05")), 5);
    EXPECT_EQ(数値(QStringLiteral("0.5")), 0.5);
    EXPECT_EQ(数値(QStringLiteral("  12abc")), 12);
    EXPECT_EQ(数値(QStringLiteral("")), 0);
    EXPECT_EQ(数値(QStringLiteral("abc")), 0);
    EXPECT_EQ(数値(QStringLiteral("１５")), 0); // full-width digits are not a number
    EXPECT_EQ(数値(QStringLiteral("-3")), -3);
    EXPECT_EQ(数値(QStringLiteral(".")), 0);
}
