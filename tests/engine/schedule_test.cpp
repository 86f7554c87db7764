// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/schedule.h"

#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Readable QStrings in failure messages.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace kelvo {
namespace {

using test::VirtualClock;

const QDate kMonday(2026, 12, 7);

QDateTime at(const QDate& day, int hour, int minute = 0, int second = 0) {
    return QDateTime(day, QTime(hour, minute, second));
}

struct Change {
    QDateTime when;
    QString state;
};

// A cycle that only does what the schedule needs: start, then one update per turn.
class ScheduleRun {
public:
    explicit ScheduleRun(const QDateTime& start) : clock(start), schedule(clock) {
        設定.スケジュール開始時 = QStringLiteral("10");
        設定.スケジュール開始分 = QStringLiteral("00");
        設定.スケジュール終了時 = QStringLiteral("18");
        設定.スケジュール終了分 = QStringLiteral("00");
    }

    void days(const char* flags) { // seven characters, Sunday first
        QString* fields[] = {&設定.スケジュール日, &設定.スケジュール月, &設定.スケジュール火,
                             &設定.スケジュール水, &設定.スケジュール木, &設定.スケジュール金,
                             &設定.スケジュール土};
        for (int d = 0; d < 7; ++d)
            *fields[d] = QString(QChar(flags[d]));
    }

    void window(const char* from, const char* to) {
        const QStringList a = QString::fromLatin1(from).split(u':');
        const QStringList b = QString::fromLatin1(to).split(u':');
        設定.スケジュール開始時 = a[0];
        設定.スケジュール開始分 = a[1];
        設定.スケジュール終了時 = b[0];
        設定.スケジュール終了分 = b[1];
    }

    void start() {
        schedule.曜日フラグ作成(設定);
        schedule.スケジュール作成(設定, clock.now());
        state = kスケジュール停止中;
    }

    // One turn: the cycle's wait, then the update.
    void turn(double seconds = 2) {
        clock.wait(seconds);
        const QString before = state;
        schedule.スケジュール状態更新(state);
        if (state != before)
            changes.push_back({clock.now(), state});
    }

    void runUntil(const QDateTime& end, double step = 2) {
        while (clock.now() < end)
            turn(step);
    }

    std::vector<QDateTime> opened() const { return moments(kスケジュール稼動中); }
    std::vector<QDateTime> closed() const { return moments(kスケジュール停止中); }

    VirtualClock clock;
    SettingsRecord 設定;
    WeeklySchedule schedule;
    QString state;
    std::vector<Change> changes;

private:
    std::vector<QDateTime> moments(const QString& s) const {
        std::vector<QDateTime> out;
        for (const Change& c : changes) {
            if (c.state == s)
                out.push_back(c.when);
        }
        return out;
    }
};

// Every opening falls within one turn after a window's start, every closing within one turn
// after its end, and they alternate.
void expectWindows(const ScheduleRun& run,
                   const std::vector<std::pair<QDateTime, QDateTime>>& windows, int turnSeconds) {
    const auto opened = run.opened();
    const auto closed = run.closed();
    ASSERT_EQ(opened.size(), windows.size());
    ASSERT_GE(closed.size(), windows.size() - 1);
    for (size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(windows[i].first.toString(Qt::ISODate).toStdString());
        EXPECT_GT(opened[i], windows[i].first);
        EXPECT_LE(opened[i], windows[i].first.addSecs(turnSeconds));
        if (i < closed.size()) {
            EXPECT_GT(closed[i], windows[i].second);
            EXPECT_LE(closed[i], windows[i].second.addSecs(turnSeconds));
        }
    }
    for (size_t i = 0; i < run.changes.size(); ++i)
        EXPECT_EQ(run.changes[i].state, i % 2 == 0 ? kスケジュール稼動中 : kスケジュール停止中);
}

TEST(DurationText, WritesDaysHoursMinutesAndSeconds) {
    EXPECT_EQ(時間表示(0), QStringLiteral("0分0秒"));
    EXPECT_EQ(時間表示(59), QStringLiteral("0分59秒"));
    EXPECT_EQ(時間表示(60), QStringLiteral("1分0秒"));
    EXPECT_EQ(時間表示(3599), QStringLiteral("59分59秒"));
    EXPECT_EQ(時間表示(3600), QStringLiteral("1時間0分0秒"));
    EXPECT_EQ(時間表示(86399), QStringLiteral("23時間59分59秒"));
    EXPECT_EQ(時間表示(86400), QStringLiteral("1日0時間0分0秒"));
    EXPECT_EQ(時間表示(86405), QStringLiteral("1日0時間0分5秒"));
    EXPECT_EQ(時間表示(90061), QStringLiteral("1日1時間1分1秒"));
    EXPECT_EQ(時間表示(604800), QStringLiteral("7日0時間0分0秒"));
}

TEST(DurationText, RoundsToTheNearestSecondAndIsEmptyWhenNegative) {
    EXPECT_EQ(時間表示(59.6), QStringLiteral("1分0秒"));
    EXPECT_EQ(時間表示(59.4), QStringLiteral("0分59秒"));
    EXPECT_EQ(時間表示(-1), QString());
    EXPECT_EQ(時間表示(-0.4), QString());
    EXPECT_EQ(時間表示(-86400), QString());
}

TEST(Schedule, DayFlagsAreOnOnlyForExactlyOne) {
    VirtualClock clock;
    WeeklySchedule schedule(clock);
    SettingsRecord s;
    s.スケジュール日 = QStringLiteral("1");
    s.スケジュール月 = QStringLiteral("0");
    s.スケジュール火 = QStringLiteral("");
    s.スケジュール水 = QStringLiteral("2");
    s.スケジュール木 = QStringLiteral("01");
    s.スケジュール金 = QStringLiteral("1");
    s.スケジュール土 = QStringLiteral("1");
    schedule.曜日フラグ作成(s);
    const std::array<QString, 7> expected = {"1", "0", "0", "0", "0", "1", "1"};
    EXPECT_EQ(schedule.曜日フラグ, expected);
}

TEST(Schedule, NoWeekdayGivesAnEmptyTableThatNeverOpens) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0000000");
    run.start();
    EXPECT_EQ(run.schedule.件数(), 0);
    EXPECT_FALSE(run.schedule.次の開始秒().has_value());
    run.runUntil(at(kMonday.addDays(8), 0), 60);
    EXPECT_TRUE(run.changes.empty());
    // The rebuild the cycle asks for on every such turn stays empty too.
    run.schedule.スケジュール再作成(run.設定);
    EXPECT_EQ(run.schedule.件数(), 0);
    EXPECT_FALSE(run.schedule.次の開始秒().has_value());
}

