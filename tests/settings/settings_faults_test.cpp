// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// setting.ini on a disk that fills up, and a setting.ini that is text in no code page.

#include "common/cp932.h"
#include "dialog_fixture.h"
#include "file_size_limit.h"
#include "settings/number_box.h"
#include "settings/phone_dialog.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <cerrno>
#include <cstring>

namespace kelvo {
namespace {

const QString kPhone = QStringLiteral("phone@docomo.ne.jp");

class SettingsFaultTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        store("携帯電話の設定", "メールアドレス", kPhone);
        before = file();
    }
    // Only setting.ini is in its folder: no temporary file of a failed save is left over.
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QByteArray before;
};

TEST_F(SettingsFaultTest, DiskFullWhileWritingAllSettingsLeavesTheOldFileWhole) {
    SettingsRecord changed = stored();
    changed.リスト取得数 = QStringLiteral("40");
    changed.件名フィルタ = QStringLiteral("広告");
    {
        test::FileSizeLimit full(64); // far less than the file
        QString reason;
        EXPECT_FALSE(設定書込(changed, &reason));
        EXPECT_TRUE(reason.contains(QDir::toNativeSeparators(設定.設定ファイルパス)))
            << reason.toStdString();
        EXPECT_TRUE(reason.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))))
            << reason.toStdString();
    }
    EXPECT_EQ(file(), before);
    EXPECT_EQ(files(), QStringList{QStringLiteral("setting.ini")});
    // With space again the same write goes through.
    ASSERT_TRUE(設定書込(changed));
    EXPECT_EQ(stored(), changed);
}

TEST_F(SettingsFaultTest, DiskFullWhenTheDialogAppliesShowsWhyAndKeepsTheDialogOpen) {
    PhoneDialog dialog(context());
    dialog.show();
    type(dialog.txtリスト件数, QStringLiteral("40"));
    {
        test::FileSizeLimit full(64);
        click(dialog.cmdApply);
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    const QString text = ui.messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("設定を保存できませんでした。\r\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(設定.設定ファイルパス)) << text.toStdString();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(file(), before);
    EXPECT_EQ(files(), QStringList{QStringLiteral("setting.ini")});
    // The box still holds the new value: applying again, with space, stores it.
    ui.messages.clear();
    click(dialog.cmdApply);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(stored().リスト取得数, QStringLiteral("40"));
    EXPECT_EQ(stored().メールアドレス, kPhone);
}

// Bytes that are neither CP932 nor UTF-8: a lead byte without its trail byte, and a lead byte
// followed by a byte that cannot trail.
const QByteArray kBadFilter = toCp932Lossy(QStringLiteral("件名フィルタ=広告")) + "\x81";
const QByteArray kBadComment = "; \x9f\x7f comment";

TEST_F(SettingsFaultTest, FileInNoCodePageIsReportedWithItsLinesAndTheRestIsRead) {
    QByteArray bytes = before;
    bytes.replace(toCp932Lossy(QStringLiteral("件名フィルタ=")), kBadFilter);
    bytes.prepend(kBadComment + "\r\n");
    ASSERT_TRUE(test::writeAll(設定.設定ファイルパス, bytes));
    ASSERT_EQ(IniDocument::load(設定.設定ファイルパス).isUtf8(), false);

    QString problem;
    SettingsRecord r;
    r.設定ファイルパス = 設定.設定ファイルパス;
    設定読込(r, dir.path(), &problem);
    const int filterLine = static_cast<int>(bytes.left(bytes.indexOf(kBadFilter)).count('\n')) + 1;
    EXPECT_EQ(problem,
              QDir::toNativeSeparators(設定.設定ファイルパス) +
                  QStringLiteral("：1, %1行目の文字を読めません（CP932でもUTF-8でもありません）")
                      .arg(filterLine));
    // Every other key reads as stored; the broken value keeps what can be read.
    EXPECT_EQ(r.メールアドレス, kPhone);
    EXPECT_EQ(r.メールチェック間隔, QStringLiteral("30"));
    EXPECT_EQ(r.件名フィルタ, QStringLiteral("広告") + QChar(QChar::ReplacementCharacter));

    // Writing every setting back, as a dialog's apply does, keeps the unreadable bytes.
    r.リスト取得数 = QStringLiteral("40");
    ASSERT_TRUE(設定書込(r));
    const QByteArray after = file();
    EXPECT_TRUE(after.startsWith(kBadComment + "\r\n"));
    EXPECT_TRUE(after.contains(kBadFilter + "\r\n"));
    EXPECT_TRUE(after.contains("=40\r\n"));
    EXPECT_EQ(stored().リスト取得数, QStringLiteral("40"));
}

TEST_F(SettingsFaultTest, ReadableFilesReportNothing) {
    QString problem = QStringLiteral("not touched");
    SettingsRecord r;
    r.設定ファイルパス = 設定.設定ファイルパス;
    設定読込(r, dir.path(), &problem);
    EXPECT_TRUE(problem.isEmpty());
    // A UTF-8 file (a value CP932 lacks) and a missing file read cleanly too.
    r.ログファイルパス = QStringLiteral("/home/josé/転送ログ.txt");
    ASSERT_TRUE(設定書込(r));
    ASSERT_TRUE(IniDocument::load(設定.設定ファイルパス).isUtf8());
    設定読込(r, dir.path(), &problem);
    EXPECT_TRUE(problem.isEmpty());
    r.設定ファイルパス = dir.filePath(QStringLiteral("none.ini"));
    設定読込(r, dir.path(), &problem);
    EXPECT_TRUE(problem.isEmpty());
}

TEST_F(SettingsFaultTest, AFileOfNothingButGarbageNamesItsFirstLines) {
    QByteArray garbage;
    for (int i = 0; i < 8; ++i)
        garbage += QByteArray("\xfc\x10\xff\xfe junk") + "\r\n";
    ASSERT_TRUE(test::writeAll(設定.設定ファイルパス, garbage));
    QString problem;
    SettingsRecord r;
    r.設定ファイルパス = 設定.設定ファイルパス;
    設定読込(r, dir.path(), &problem);
    EXPECT_TRUE(problem.endsWith(QStringLiteral(
        "：1, 2, 3, 4, 5行目ほかの文字を読めません（CP932でもUTF-8でもありません）")))
        << problem.toStdString();
    // Every key takes its value for a missing key; the garbage stays as it was on a write.
    EXPECT_EQ(r.メールアドレス, QString());
    EXPECT_EQ(r.最大分割数, QStringLiteral("7"));
    r.メールアドレス = kPhone;
    ASSERT_TRUE(設定書込(r));
    EXPECT_TRUE(file().startsWith(garbage));
    EXPECT_EQ(stored().メールアドレス, kPhone);
}

} // namespace
} // namespace kelvo
