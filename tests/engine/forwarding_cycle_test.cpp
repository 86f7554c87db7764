// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forwarding_cycle.h"
#include "engine/push_watch.h"
#include "engine/schedule.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "first_start_settings.h"
#include "forward_fixture.h"
#include "mail/core/mail_error.h"
#include "settings/ini_file.h"
#include "settings/settings_record.h"
#include "temp_dir.h"

#include <QDir>
#include <QFile>
#include <utility>

namespace kelvo::test {
namespace {

class CycleTest : public ForwardTest {
protected:
    CycleTest() {
        cycleWindow.addressBox = kPhone;
        設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
        ctx.設定ディレクトリ = dir.path();
        ctx.システム = &sys;
        // No test may loop for ever: a week of virtual time is the most any of them needs.
        clock.at(clock.now().addDays(8), [this] { 状態.停止要求フラグ = 1; });
    }

    // Stores the record, as the dialogs would, since every start reads the file again.
    void save() { ASSERT_TRUE(設定書込(設定)); }
    // Runs the cycle from its start until it returns.
    void run() {
        save();
        自動転送開始(cycle);
    }
    void stopAfter(double seconds) {
        clock.at(clock.now().addMSecs(static_cast<qint64>(seconds * 1000)),
                 [this] { 状態.停止要求フラグ = 1; });
    }
    // The seconds from the start at which the mail system was signed on to.
    std::vector<qint64> signOnTimes() {
        std::vector<qint64> out;
        for (size_t i = 0; i < signOnAt.size(); ++i)
            out.push_back(signOnAt[i] / 1000);
        return out;
    }
    void recordSignOns() {
        system.onCall = [this](const QString& call) {
            if (call == QStringLiteral("signOn"))
                signOnAt.push_back(clock.monotonicMs());
        };
    }
    QStringList panel(const QString& key) const { return window.panelHistory.value(key); }

    FakeSystemControl sys{&clock};
    FakeCycleWindow cycleWindow;
    WeeklySchedule schedule{clock};
    CycleContext cycle{ctx, sys, cycleWindow, schedule};
    std::vector<qint64> signOnAt;
};

TEST_F(CycleTest, ShortAddressEvenWithAtSignStopsTheStartWithTheFirstMessage) {
    設定.メールアドレス = QStringLiteral("a@b.jp");
    run();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              QStringLiteral("転送先のメールアドレスが、正しくありません。\r\n入力してください。"));
    EXPECT_EQ(cycleWindow.calls, QStringList{QStringLiteral("phone dialog")});
    EXPECT_TRUE(system.calls.isEmpty());
}

TEST_F(CycleTest, AddressBoxWithoutAtSignStopsTheStartWithTheSecondMessage) {
    設定.メールアドレス = QStringLiteral("phone.docomo.ne.jp");
    cycleWindow.addressBox = 設定.メールアドレス;
    run();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(
        window.messages[0].text,
        QStringLiteral("転送先のメールアドレスにアットマーク「 @ 」 が入力されていません。\r\n"
                       "正しいメールアドレスを入力してください。"));
    EXPECT_EQ(cycleWindow.calls,
              (QStringList{QStringLiteral("address box"), QStringLiteral("phone dialog")}));
    EXPECT_TRUE(panel(kPanel次の接続まで).isEmpty());
}

TEST_F(CycleTest, StartShowsCountsMinimisesAndEntersRunningMode) {
    状態.新着メール数 = 5;
    状態.転送メール数 = 7;
    stopAfter(1);
    run();
    EXPECT_EQ(window.panels.value(kPanel新着メール数), QStringLiteral("新着メール数 :0"));
    EXPECT_EQ(window.panels.value(kPanel転送メール数), QStringLiteral("転送メール数 :0"));
    EXPECT_EQ(cycleWindow.calls,
              (QStringList{QStringLiteral("address box"), QStringLiteral("minimise"),
                           QStringLiteral("running")}));
    EXPECT_EQ(panel(kPanel次の接続まで).first(), QStringLiteral("スタート "));
    EXPECT_EQ(panel(kPanel次の接続まで).last(), QStringLiteral("停止しました。"));
}

TEST_F(CycleTest, ImmediateConnectRunsTheFirstPassAtTheFirstTurn) {
    recordSignOns();
    stopAfter(100);
    run();
    // 2 s turn, 3 s closing wait, then the 30-minute interval counted from the pass's end.
    EXPECT_EQ(signOnTimes(), std::vector<qint64>{2});
    EXPECT_TRUE(panel(kPanel次の接続まで).contains(QStringLiteral("メールチェック中")));
    EXPECT_TRUE(panel(kPanel次の接続まで).contains(QStringLiteral("メールチェック終了")));
    EXPECT_TRUE(panel(kPanel次の接続まで).contains(QStringLiteral("次の接続まで 29分58秒")));
}

TEST_F(CycleTest, WithoutImmediateConnectTheFirstPassWaitsOneInterval) {
    設定.同時接続フラグ = QStringLiteral("0");
    設定.メールチェック間隔 = QStringLiteral("1");
    recordSignOns();
    stopAfter(100);
    run();
    EXPECT_EQ(signOnTimes(), std::vector<qint64>{62});
}

TEST_F(CycleTest, IntervalZeroRunsAPassEveryFiveSeconds) {
    設定.メールチェック間隔 = QStringLiteral("0");
    recordSignOns();
    stopAfter(20);
    run();
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{2, 7, 12, 17}));
}