TEST(Schedule, TimesThatAreNoTimeOfDayOpenNothing) {
    for (const char* hour : {"24", "", "9.5", "１０", "-1"}) {
        ScheduleRun run(at(kMonday, 9));
        run.days("1111111");
        run.設定.スケジュール開始時 = QString::fromUtf8(hour);
        run.start();
        EXPECT_EQ(run.schedule.件数(), 0) << hour;
    }
}

TEST(Schedule, TableHoldsTheSevenDaysFromTheStartDayInDateOrder) {
    ScheduleRun run(at(kMonday.addDays(3), 9)); // Thursday 09:00
    run.days("1100110");                        // Sunday, Monday, Thursday, Friday
    run.start();
    ASSERT_EQ(run.schedule.件数(), 4);
    const qint64 hour = 3600, day = 86400;
    EXPECT_EQ(run.schedule.開始秒(1), 1 * hour);           // Thursday 10:00
    EXPECT_EQ(run.schedule.終了秒(1), 9 * hour);           // Thursday 18:00
    EXPECT_EQ(run.schedule.開始秒(2), day + 1 * hour);     // Friday
    EXPECT_EQ(run.schedule.開始秒(3), 3 * day + 1 * hour); // Sunday
    EXPECT_EQ(run.schedule.開始秒(4), 4 * day + 1 * hour); // Monday
    EXPECT_EQ(run.schedule.次開始番号(), 1);
    EXPECT_EQ(run.schedule.終了番号(), 1);
    EXPECT_EQ(run.schedule.開始秒(0), 0);
    EXPECT_EQ(run.schedule.開始秒(5), 0);
    // "05" and "5" are the same minute.
    run.window("9:05", "18:5");
    run.start();
    EXPECT_EQ(run.schedule.開始秒(1), 5 * 60);
    EXPECT_EQ(run.schedule.終了秒(1), 9 * hour + 5 * 60);
}

TEST(Schedule, WindowAlreadyBegunOpensOnTheFirstTurnAndClosesAfterItsEnd) {
    ScheduleRun run(at(kMonday, 12));
    run.days("0100000");
    run.start();
    EXPECT_EQ(run.schedule.開始秒(1), 0);
    EXPECT_EQ(run.schedule.終了秒(1), 6 * 3600);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール稼動中);
    run.runUntil(at(kMonday, 18));
    EXPECT_EQ(run.state, kスケジュール稼動中);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール停止中);
    // The next window is the same weekday a week later.
    EXPECT_EQ(run.schedule.次の開始秒(), 7 * 86400 - 2 * 3600);
}

