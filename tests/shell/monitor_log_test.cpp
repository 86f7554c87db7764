#include "common/cp932.h"
#include "fakes.h"
#include "shell/log_file.h"
#include "shell/monitor.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

TEST(MonitorLine, TimePrefixAcrossMidnight) {
    VirtualClock clock(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 30)));
    FakeWindow window(clock);
    window.モニター行追加(QStringLiteral("サーバーに接続"), false);
    clock.advance(40);
    window.モニター行追加(QStringLiteral("次"));
    EXPECT_EQ(window.monitor.at(0), QStringLiteral("   23:59    サーバーに接続"));
    EXPECT_EQ(window.monitor.at(1), QStringLiteral("   00:00    次"));
}

TEST(MonitorLine, ErrorLineFormat) {
    EXPECT_EQ(エラーメッセージ(QStringLiteral("接続できません"), 76),
              QStringLiteral("エラー！「接続できません(76)」"));
    VirtualClock clock(QDateTime(QDate(2026, 1, 2), QTime(9, 5)));
    FakeWindow window(clock);
    window.エラー行追加(QStringLiteral("x"), 3);
    EXPECT_EQ(window.monitor.at(0), QStringLiteral("   09:05    エラー！「x(3)」"));
}

TEST(MonitorLine, WideningExtentIsSixPixelsPerByteWithoutOverflow) {
    EXPECT_EQ(横スクロール幅(QStringLiteral("ab")), 12);
    EXPECT_EQ(横スクロール幅(QStringLiteral("あ")), 12);
    // A line of 10,000 bytes would overflow 16 bits; it is measured in full.
    EXPECT_EQ(横スクロール幅(QString(10000, u'x')), 60000);
    EXPECT_EQ(横スクロール幅(QString(1'000'000, u'あ')), 1'000'000); // clamped
}

TEST(MonitorModel, AppendsRowsInOrder) {
    MonitorModel model;
    model.append(QStringLiteral("a"));
    model.append(QStringLiteral("b"));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1)).toString(), QStringLiteral("b"));
    EXPECT_FALSE(model.data(model.index(1), Qt::EditRole).isValid());
}

namespace {

class LogFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/転送ログ.txt");
    VirtualClock clock{QDateTime(QDate(2026, 3, 4), QTime(5, 6))};
    FakeWindow window{clock};
};

} // namespace

TEST_F(LogFileTest, BlocksAreAppendedInCp932WithCrLf) {
    ログファイル書込(path, {QStringLiteral("   05:06    一行目"), QStringLiteral("   05:06    two")}, clock.now(), window);
    clock.advance(3600 * 25);
    ログファイル書込(path, {QStringLiteral("   06:06    三")}, clock.now(), window);
    EXPECT_EQ(readAll(path),
              toCp932Lossy(QStringLiteral("2026/03/04 05:06のログファイル\r\n   05:06    一行目\r\n   05:06    two\r\n\r\n"
                                          "2026/03/05 06:06のログファイル\r\n   06:06    三\r\n\r\n")));
    EXPECT_TRUE(window.monitor.isEmpty());
}

TEST_F(LogFileTest, CharacterCp932LacksIsWrittenAsQuestionMark) {
    ログファイル書込(path, {QStringLiteral("café 😀")}, clock.now(), window);
    EXPECT_EQ(readAll(path), QByteArray("2026/03/04 05:06\x82\xcc\x83\x8d\x83O\x83t\x83@\x83""C\x83\x8b\r\ncaf? ?\r\n\r\n"));
}

TEST_F(LogFileTest, MissingDirectoryGivesOneErrorLineAndNoFile) {
    const QString bad = dir.path() + QStringLiteral("/none/log.txt");
    ログファイル書込(bad, {QStringLiteral("x")}, clock.now(), window);
    EXPECT_FALSE(QFile::exists(bad));
    ASSERT_EQ(window.monitor.size(), 1);
    EXPECT_TRUE(window.monitor.at(0).contains(QStringLiteral("エラー！「")));
    EXPECT_TRUE(window.monitor.at(0).contains(QStringLiteral("(76)」")));
}

TEST_F(LogFileTest, FullDiskGivesOneErrorLine) {
    ログファイル書込(QStringLiteral("/dev/full"), {QStringLiteral("x")}, clock.now(), window);
    ASSERT_EQ(window.monitor.size(), 1);
    EXPECT_TRUE(window.monitor.at(0).contains(QStringLiteral("(61)」")));
}

TEST_F(LogFileTest, ReadOnlyFileIsLeftAsItWas) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes read-only files";
    ASSERT_TRUE(writeAll(path, "old\r\n"));
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    ログファイル書込(path, {QStringLiteral("x")}, clock.now(), window);
    EXPECT_EQ(readAll(path), QByteArray("old\r\n"));
    EXPECT_EQ(window.monitor.size(), 1);
}