TEST_F(CycleTest, IntervalOfOneHalfGivesThirtySecondsAfterEachPass) {
    設定.メールチェック間隔 = QStringLiteral("0.5");
    recordSignOns();
    stopAfter(80);
    run();
    // A pass ends 3 s after it began; the next is due 30 s later, seen at the next even turn.
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{2, 37, 72}));
}

TEST_F(CycleTest, RepeatedSignOnFailureRetriesEveryTurnWithOneErrorLineEach) {
    // Once the due time has come, a failed sign-on leaves it in the past: every turn retries.
    設定.メールチェック間隔 = QStringLiteral("0");
    system.failNext(QStringLiteral("signOn"), KelvoError(2001, QStringLiteral("接続できません")),
                    true);
    stopAfter(9);
    run();
    EXPECT_EQ(errorLines().size(), 5); // turns at 2, 4, 6, 8 and 10 s
    const QStringList texts = panel(kPanel次の接続まで);
    EXPECT_EQ(texts.count(QStringLiteral("サーバーへ接続中・・・")), 5);
    // The due time lies in the past: the countdown shows nothing after its words.
    EXPECT_EQ(texts.count(QStringLiteral("次の接続まで ")), 5);
    EXPECT_FALSE(texts.contains(QStringLiteral("メールチェック中")));
}

TEST_F(CycleTest, SignOnThatWantsAPersonComesAtTheIntervalWithOneErrorLine) {
    // No token or stored password: only a person can mend it, so trying every turn would only
    // fill the monitor (and ask the token endpoint every 2 s).
    設定.メールチェック間隔 = QStringLiteral("1");
    recordSignOns();
    system.failNext(QStringLiteral("signOn"), mailError(mailerr::SignInNeeded), true);
    stopAfter(200);
    run();
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{2, 64, 126, 188}));
    EXPECT_EQ(errorLines().size(), 1);
    // A new start shows it again.
    stopAfter(70);
    run();
    EXPECT_EQ(errorLines().size(), 2);
}

TEST_F(CycleTest, RefusedSignOnComesAgainAtTheIntervalAndANetworkFailureAtTheNextTurn) {
    // A wrong password tried every 2 s gets the account locked; an unreachable server is
    // tried at every turn once the pass is due.
    設定.メールチェック間隔 = QStringLiteral("1");
    recordSignOns();
    system.failNext(QStringLiteral("signOn"), mailError(mailerr::LoginFailed), true);
    stopAfter(130);
    run();
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{2, 64, 126}));
    EXPECT_EQ(errorLines().size(), 3);

    signOnAt.clear();
    const qint64 secondStart = clock.monotonicMs() / 1000;
    system.failNext(QStringLiteral("signOn"), mailError(mailerr::ConnectionRefused), true);
    stopAfter(130);
    run();
    std::vector<qint64> everyTurn{2};
    for (qint64 t = 62; t <= 130; t += 2)
        everyTurn.push_back(t);
    std::vector<qint64> times = signOnTimes();
    for (qint64& t : times)
        t -= secondStart;
    EXPECT_EQ(times, everyTurn);
}

TEST_F(CycleTest, NewMailIsForwardedAndCountedAndStartsResetTheCounts) {
    add(QStringLiteral("会議"), -1);
    stopAfter(10);
    run();
    EXPECT_EQ(sentSubjects(), QStringList{QStringLiteral("会議")});
    EXPECT_EQ(window.panels.value(kPanel転送メール数), QStringLiteral("転送メール数 :1"));
    stopAfter(10);
    run();
    EXPECT_EQ(window.panels.value(kPanel転送メール数), QStringLiteral("転送メール数 :0"));
}

TEST_F(CycleTest, PassIsMarkedWhileItRuns) {
    std::vector<bool> during;
    system.onCall = [&](const QString& call) {
        if (call == QStringLiteral("signOn") || call == QStringLiteral("fetch"))
            during.push_back(状態.パス実行中);
    };
    stopAfter(10);
    run();
    EXPECT_EQ(during, (std::vector<bool>{true, true}));
    EXPECT_FALSE(状態.パス実行中);
}

TEST_F(CycleTest, StopDuringAPassLetsThePassFinish) {
    add(QStringLiteral("一通目"), -1);
    add(QStringLiteral("二通目"), -1);
    system.onCall = [this](const QString& call) {
        if (call == QStringLiteral("signOn"))
            状態.停止要求フラグ = 1; // the stop command, given while the pass runs
    };
    run();
    // The pass reads the stop request between messages, so it forwards nothing more, but it
    // still signs off and finishes its turn before the loop ends.
    EXPECT_EQ(system.openSessions, 0);
    EXPECT_EQ(panel(kPanel次の接続まで).last(), QStringLiteral("停止しました。"));
    EXPECT_TRUE(panel(kPanel次の接続まで).contains(QStringLiteral("メールチェック終了")));
}

TEST_F(CycleTest, StartGivenWhileAStoppedLoopFinishesItsTurnNestsAndBothEnd) {
    recordSignOns();
    int nested = 0;
    clock.at(clock.now().addSecs(10), [&] {
        状態.停止要求フラグ = 1; // stop...
        ++nested;
        stopAfter(10);
        自動転送開始(cycle); // ...and start again inside the old loop's wait
    });
    run();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{2, 12}));
    EXPECT_EQ(panel(kPanel次の接続まで).count(QStringLiteral("停止しました。")), 2);
}