TEST(Schedule, WindowAlreadyOverOpensOnTheFirstTurnAndClosesOnTheSecond) {
    ScheduleRun run(at(kMonday, 19));
    run.days("0100000");
    run.start();
    EXPECT_EQ(run.schedule.開始秒(1), 0);
    EXPECT_EQ(run.schedule.終了秒(1), 0);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール稼動中);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール停止中);
    run.runUntil(at(kMonday.addDays(7), 9), 30);
    EXPECT_EQ(run.changes.size(), 2u);
    EXPECT_EQ(run.schedule.次の開始秒(),
              at(kMonday.addDays(7), 10).toSecsSinceEpoch() - at(kMonday, 19).toSecsSinceEpoch());
    run.runUntil(at(kMonday.addDays(8), 0), 30);
    expectWindows(run,
                  {{at(kMonday, 19), at(kMonday, 19)},
                   {at(kMonday.addDays(7), 10), at(kMonday.addDays(7), 18)}},
                  30);
}

TEST(Schedule, EndBeforeStartClosesOnTheTurnAfterItOpens) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0010000"); // Tuesday
    run.window("18:00", "10:00");
    run.start();
    run.runUntil(at(kMonday.addDays(1), 18));
    EXPECT_TRUE(run.changes.empty());
    run.turn();
    EXPECT_EQ(run.state, kスケジュール稼動中);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール停止中);
    run.runUntil(at(kMonday.addDays(8), 17, 59), 30);
    EXPECT_EQ(run.changes.size(), 2u);
    run.runUntil(at(kMonday.addDays(8), 18, 1), 2);
    EXPECT_EQ(run.changes.size(), 4u);
}

TEST(Schedule, MondayToFridayRunsThroughWeekendsAndLaterWeeks) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0111110");
    run.start();
    ASSERT_EQ(run.schedule.件数(), 5);
    const int step = 20;
    run.runUntil(at(kMonday.addDays(7 * 3), 9), step);

    std::vector<std::pair<QDateTime, QDateTime>> windows;
    for (int week = 0; week < 3; ++week) {
        for (int d = 0; d < 5; ++d) {
            const QDate day = kMonday.addDays(7 * week + d);
            windows.push_back({at(day, 10), at(day, 18)});
        }
    }
    expectWindows(run, windows, step);
    for (const Change& c : run.changes) {
        EXPECT_LT(c.when.date().dayOfWeek(), 6) << c.when.toString(Qt::ISODate).toStdString();
    }
}

TEST(Schedule, CountdownOverTheWeekendPointsAtMonday) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0111110");
    run.start();
    run.runUntil(at(kMonday.addDays(4), 18, 1), 30); // Friday evening, after the last window
    EXPECT_EQ(run.state, kスケジュール停止中);
    EXPECT_EQ(run.schedule.次開始番号(), 1);
    EXPECT_EQ(run.schedule.終了番号(), 1);
    const auto next = run.schedule.次の開始秒();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(*next - run.schedule.経過秒(),
              at(kMonday.addDays(4), 18, 1).secsTo(at(kMonday.addDays(7), 10)));
    EXPECT_EQ(時間表示(static_cast<double>(*next - run.schedule.経過秒())),
              QStringLiteral("2日15時間59分0秒"));
}

TEST(Schedule, CrossesMidnightAndTheWeeksEnd) {
    // Started late on a Saturday, with windows just after midnight on Saturday, Sunday and
    // Monday: the clock crosses midnight and the week's end (Saturday to Sunday) at once.
    const QDate saturday = kMonday.addDays(5);
    ScheduleRun run(at(saturday, 23));
    run.days("1100001");
    run.window("00:10", "00:40");
    run.start();
    ASSERT_EQ(run.schedule.件数(), 3);
    EXPECT_EQ(run.schedule.開始秒(1), 0);            // Saturday's window is over already
    EXPECT_EQ(run.schedule.開始秒(2), 70 * 60);      // Sunday 00:10
    EXPECT_EQ(run.schedule.開始秒(3), 86400 + 4200); // Monday 00:10
    run.turn();
    run.turn();
    run.runUntil(at(saturday.addDays(16), 1), 10);
    std::vector<std::pair<QDateTime, QDateTime>> windows = {{at(saturday, 23), at(saturday, 23)}};
    for (int week = 0; week < 3; ++week) {
        for (int d : {1, 2, 7}) { // Sunday, Monday, then the next Saturday
            const QDate day = saturday.addDays(7 * week + d);
            if (day <= saturday.addDays(16))
                windows.push_back({at(day, 0, 10), at(day, 0, 40)});
        }
    }
    expectWindows(run, windows, 10);
}

