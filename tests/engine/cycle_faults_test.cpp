// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The cycle and the phone's requests when their files are damaged: a setting.ini that is
// text in no code page, a list.ini cut short.

#include "common/cp932.h"
#include "engine/forwarding_cycle.h"
#include "engine/schedule.h"
#include "engine/subject_list.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "forward_fixture.h"
#include "light_window.h"
#include "settings/ini_file.h"
#include "temp_dir.h"

namespace kelvo::test {
namespace {

class CycleFaultTest : public ForwardTest {
protected:
    CycleFaultTest() {
        設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
        ctx.設定ディレクトリ = dir.path();
        ctx.システム = &sys;
        cycleWindow.addressBox = kPhone;
    }
    void runFor(double seconds) {
        clock.at(clock.now().addMSecs(static_cast<qint64>(seconds * 1000)),
                 [this] { 状態.停止要求フラグ = 1; });
        自動転送開始(cycle);
    }

    FakeSystemControl sys{&clock};
    FakeCycleWindow cycleWindow;
    WeeklySchedule schedule{clock};
    CycleContext cycle{ctx, sys, cycleWindow, schedule};
};

TEST_F(CycleFaultTest, SettingsFileInNoCodePageIsAnErrorLineAtEachStartAndForwardingGoesOn) {
    ASSERT_TRUE(設定書込(設定));
    const QByteArray line = toCp932Lossy(QStringLiteral("件名フィルタ="));
    QByteArray bytes = readAll(設定.設定ファイルパス);
    bytes.replace(line, line + "\x81\x0b");
    bytes.prepend("; \xfc\x10\r\n");
    ASSERT_TRUE(writeAll(設定.設定ファイルパス, bytes));
    add(QStringLiteral("会議"), -1);

    runFor(10);
    QStringList errors = errorLines();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("setting.ini：1, ")));
    EXPECT_TRUE(errors[0].contains(QStringLiteral("行目の文字を読めません")));
    EXPECT_TRUE(errors[0].endsWith(QStringLiteral("(321)」")));
    // The rest of the file holds: the phone's address, the interval; the mail went out.
    EXPECT_EQ(設定.メールアドレス, kPhone);
    EXPECT_EQ(sentSubjects(), QStringList{QStringLiteral("会議")});
    EXPECT_EQ(readAll(設定.設定ファイルパス), bytes);

    // Each start reads the file again and says so again.
    add(QStringLiteral("報告"), 0);
    runFor(10);
    EXPECT_EQ(errorLines().size(), 2);
    EXPECT_EQ(sentSubjects(), (QStringList{QStringLiteral("会議"), QStringLiteral("報告")}));
}

class ListFileFaultTest : public ForwardTest {
protected:
    // Twenty mails and a "G": the list numbers 1 to 5 stand for the G and the four newest.
    void listFive() {
        設定.リスト取得数 = QStringLiteral("5");
        for (int i = 1; i <= 20; ++i)
            add(QStringLiteral("お知らせ%1").arg(i), -1);
        command(QStringLiteral("G"));
        pass();
        ASSERT_TRUE(errorLines().isEmpty());
        clock.advance(60);
    }
    QString listed(int number) const {
        return INI読込(kリストセクション, リストキー(number), QString(), ctx.リストファイルパス);
    }
    QString subjectOf(const QString& id) {
        return system.find(id) ? system.find(id)->summary.subject : QString();
    }
    // The subjects forwarded since the mark.
    QStringList sentSince(qsizetype mark) const { return sentSubjects().mid(mark); }
};

