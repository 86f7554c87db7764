// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/cp932.h"
#include "common/error_trap.h"
#include "fakes.h"
#include "mail/core/profiles.h"
#include "shell/log_file.h"
#include "shell/monitor.h"
#include "shell/monitor_view.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QTest>
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
    // The description is outside text (a subject, a path): never read as a template.
    EXPECT_EQ(エラーメッセージ(QStringLiteral("件名「50%1引き%2」"), 32106),
              QStringLiteral("エラー！「件名「50%1引き%2」(32106)」"));
    VirtualClock clock(QDateTime(QDate(2026, 1, 2), QTime(9, 5)));
    FakeWindow window(clock);
    window.エラー行追加(QStringLiteral("x"), 3);
    EXPECT_EQ(window.monitor.at(0), QStringLiteral("   09:05    エラー！「x(3)」"));
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

// A monitor on screen, with its lines.
struct ShownMonitor {
    ShownMonitor() {
        view.setModel(&model);
        view.resize(300, 200);
        view.show();
    }
    MonitorModel model;
    MonitorView view;
};

} // namespace

// The view keeps the newest line in sight, shows whole lines only, and finds, selects and
// paints the lines where they are drawn.
TEST(MonitorView, ScrolledToTheNewestLineAtAnyLength) {
    ShownMonitor monitor;
    MonitorModel& model = monitor.model;
    MonitorView& view = monitor.view;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (int n = 1; n <= 1000; ++n) {
        model.append(QStringLiteral("line %1").arg(n));
        view.scrollToBottom();
    }
    const QModelIndex last = model.index(999);
    const QRect shown = view.viewport()->rect();
    auto wholeLineShown = [&](const QModelIndex& index) {
        const QRect r = view.visualRect(index);
        return r.top() >= 0 && r.bottom() < view.viewport()->height();
    };
    EXPECT_TRUE(wholeLineShown(last)) << view.visualRect(last).y();
    EXPECT_FALSE(shown.intersects(view.visualRect(model.index(0))));
    EXPECT_EQ(view.indexAt(view.visualRect(last).center()), last);
    EXPECT_EQ(view.verticalScrollBar()->maximum(),
              1000 - shown.height() / view.visualRect(last).height());
    // A wide line brings the horizontal scroll bar, which takes room from the lines.
    view.widen(5000);
    model.append(QStringLiteral("wide"));
    view.scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_TRUE(wholeLineShown(model.index(1000)));

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(last).center());
    EXPECT_EQ(view.currentIndex(), last);
    EXPECT_TRUE(view.selectionModel()->isSelected(last));
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.currentIndex(), model.index(0));
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);

    // Something is drawn where the first line is.
    const QImage image = view.viewport()->grab().toImage();
    const QRect first = view.visualRect(model.index(0)).intersected(image.rect());
    bool inked = false;
    for (int x = first.left(); x < first.right() && !inked; ++x)
        for (int y = first.top(); y < first.bottom() && !inked; ++y)
            inked = image.pixel(x, y) != image.pixel(first.right() - 1, first.top());
    EXPECT_TRUE(inked);
}

TEST(MonitorView, HorizontalRangeWidensAndNeverNarrows) {
    ShownMonitor monitor;
    MonitorView& view = monitor.view;
    monitor.model.append(QString(200, u'x'));
    view.widen(1000);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 1000 - view.viewport()->width());
    view.widen(10);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 1000 - view.viewport()->width());
    view.widen(2'000'000'000);
    EXPECT_EQ(view.horizontalExtent(), 1'000'000); // clamped
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

// A password typed without "=" reaches neither the error line nor the log, and the log is
// its owner's alone.
TEST_F(LogFileTest, ABadProfilesLineLeavesNoPasswordInTheErrorLineOrTheLog) {
    const QString profiles = dir.path() + QStringLiteral("/profiles.ini");
    ASSERT_TRUE(writeAll(profiles, "[a]\nstore = /x\npassword hunter2\n"));
    QFile::setPermissions(profiles, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_FALSE(エラートラップ(window, [&] { selectProfile(profiles, QStringLiteral("a")); }));
    ログファイル書込(path, window.monitor, clock.now(), window);
    ASSERT_EQ(window.monitor.size(), 1);
    EXPECT_TRUE(window.monitor.at(0).contains(profiles + QStringLiteral("の3行目")))
        << window.monitor.at(0).toStdString();
    for (const QByteArray& text : {window.monitor.at(0).toUtf8(), readAll(path)})
        EXPECT_FALSE(text.contains("hunter2")) << text.toStdString();
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_FALSE(QFileInfo(path).permissions() & others);
}