TEST_F(CycleTest, ClockChangeDoesNotFireAPassEarly) {
    設定.同時接続フラグ = QStringLiteral("0");
    recordSignOns();
    clock.at(clock.now().addSecs(60), [this] { clock.setLocalTime(clock.now().addDays(1)); });
    stopAfter(600);
    run();
    EXPECT_TRUE(signOnTimes().empty());
}

TEST_F(CycleTest, FinishCommandPowersOffAfterTheMarkIsStored) {
    command(QStringLiteral("Z"));
    run();
    EXPECT_TRUE(monitorMessages().contains(QStringLiteral("端末より「Z」のメールを受信→電源OFF")));
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("shutdown")),
              QStringList{QStringLiteral("shutdown 1")});
    EXPECT_EQ(exit.ends, 1);
    EXPECT_EQ(状態.終了フラグ, 1);
    EXPECT_FALSE(panel(kPanel次の接続まで).contains(QStringLiteral("停止しました。")));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(CycleTest, FinishCommandWhoseMarkCannotBeStoredDoesNothing) {
    command(QStringLiteral("Z"));
    system.failNext(QStringLiteral("setSeen"), KelvoError(2002, QStringLiteral("保存できません")),
                    true);
    stopAfter(10);
    run();
    EXPECT_EQ(exit.ends, 0);
    EXPECT_TRUE(sys.callsStartingWith(QStringLiteral("shutdown")).isEmpty());
}

TEST_F(CycleTest, FinishCommandRunsTheProgramAndForwardingGoesOn) {
    設定.端末プログラム実行 = QStringLiteral("1");
    設定.プログラム名 = QStringLiteral("/usr/bin/backup --now");
    設定.メールチェック間隔 = QStringLiteral("0");
    command(QStringLiteral("Z"));
    stopAfter(12);
    run();
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("program")),
              QStringList{QStringLiteral("program /usr/bin/backup --now @2")});
    EXPECT_EQ(状態.終了フラグ, 0); // cleared once the program has been started
    EXPECT_EQ(monitorMessages().count(QStringLiteral("端末より「Z」のメールを受信→電源OFF")), 1);
    EXPECT_EQ(exit.ends, 0);
    EXPECT_EQ(panel(kPanel次の接続まで).last(), QStringLiteral("停止しました。"));
}

TEST_F(CycleTest, ProgramThatCannotStartIsAnErrorLineAndForwardingGoesOn) {
    設定.端末プログラム実行 = QStringLiteral("1");
    設定.プログラム名 = QStringLiteral("/no/such/program");
    sys.programResult = {false, QStringLiteral("No such file")};
    command(QStringLiteral("Z"));
    stopAfter(10);
    run();
    EXPECT_EQ(errorLines().size(), 1);
    EXPECT_EQ(状態.終了フラグ, 0);
    EXPECT_EQ(exit.ends, 0);
}

TEST_F(CycleTest, DialUpHangsUpAfterEveryPassWithItsCountdown) {
    設定.ダイヤルアップフラグ = QStringLiteral("1");
    stopAfter(10);
    run();
    const QStringList texts = panel(kPanel次の接続まで);
    const qsizetype at = texts.indexOf(QStringLiteral("回線切断まで３０秒"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(
        texts.mid(at, 5),
        (QStringList{QStringLiteral("回線切断まで３０秒"), QStringLiteral("回線切断まで２０秒"),
                     QStringLiteral("回線切断まで１０秒"), QStringLiteral("回線を切断"),
                     QStringLiteral("切断終了")}));
    EXPECT_TRUE(monitorMessages().contains(QStringLiteral("回線を切断")));
    EXPECT_TRUE(monitorMessages().contains(QStringLiteral("サーバーに接続")));
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("hangup")).size(), 1);
    // The sign-on dialled the remembered line first.
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("redial")).size(), 1);
}

TEST_F(CycleTest, TimedFinishAfterTwoHoursPowersOffWhenAskedTo) {
    設定.自動終了フラグ = QStringLiteral("1");
    設定.切断時間 = QStringLiteral("2");
    設定.電源OFFフラグ = QStringLiteral("1");
    run();
    ASSERT_EQ(exit.ends, 1);
    ASSERT_FALSE(sys.times.empty());
    const qint64 at = sys.times[sys.calls.indexOf(QStringLiteral("shutdown 1"))] / 1000;
    EXPECT_GT(at, 7200);
    EXPECT_LT(at, 7205);
}