TEST_F(ListFileFaultTest, ListCutInsideItsLastValueIsNotUsedUntilTheNextList) {
    listFive();
    const QString fifth = listed(5);
    ASSERT_EQ(fifth, QStringLiteral("m17"));
    // Cut inside the last value: what is left would name another message, m1.
    QByteArray bytes = readAll(ctx.リストファイルパス);
    ASSERT_TRUE(bytes.endsWith("=m17\r\n"));
    bytes.chop(3);
    ASSERT_TRUE(writeAll(ctx.リストファイルパス, bytes));
    ASSERT_EQ(listed(5), QStringLiteral("m1"));
    ASSERT_NE(system.find(QStringLiteral("m1")), nullptr);

    qsizetype mark = sentSubjects().size();
    command(QStringLiteral("5"));
    pass();
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(
        errorLines()[0].contains(QStringLiteral("list.ini：一覧のファイルが途中で切れているため")))
        << errorLines()[0].toStdString();
    EXPECT_TRUE(errorLines()[0].endsWith(QStringLiteral("(62)」")));
    EXPECT_TRUE(sentSince(mark).isEmpty()); // neither m1 nor anything else
    EXPECT_EQ(readAll(ctx.リストファイルパス), bytes);

    // The next list rewrites the file whole, and a request works again.
    clock.advance(60);
    command(QStringLiteral("G"));
    pass();
    const QByteArray rewritten = readAll(ctx.リストファイルパス);
    EXPECT_TRUE(rewritten.endsWith("\r\n"));
    EXPECT_FALSE(fromCp932(rewritten).contains(QChar::ReplacementCharacter));
    clock.advance(60);
    mark = sentSubjects().size();
    const QString wanted = subjectOf(listed(5));
    ASSERT_FALSE(wanted.isEmpty());
    command(QStringLiteral("5"));
    pass();
    EXPECT_EQ(sentSince(mark), QStringList{wanted});
    EXPECT_EQ(errorLines().size(), 1);
}

TEST_F(ListFileFaultTest, ListCutInsideADoubleByteKeyIsNotUsedEither) {
    listFive();
    QByteArray bytes = readAll(ctx.リストファイルパス);
    const QByteArray lastKey = toCp932Lossy(リストキー(5));
    bytes.truncate(bytes.lastIndexOf(lastKey) + 3); // "件" and half of "名"
    ASSERT_TRUE(writeAll(ctx.リストファイルパス, bytes));
    const qsizetype mark = sentSubjects().size();
    command(QStringLiteral("2"));
    pass();
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(sentSince(mark).isEmpty());
}

TEST_F(ListFileFaultTest, ListCutAtTheEndOfALineIsAShorterList) {
    listFive();
    QByteArray bytes = readAll(ctx.リストファイルパス);
    bytes.truncate(bytes.indexOf(toCp932Lossy(リストキー(3))));
    ASSERT_TRUE(writeAll(ctx.リストファイルパス, bytes));
    const QString second = subjectOf(listed(2));
    const qsizetype mark = sentSubjects().size();
    command(QStringLiteral("2 4"));
    pass();
    EXPECT_TRUE(errorLines().isEmpty());
    // Number 4 is no longer in the file and finds nothing; number 2 is forwarded.
    EXPECT_EQ(sentSince(mark), QStringList{second});
}

class RequestFaultTest : public ListFileFaultTest {};

TEST_F(RequestFaultTest, RequestThatFailsLeavesAMailBeingRetriedUnread) {
    const QString id = add(QStringLiteral("会議"), -1);
    command(QStringLiteral("G"));
    system.failNext(QStringLiteral("send"), mailError(mailerr::TimedOut), true);
    pass(); // the forward fails; the list is written although its mail cannot go
    ASSERT_EQ(listed(2), id);
    clock.advance(600);
    command(QStringLiteral("2"));
    pass(); // the forward fails again, and so does the phone's request for it
    EXPECT_FALSE(system.isSeen(id));
    system.heal(QStringLiteral("send"));
    clock.advance(600);
    pass();
    EXPECT_EQ(sentSubjects(), QStringList{QStringLiteral("会議")});
    EXPECT_TRUE(system.isSeen(id));
}

TEST_F(RequestFaultTest, OldCommandThatMadeNoRequestDoesNotUndoANewerOne) {
    listFive();
    command(QStringLiteral("0")); // no request: it stays unread and comes with every pass
    pass();
    clock.advance(600);
    const QString second = subjectOf(listed(2));
    const qsizetype mark = sentSubjects().size();
    command(QStringLiteral("2"));
    pass();
    EXPECT_EQ(sentSince(mark), QStringList{second});
}

} // namespace
} // namespace kelvo::test