TEST(Schedule, WindowMissedWhileTheCycleWasHeldDoesNotOpen) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0110000"); // Monday and Tuesday
    run.start();
    run.turn();
    // A modal dialog holds the cycle across Monday's whole window.
    run.turn(10 * 3600);
    EXPECT_TRUE(run.changes.empty());
    EXPECT_EQ(run.state, kスケジュール停止中);
    EXPECT_EQ(run.schedule.次開始番号(), 2);
    run.runUntil(at(kMonday.addDays(8), 19), 30);
    expectWindows(run,
                  {{at(kMonday.addDays(1), 10), at(kMonday.addDays(1), 18)},
                   {at(kMonday.addDays(7), 10), at(kMonday.addDays(7), 18)},
                   {at(kMonday.addDays(8), 10), at(kMonday.addDays(8), 18)}},
                  30);
}

TEST(Schedule, ClockJumpingWeeksAheadCatchesUpWithoutFiringPastWindows) {
    ScheduleRun run(at(kMonday, 12));
    run.days("0111110");
    run.start();
    run.turn();
    EXPECT_EQ(run.state, kスケジュール稼動中);
    // The computer sleeps for two weeks and wakes on a Monday evening.
    run.turn(14 * 86400 + 6 * 3600 + 60);
    EXPECT_EQ(run.state, kスケジュール停止中);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール停止中);
    const auto next = run.schedule.次の開始秒();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(run.schedule.開始時刻().addSecs(*next), at(kMonday.addDays(15), 10));
}

TEST(Schedule, RebuildNeverPutsAWindowIntoThePast) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0111110");
    run.start();
    run.clock.advance(2 * 86400 + 11 * 3600); // Wednesday 20:00
    run.schedule.スケジュール再作成(run.設定);
    ASSERT_EQ(run.schedule.件数(), 5);
    const qint64 elapsed = run.schedule.経過秒();
    for (int i = 1; i <= 5; ++i) {
        EXPECT_GT(run.schedule.開始秒(i), elapsed) << i;
        EXPECT_GT(run.schedule.終了秒(i), run.schedule.開始秒(i)) << i;
        if (i > 1) {
            EXPECT_GT(run.schedule.開始秒(i), run.schedule.開始秒(i - 1)) << i;
        }
    }
    // Thursday comes first, Wednesday a week later comes last.
    const QDateTime start = run.schedule.開始時刻();
    EXPECT_EQ(start.addSecs(run.schedule.開始秒(1)), at(kMonday.addDays(3), 10));
    EXPECT_EQ(start.addSecs(run.schedule.開始秒(5)), at(kMonday.addDays(9), 10));
    run.runUntil(at(kMonday.addDays(14), 0), 30);
    std::vector<std::pair<QDateTime, QDateTime>> windows;
    for (int d : {3, 4, 7, 8, 9, 10, 11}) // Thursday to the next Friday, weekend left out
        windows.push_back({at(kMonday.addDays(d), 10), at(kMonday.addDays(d), 18)});
    expectWindows(run, windows, 30);
}

TEST(Schedule, RebuildInsideAWindowOpensItAtOnce) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0001000"); // Wednesday
    run.start();
    run.clock.advance(2 * 86400 + 3 * 3600); // Wednesday 12:00
    run.schedule.スケジュール再作成(run.設定);
    run.turn();
    EXPECT_EQ(run.state, kスケジュール稼動中);
    run.runUntil(at(kMonday.addDays(2), 18, 1));
    EXPECT_EQ(run.state, kスケジュール停止中);
    EXPECT_EQ(run.schedule.開始時刻().addSecs(*run.schedule.次の開始秒()),
              at(kMonday.addDays(9), 10));
}

TEST(Schedule, RebuildPicksUpDayFlagsChangedSinceTheStart) {
    ScheduleRun run(at(kMonday, 9));
    run.days("0000000");
    run.start();
    run.turn();
    EXPECT_EQ(run.schedule.件数(), 0);
    run.days("0000100"); // Thursday switched on in the options dialog
    run.schedule.曜日フラグ作成(run.設定);
    run.schedule.スケジュール再作成(run.設定);
    ASSERT_EQ(run.schedule.件数(), 1);
    run.runUntil(at(kMonday.addDays(3), 18, 1), 30);
    expectWindows(run, {{at(kMonday.addDays(3), 10), at(kMonday.addDays(3), 18)}}, 30);
}

} // namespace
} // namespace kelvo