TEST_F(CycleTest, TimedFinishWithoutPowerOffEndsKelvoAndKeepsTheLog) {
    設定.自動終了フラグ = QStringLiteral("1");
    設定.切断時間 = QStringLiteral("2");
    設定.電源OFFフラグ = QStringLiteral("0");
    設定.ログファイルパス = dir.filePath(QStringLiteral("log.txt"));
    run();
    EXPECT_EQ(exit.ends, 1);
    EXPECT_TRUE(sys.callsStartingWith(QStringLiteral("shutdown")).isEmpty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(QFile::exists(設定.ログファイルパス));
    EXPECT_GE(clock.monotonicMs() / 1000, 7200);
}

TEST_F(CycleTest, TimedFinishOfZeroHoursIsNoTimedFinish) {
    設定.自動終了フラグ = QStringLiteral("1");
    設定.切断時間 = QStringLiteral("0");
    stopAfter(3 * 3600);
    run();
    EXPECT_EQ(exit.ends, 0);
    EXPECT_TRUE(monitorMessages().contains(
        QStringLiteral("自動終了の時間が0時間のため、自動終了はしません。")));
}

TEST_F(CycleTest, ScheduleRunsPassesOnlyInsideItsWindows) {
    // Friday 09:00 start; windows Monday to Friday 10:00-18:00, through the weekend.
    clock.setLocalTime(QDateTime(QDate(2026, 12, 11), QTime(9, 0)));
    using R = SettingsRecord;
    週間スケジュール(設定, QStringLiteral("10"), QStringLiteral("00"), QStringLiteral("18"),
                     QStringLiteral("00"),
                     {&R::スケジュール月, &R::スケジュール火, &R::スケジュール水,
                      &R::スケジュール木, &R::スケジュール金});
    設定.メールチェック間隔 = QStringLiteral("60");
    std::vector<QDateTime> passes;
    system.onCall = [&](const QString& call) {
        if (call == QStringLiteral("signOn"))
            passes.push_back(clock.now());
    };
    stopAfter((3 * 24 + 3) * 3600.0); // to Monday noon
    run();
    ASSERT_FALSE(passes.empty());
    for (const QDateTime& t : passes) {
        EXPECT_GE(t.date().dayOfWeek(), 1) << t.toString().toStdString();
        EXPECT_LE(t.date().dayOfWeek(), 5) << t.toString().toStdString();
        EXPECT_GE(t.time(), QTime(10, 0)) << t.toString().toStdString();
        EXPECT_LE(t.time(), QTime(18, 1)) << t.toString().toStdString();
    }
    // Friday's window opens at 10:00 and Monday's too; nothing at the weekend.
    EXPECT_EQ(passes.front().date(), QDate(2026, 12, 11));
    EXPECT_LE(passes.front().time(), QTime(10, 0, 4));
    EXPECT_EQ(passes.back().date(), QDate(2026, 12, 14));
    EXPECT_TRUE(panel(kPanel次の接続まで).contains(QStringLiteral("あと 59分58秒")));
}

TEST_F(CycleTest, ScheduleSwitchedOffWhileWaitingOutsideKeepsCountingDown) {
    設定.スケジュールフラグ = QStringLiteral("1");
    設定.スケジュール開始時 = QStringLiteral("10");
    設定.スケジュール終了時 = QStringLiteral("11");
    設定.スケジュール月 = QStringLiteral("1");
    recordSignOns();
    // The options dialog stores the schedule off half an hour after the start.
    clock.at(clock.now().addSecs(1800), [this] { 設定.スケジュールフラグ = QStringLiteral("0"); });
    stopAfter(3 * 3600);
    run();
    EXPECT_TRUE(signOnTimes().empty());
}

// How a run ended, as the state file beside list.ini tells the next start.
class StateFileTest : public CycleTest {
protected:
    QString statePath() const { return dir.filePath(QStringLiteral("state.ini")); }
    QString stateValue(const QString& key) const {
        return INI読込(QStringLiteral("転送状態"), key, QStringLiteral("(none)"), statePath());
    }
    // Kelvo is started again nine hours later (in a new process when it ended), after mail came
    // six hours before (while it was stopped) and 15 minutes before. What the first pass
    // forwards, sorted.
    QStringList restartNineHoursLater() {
        if (exit.ends > 0)
            状態 = RunState();
        設定.自動終了フラグ = QStringLiteral("0");
        clock.advance(9 * 3600);
        add(QStringLiteral("停止中に着信"), -6 * 60);
        add(QStringLiteral("開始直前に着信"), -15);
        const qsizetype before = system.outbox.size();
        stopAfter(10);
        run();
        QStringList sent = sentSubjects().mid(before);
        sent.sort();
        return sent;
    }
    // Keeps the state file as it is now, for a Kelvo that ends here without a word.
    void crashHere() {
        QFile::remove(statePath() + QStringLiteral(".crash"));
        ASSERT_TRUE(QFile::copy(statePath(), statePath() + QStringLiteral(".crash")));
    }
    void restoreCrash() {
        QFile::remove(statePath());
        ASSERT_TRUE(QFile::rename(statePath() + QStringLiteral(".crash"), statePath()));
        状態 = RunState();
    }
};

enum class EndRoad { Stop, TimedFinish, TimedFinishPowerOff, PhoneFinish };

class CleanEndTest : public StateFileTest, public ::testing::WithParamInterface<EndRoad> {};

TEST_P(CleanEndTest, StartAfterAPlannedEndForwardsNothingThatMerelyArrivedMeanwhile) {
    add(QStringLiteral("朝のメール"), -1);
    switch (GetParam()) {
    case EndRoad::Stop:
        stopAfter(10);
        break;
    case EndRoad::TimedFinishPowerOff:
        設定.電源OFFフラグ = QStringLiteral("1");
        [[fallthrough]];
    case EndRoad::TimedFinish:
        設定.自動終了フラグ = QStringLiteral("1");
        設定.切断時間 = QStringLiteral("1");
        break;
    case EndRoad::PhoneFinish:
        command(QStringLiteral("Z"));
        break;
    }
    run();
    EXPECT_EQ(exit.ends, GetParam() == EndRoad::Stop ? 0 : 1);
    EXPECT_EQ(stateValue(QStringLiteral("正常終了")), QStringLiteral("1"));
    EXPECT_EQ(restartNineHoursLater(), QStringList{QStringLiteral("開始直前に着信")});
    EXPECT_EQ(sentSubjects().first(), QStringLiteral("朝のメール"));
    EXPECT_EQ(stateValue(QStringLiteral("正常終了")), QStringLiteral("1"));
}

std::string roadName(const ::testing::TestParamInfo<EndRoad>& info) {
    static const char* const names[] = {"Stop", "TimedFinish", "TimedFinishPowerOff",
                                        "PhoneFinish"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Roads, CleanEndTest,
                         ::testing::Values(EndRoad::Stop, EndRoad::TimedFinish,
                                           EndRoad::TimedFinishPowerOff, EndRoad::PhoneFinish),
                         roadName);

TEST_F(StateFileTest, StartAfterACrashOrAnOldStateFileReachesBackAsBefore) {
    // Killed at 09:01, after a pass at 09:00 that forwarded everything.
    add(QStringLiteral("朝のメール"), -1);
    clock.at(clock.now().addSecs(60), [this] { crashHere(); });
    stopAfter(120);
    run();
    EXPECT_EQ(stateValue(QStringLiteral("正常終了")), QStringLiteral("1"));
    restoreCrash();
    EXPECT_EQ(stateValue(QStringLiteral("正常終了")), QStringLiteral("0"));
    EXPECT_EQ(restartNineHoursLater(),
              (QStringList{QStringLiteral("停止中に着信"), QStringLiteral("開始直前に着信")}));

    // The file of the last version has no word on how the run ended: taken as a crash.
    ASSERT_TRUE(QFile::remove(statePath()));
    ASSERT_TRUE(INI書込(QStringLiteral("転送状態"), QStringLiteral("最終完了チェック"),
                        QString::number(clock.now().addSecs(-2 * 3600).toSecsSinceEpoch()),
                        statePath()));
    状態 = RunState();
    add(QStringLiteral("一時間半前に着信"), -90);
    stopAfter(10);
    run();
    EXPECT_EQ(sentSubjects().last(), QStringLiteral("一時間半前に着信"));
}

TEST_F(StateFileTest, PlannedEndKeepsTheReachOfMailThatFailedPassesOrACutShortForwardLeft) {
    // The server cannot be reached from 09:00 until the stop at 09:10.
    設定.メールチェック間隔 = QStringLiteral("1");
    add(QStringLiteral("障害中に着信"), -1);
    system.failNext(QStringLiteral("signOn"), mailError(mailerr::ConnectionRefused), true);
    stopAfter(600);
    run();
    system.heal(QStringLiteral("signOn"));
    EXPECT_TRUE(restartNineHoursLater().contains(QStringLiteral("障害中に着信")));

    // Kelvo is ended (a signal) while the first of two mails goes out: the unload handler
    // records the end from inside the forward's wait, and the process is gone.
    add(QStringLiteral("一通目"), -1);
    add(QStringLiteral("二通目"), -1);
    bool ended = false;
    system.onCall = [&](const QString& call) {
        if (call == QStringLiteral("send") && !std::exchange(ended, true)) {
            状態.停止要求フラグ = 1;
            正常終了記録(ctx);
            crashHere();
        }
    };
    run();
    system.onCall = nullptr;
    restoreCrash();
    EXPECT_EQ(stateValue(QStringLiteral("正常終了")), QStringLiteral("1"));
    ASSERT_EQ(sentSubjects().count(QStringLiteral("一通目")) +
                  sentSubjects().count(QStringLiteral("二通目")),
              1);
    restartNineHoursLater();
    EXPECT_EQ(sentSubjects().count(QStringLiteral("一通目")), 1);
    EXPECT_EQ(sentSubjects().count(QStringLiteral("二通目")), 1);
}

TEST_F(StateFileTest, StateFileThatCannotBeWrittenIsOneErrorLineUntilAWriteWorks) {
    設定.メールチェック間隔 = QStringLiteral("1");
    ASSERT_TRUE(QDir().mkdir(statePath()));
    clock.at(clock.now().addSecs(200), [this] { QDir().rmdir(statePath()); });
    clock.at(clock.now().addSecs(400), [this] {
        QFile::remove(statePath());
        QDir().mkdir(statePath());
    });
    stopAfter(600);
    run();
    const QStringList errors = errorLines();
    ASSERT_EQ(errors.size(), 2) << errors.join(u'\n').toStdString();
    for (const QString& line : errors) {
        EXPECT_TRUE(line.contains(statePath())) << line.toStdString();
        EXPECT_TRUE(line.endsWith(QStringLiteral("(32117)」"))) << line.toStdString();
    }
}

// A push connection whose events the test sends on the virtual clock; records what the
// watch asks of it, with the second it asked.
struct FakePushLine final : PushLine {
    struct Connection final : PushConnection {
        explicit Connection(FakePushLine& line) : line(line) {}
        ~Connection() override { line.note(QStringLiteral("close")); }
        void renew() override { line.note(QStringLiteral("renew")); }
        FakePushLine& line;
    };

    explicit FakePushLine(VirtualClock& clock) : clock(clock) {}
    bool pushes(const QString&) override { return enabled; }
    QStringList pushStores(const QString& profile) override {
        return stores.isEmpty() ? PushLine::pushStores(profile) : stores;
    }
    std::unique_ptr<PushConnection> open(const QString& store) override {
        note(QStringLiteral("open"));
        opened << store;
        if (refuse)
            clock.at(clock.now().addMSecs(100), [this] { send(PushEvent::Lost); });
        return std::make_unique<Connection>(*this);
    }
    void note(const QString& call) { calls.push_back({call, clock.monotonicMs()}); }
    void send(PushEvent::Kind kind, const QString& store = {}) {
        if (onEvent)
            onEvent(store, {kind, {}, 0});
    }
    void sendAt(double seconds, PushEvent::Kind kind, const QString& store = {}) {
        clock.at(clock.now().addMSecs(static_cast<qint64>(seconds * 1000) - clock.monotonicMs()),
                 [this, kind, store] { send(kind, store); });
    }
    // The seconds of the calls of one kind.
    std::vector<double> at(const QString& kind) const {
        std::vector<double> out;
        for (const auto& [call, ms] : calls)
            if (call == kind)
                out.push_back(static_cast<double>(ms) / 1000.0);
        return out;
    }

    VirtualClock& clock;
    bool enabled = true;
    bool refuse = false;
    QStringList stores; // the accounts of a combining profile that push; none: the profile's own
    QStringList opened;
    std::vector<std::pair<QString, qint64>> calls;
};

// The cycle with push on, 30-minute interval, first pass after one interval.
class PushCycleTest : public CycleTest {
protected:
    PushCycleTest() {
        設定.同時接続フラグ = QStringLiteral("0");
        cycle.プッシュ = &watch;
        recordSignOns();
        line.sendAt(2.1, PushEvent::Connected);
    }
    int lines(const QString& text) const { return static_cast<int>(monitorMessages().count(text)); }

    FakePushLine line{clock};
    PushWatch watch{line, clock, clock, window};
};

// News starts a pass at once; what comes while it runs (the pass waits 3 s before it ends) is
// one more pass right after it, however much it is.
TEST_F(PushCycleTest, ABurstOfNewsIsOnePassAtOnceAndOneMoreRightAfterIt) {
    for (const double at : {10.0, 10.03, 11.0, 12.0})
        line.sendAt(at, PushEvent::NewMail);
    stopAfter(100);
    run();
    EXPECT_EQ(signOnAt, (std::vector<qint64>{10000, 13000}));
    // The interval stays the longest time between passes, and the panel counts to it.
    EXPECT_TRUE(panel(kPanel次の接続まで).contains(QStringLiteral("次の接続まで 29分58秒")));
    EXPECT_EQ(line.at(QStringLiteral("open")), std::vector<double>{2});
    ASSERT_EQ(line.at(QStringLiteral("close")).size(), 1u); // at the stop
    EXPECT_NEAR(line.at(QStringLiteral("close"))[0], 100, 2.0);
}

TEST_F(PushCycleTest, NewsWhoseSignOnFailsIsTriedAgainAtTheNextTurn) {
    system.failNext(QStringLiteral("signOn"), KelvoError(2001, QStringLiteral("接続できません")));
    line.sendAt(10.0, PushEvent::NewMail);
    stopAfter(100);
    run();
    EXPECT_EQ(signOnAt, (std::vector<qint64>{10000, 12000}));
    EXPECT_EQ(sentSubjects().size(), 0u);
    EXPECT_EQ(errorLines().size(), 1);
}

TEST_F(PushCycleTest, ALostConnectionIsTriedAgainAfterFiveSecondsDoublingToFiveMinutes) {
    line.sendAt(10.0, PushEvent::Lost);
    clock.at(clock.now().addSecs(9), [this] { line.refuse = true; });
    // Back after the ninth attempt.
    clock.at(clock.now().addSecs(1200), [this] {
        line.refuse = false;
        line.sendAt(1300, PushEvent::Connected);
    });
    stopAfter(1400);
    run();
    const std::vector<double> opens = line.at(QStringLiteral("open"));
    ASSERT_GE(opens.size(), 9u);
    // From each loss (the first at 10 s, then 0.1 s after each attempt) to the next attempt,
    // seen at the next 2-second turn.
    const double expected[] = {5, 10, 20, 40, 80, 160, 300, 300};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const double lost = i == 0 ? 10.0 : opens[i] + 0.1;
        EXPECT_GE(opens[i + 1] - lost, expected[i] - 1e-6) << i;
        EXPECT_LE(opens[i + 1] - lost, expected[i] + 2.0) << i;
    }
    EXPECT_EQ(lines(kプッシュ切断), 1);
    EXPECT_EQ(lines(kプッシュ再開), 1);
    // What came while push was away is looked for at once.
    EXPECT_EQ(signOnAt, std::vector<qint64>{1300000});
}

// A wrong password is not tried again on the back-off (servers lock the account): push waits
// until a pass signs on with what the user mended.
TEST_F(PushCycleTest, ARefusedPushSignOnWaitsForAPassThatSignsOn) {
    clock.at(clock.now().addSecs(10), [this] {
        line.onEvent({}, {PushEvent::Lost, QStringLiteral("拒否"), 32003});
    });
    stopAfter(1900);
    run();
    ASSERT_EQ(signOnTimes().size(), 1u); // at the interval
    const std::vector<double> opens = line.at(QStringLiteral("open"));
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_GE(opens[1], static_cast<double>(signOnTimes()[0]));
    EXPECT_EQ(errorLines().size(), 1);
}

// Two accounts of a combining profile push: each connection is its own, its lines name it, and
// news of one starts a pass at once while the interval of the others stays as it was.
TEST_F(PushCycleTest, EachAccountPushesOnItsOwnAndItsNewsDoesNotPutOffTheInterval) {
    line.stores = QStringList{QStringLiteral("会社"), QStringLiteral("Gmail")};
    line.sendAt(2.1, PushEvent::Connected, QStringLiteral("会社"));
    line.sendAt(2.1, PushEvent::Connected, QStringLiteral("Gmail"));
    line.sendAt(10.0, PushEvent::Lost, QStringLiteral("Gmail"));
    line.sendAt(20.0, PushEvent::NewMail, QStringLiteral("会社"));
    stopAfter(1900);
    run();
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{20, 1801}));
    EXPECT_EQ(line.opened, (QStringList{"会社", "Gmail", "Gmail"}));
    EXPECT_EQ(lines(kプッシュ切断 + QStringLiteral("（Gmail）")), 1);
    EXPECT_EQ(lines(kプッシュ切断), 0);
}

TEST_F(PushCycleTest, IdleIsRenewedEveryTwentyFiveMinutes) {
    stopAfter(3600);
    run();
    const std::vector<double> renewals = line.at(QStringLiteral("renew"));
    ASSERT_EQ(renewals.size(), 2u);
    EXPECT_NEAR(renewals[0], 2.1 + 1500, 2.0);
    EXPECT_NEAR(renewals[1], renewals[0] + 1500, 2.0);
}

TEST_F(PushCycleTest, AServerWithoutIdleIsNamedOnceAndPolledAtTheInterval) {
    line.sendAt(2.1, PushEvent::NoIdle);
    stopAfter(7200);
    run();
    EXPECT_EQ(lines(kプッシュ非対応), 1);
    EXPECT_EQ(line.at(QStringLiteral("open")).size(), 1u);
    EXPECT_EQ(signOnTimes(), (std::vector<qint64>{1802, 3607, 5412}));
    // The next start tries again; the line is not repeated.
    line.sendAt(7200 + 5, PushEvent::NoIdle);
    stopAfter(60);
    run();
    EXPECT_EQ(line.at(QStringLiteral("open")).size(), 2u);
    EXPECT_EQ(lines(kプッシュ非対応), 1);
}

TEST_F(PushCycleTest, NoPushWithDialUpNorOutsideTheScheduleWindow) {
    設定.ダイヤルアップフラグ = QStringLiteral("1");
    stopAfter(60);
    run();
    EXPECT_TRUE(line.calls.empty());

    // Monday 09:00 start, Monday's window 09:00 to 09:10.
    設定.ダイヤルアップフラグ = QStringLiteral("0");
    設定.スケジュールフラグ = QStringLiteral("1");
    設定.スケジュール開始時 = QStringLiteral("9");
    設定.スケジュール終了時 = QStringLiteral("9");
    設定.スケジュール終了分 = QStringLiteral("10");
    設定.スケジュール月 = QStringLiteral("1");
    line.calls.clear();
    stopAfter(1800);
    run();
    const std::vector<double> opens = line.at(QStringLiteral("open"));
    const std::vector<double> closes = line.at(QStringLiteral("close"));
    ASSERT_EQ(opens.size(), 1u);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_NEAR(closes[0], 60 + 540, 3.0); // the window ends nine minutes after the second start
}

// The cycle while nobody sees its window: the same passes, schedule windows, timed finish and
// push connection at the same turns as when its countdown is watched, in a wait or two each.
class UnseenCycleTest : public CycleTest {
public:
    UnseenCycleTest() {
        cycle.プッシュ = &watch;
        line.enabled = false;
    }

    // Runs the action `seconds` after this run's start, unless the run has ended by then.
    void during(double seconds, std::function<void()> action) {
        const int run = runs;
        clock.at(clock.now().addMSecs(static_cast<qint64>(seconds * 1000)),
                 [this, run, action = std::move(action)] {
                     if (run == runs)
                         action();
                 });
    }

protected:
    // What a run did, counted from its start.
    struct Run {
        std::vector<qint64> signOns;
        std::vector<std::pair<QString, qint64>> pushCalls;
        int ends = 0;
        qint64 lengthMs = 0;
        int waits = 0;
    };

    // The stop command as the window gives it: the flag, and the cycle's wait woken.
    void stopAt(double seconds) {
        during(seconds, [this] {
            状態.停止要求フラグ = 1;
            clock.wake();
        });
    }
    // One run from Friday 09:00 local time, seen or not, with what the scenario arranges.
    Run runFor(bool seen, double seconds, const std::function<void()>& scenario) {
        ++runs;
        clock.setLocalTime(QDateTime(QDate(2026, 12, 11), QTime(9, 0)));
        状態 = RunState();
        exit.ends = 0;
        line.calls.clear();
        cycleWindow.visible = seen;
        const qint64 start = clock.monotonicMs();
        const int waitsBefore = clock.waits();
        Run r;
        system.onCall = [&](const QString& call) {
            if (call == QStringLiteral("signOn"))
                r.signOns.push_back(clock.monotonicMs() - start);
        };
        scenario();
        stopAt(seconds);
        run();
        system.onCall = nullptr;
        for (const auto& [call, ms] : line.calls)
            r.pushCalls.push_back({call, ms - start});
        r.ends = exit.ends;
        r.lengthMs = clock.monotonicMs() - start;
        r.waits = clock.waits() - waitsBefore;
        return r;
    }

public:
    FakePushLine line{clock};
    PushWatch watch{line, clock, clock, window};
    int runs = 0;
};

struct UnseenCase {
    const char* name;
    double seconds;
    std::function<void(UnseenCycleTest&, SettingsRecord&)> scenario;
    int mostWaits = 40;
};

void PrintTo(const UnseenCase& c, std::ostream* os) {
    *os << c.name;
}

class UnseenCycleCaseTest : public UnseenCycleTest,
                            public ::testing::WithParamInterface<UnseenCase> {};

TEST_P(UnseenCycleCaseTest, DoesWhatASeenCycleDoesAtTheSameTurnsInAFewWaits) {
    const UnseenCase& c = GetParam();
    const auto scenario = [&] { c.scenario(*this, 設定); };
    const Run seen = runFor(true, c.seconds, scenario);
    const Run unseen = runFor(false, c.seconds, scenario);
    ASSERT_FALSE(seen.signOns.empty());
    EXPECT_EQ(unseen.signOns, seen.signOns);
    EXPECT_EQ(unseen.pushCalls, seen.pushCalls);
    EXPECT_EQ(unseen.ends, seen.ends);
    if (seen.ends > 0) {
        EXPECT_EQ(unseen.lengthMs, seen.lengthMs);
    }
    EXPECT_LE(unseen.waits, c.mostWaits);
    EXPECT_LT(unseen.waits * 10, seen.waits);
}

const UnseenCase kUnseenCases[] = {
    {"Interval", 2 * 3600.0, [](UnseenCycleTest&, SettingsRecord&) {}},
    {"FractionalIntervalWithoutImmediateConnect", 3600.0,
     [](UnseenCycleTest&, SettingsRecord& s) {
         s.同時接続フラグ = QStringLiteral("0");
         s.メールチェック間隔 = QStringLiteral("4.51");
     }},
    {"ScheduleWindowOpensAndCloses", 10 * 3600.0,
     [](UnseenCycleTest&, SettingsRecord& s) {
         using R = SettingsRecord;
         週間スケジュール(s, QStringLiteral("10"), QStringLiteral("00"), QStringLiteral("18"),
                          QStringLiteral("00"),
                          {&R::スケジュール月, &R::スケジュール火, &R::スケジュール水,
                           &R::スケジュール木, &R::スケジュール金});
         s.メールチェック間隔 = QStringLiteral("60");
     },
     // The local clock, which the windows follow, is looked at once a minute.
     10 * 60 + 40},
    {"TimedFinish", 3 * 3600.0,
     [](UnseenCycleTest&, SettingsRecord& s) {
         s.自動終了フラグ = QStringLiteral("1");
         s.切断時間 = QStringLiteral("1");
     }},
    {"PushNewsRenewalAndBackOff", 3600.0,
     [](UnseenCycleTest& t, SettingsRecord& s) {
         s.同時接続フラグ = QStringLiteral("0");
         t.line.enabled = true;
         t.during(2.1, [&t] { t.line.send(PushEvent::Connected); });
         t.during(100, [&t] { t.line.send(PushEvent::NewMail); });
         t.during(2500, [&t] { t.line.send(PushEvent::Lost); });
         t.during(2520, [&t] { t.line.send(PushEvent::Connected); });
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, UnseenCycleCaseTest, ::testing::ValuesIn(kUnseenCases),
                         [](const ::testing::TestParamInfo<UnseenCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(UnseenCycleTest, StopCommandEndsTheWaitAtOnce) {
    const Run r = runFor(false, 100, [] {});
    EXPECT_EQ(r.signOns, std::vector<qint64>{2000});
    EXPECT_EQ(r.lengthMs, 100000);
    EXPECT_EQ(panel(kPanel次の接続まで).last(), QStringLiteral("停止しました。"));
}

TEST_F(UnseenCycleTest, CountdownIsUpToDateTheMomentTheWindowIsSeenAgain) {
    // Seen again as the window does it: it wakes the wait.
    runFor(false, 620, [this] {
        during(600.5, [this] {
            cycleWindow.visible = true;
            clock.wake();
        });
    });
    const QStringList texts = panel(kPanel次の接続まで);
    const qsizetype end = texts.indexOf(QStringLiteral("メールチェック終了"));
    ASSERT_GE(end, 0);
    // The pass ended at 5 s, the next is due at 1805 s: 1205 s are left at 600 s.
    EXPECT_EQ(texts.value(end + 1), QStringLiteral("次の接続まで 20分5秒"));
    EXPECT_EQ(texts.value(end + 2), QStringLiteral("次の接続まで 20分3秒"));
    EXPECT_GE(texts.mid(end + 1).count(), 10); // from then on at every turn
}

TEST_F(UnseenCycleTest, ScheduleWindowOpensWithinAMinuteOfAClockChange) {
    // Friday 09:00; the window opens at 10:00. At 09:05 the clock is put forward by 50 minutes
    // (as after a suspend, which a wait does not count).
    const Run r = runFor(false, 1800, [this] {
        設定.スケジュールフラグ = QStringLiteral("1");
        設定.スケジュール開始時 = QStringLiteral("10");
        設定.スケジュール終了時 = QStringLiteral("18");
        設定.スケジュール金 = QStringLiteral("1");
        during(300, [this] { clock.setLocalTime(clock.now().addSecs(50 * 60)); });
    });
    ASSERT_FALSE(r.signOns.empty());
    EXPECT_GT(r.signOns.front(), 600 * 1000);
    EXPECT_LE(r.signOns.front(), 660 * 1000);
}

} // namespace
} // namespace kelvo::test
