// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A week of automatic forwarding on the virtual clock: mail arriving at random times, the
// mail system failing for stretches, and the phone asking for lists, mails and the finish.
// Afterwards every mail that passed the filters has reached the phone once (or was given up
// after three failed sends, with its error line), and the files are whole.

#include "common/cp932.h"
#include "engine/forwarding_cycle.h"
#include "engine/schedule.h"
#include "engine/subject_list.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "fakes.h"
#include "first_start_settings.h"
#include "light_window.h"
#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"
#include "memory_engine.h"
#include "settings/ini_file.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <malloc.h>
#include <map>
#include <optional>
#include <random>
#include <set>

namespace kelvo::test {
namespace {

const QString kPhone = QStringLiteral("phone@docomo.ne.jp");
const QString kSpam = QStringLiteral("spam@example.com");
const QString kProgram = QStringLiteral("/usr/bin/backup --now");
constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kWeek = 7 * kDay;
const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 0)); // a Monday
// The two stretches in which nothing happens, so that memory can be measured over quiet
// passes: a Wednesday from 06:00 to 12:00 (the run starts on a Monday at 09:00), and the last
// night and morning.
constexpr qint64 kQuiet1 = kDay + 21 * kHour;
constexpr qint64 kQuiet2 = kWeek - 9 * kHour;

// What kind of mail arrives, and whether the filters let it through.
enum class Kind { Plain, Long, Advert, Bounce, Spam };
bool passesFilters(Kind k) {
    return k == Kind::Plain || k == Kind::Long;
}

struct Arrival {
    Kind kind;
    QString subject;
    QString id;
};

// One Send as the mail system saw it; whether it went through is known from the outbox.
struct Attempt {
    QString subject;
    size_t outboxBefore;
    bool outage; // a failure now is the server's, not the mail's: no try
};

// What the phone received of one mail, and how often its forward failed.
struct Tally {
    int automaticDone = 0;
    int automaticFailed = 0;  // refused: each a try
    int automaticOutages = 0; // failed while the server was out
    int requestedDone = 0;
    int attemptsAfterDone = 0; // automatic forwards of a mail that had already arrived
    int givenUp = 0;           // error lines that give the mail up
};

class SoakTest : public ::testing::Test, protected MemoryEngine<LightWindow> {
protected:
    SoakTest() : MemoryEngine(kStart) {
        初回設定(設定, kPhone);
        設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
        設定.ログファイルパス = dir.filePath(QStringLiteral("転送ログ.txt"));
        設定.メールチェック間隔 = QStringLiteral("10");
        設定.自動分割フラグ = QStringLiteral("0"); // long mails go in parts
        設定.件名フィルタ = QStringLiteral("広告");
        設定.差出人フィルタ = QStringLiteral("1");
        設定.差出人モード = QStringLiteral("0");
        設定.差出人フィルタ1 = kSpam;
        設定.端末電源OFF = QStringLiteral("0");
        設定.端末プログラム実行 = QStringLiteral("1");
        設定.プログラム名 = kProgram;
        // Every day from 06:00 to 23:30: mail of the night waits for the morning.
        using R = SettingsRecord;
        週間スケジュール(設定, QStringLiteral("6"), QStringLiteral("0"), QStringLiteral("23"),
                         QStringLiteral("30"),
                         {&R::スケジュール日, &R::スケジュール月, &R::スケジュール火,
                          &R::スケジュール水, &R::スケジュール木, &R::スケジュール金,
                          &R::スケジュール土});
        ctx.リストファイルパス = dir.filePath(QStringLiteral("list.ini"));
        ctx.設定ディレクトリ = dir.path();
        ctx.システム = &sys;
        cycleWindow.addressBox = kPhone;
        mapSess.setErrorReporter(
            [this](const KelvoError& e) { window.エラー行追加(e.description(), e.number()); });

        system.onCall = [this](const QString& call) {
            if (call == QStringLiteral("send"))
                attempts.push_back({mapMess.MsgSubject(), system.outbox.size(), sendOutage});
            // The double's own call log would grow with every pass; Kelvo's memory is measured.
            if (call == QStringLiteral("signOn")) {
                system.calls.clear();
                system.signOnProfiles.clear();
                system.signOnDownloads.clear();
                ++signOns;
            }
        };
        window.onLine = [this](const QString& message) { noteLine(message); };
    }

    QDateTime at(qint64 seconds) const { return kStart.addSecs(seconds); }
    qint64 random(qint64 below) { return static_cast<qint64>(rng() % static_cast<quint64>(below)); }

    void arrive(qint64 when, Kind kind, int number) {
        QString subject, from = QStringLiteral("taro@example.jp"),
                         text = QStringLiteral("ご確認ください。");
        switch (kind) {
        case Kind::Plain:
            subject = QStringLiteral("便り%1").arg(number, 4, 10, QLatin1Char('0'));
            break;
        case Kind::Long: {
            subject = QStringLiteral("長文%1").arg(number, 4, 10, QLatin1Char('0'));
            QStringList lines;
            for (int i = 0; i < 12; ++i)
                lines << QStringLiteral("%1行目").arg(i + 1).leftJustified(50, u'文');
            text = lines.join(QStringLiteral("\r\n"));
            break;
        }
        case Kind::Advert:
            subject = QStringLiteral("広告%1").arg(number, 4, 10, QLatin1Char('0'));
            break;
        case Kind::Bounce:
            subject = QStringLiteral("Returned mail %1").arg(number);
            from = QStringLiteral("MAILER-DAEMON@example.jp");
            break;
        case Kind::Spam:
            subject = QStringLiteral("迷惑%1").arg(number, 4, 10, QLatin1Char('0'));
            from = kSpam;
            break;
        }
        clock.at(at(when), [this, kind, subject, from, text] {
            MailSummary s;
            s.subject = subject;
            s.origAddress = from;
            s.origDisplayName = from;
            s.received = clock.now();
            s.recipients = {
                MailRecipient{kRecipTo, QStringLiteral("me@example.jp"), QStringLiteral("Me")}};
            arrivals.push_back({kind, subject, system.addMessage(s, text)});
        });
    }
    void phone(qint64 when, const QString& subject) {
        clock.at(at(when), [this, subject] {
            MailSummary s;
            s.subject = subject;
            s.origAddress = kPhone;
            s.origDisplayName = kPhone;
            s.received = clock.now();
            system.addMessage(s);
            if (subject == QStringLiteral("Z"))
                ++finishCommands;
        });
    }
    // The mail system fails at this call for a stretch.
    // A server that cannot be reached, or (refusing) one that refuses every mail.
    void outage(qint64 from, qint64 seconds, const QString& call, bool refusing) {
        clock.at(at(from), [this, call, refusing] {
            const bool send = call == QStringLiteral("send");
            sendOutage = send && !refusing;
            system.failNext(
                call, mailError(refusing && send ? mailerr::SendRefused : mailerr::TimedOut, call),
                true);
        });
        clock.at(at(from + seconds), [this, call] {
            sendOutage = false;
            system.heal(call);
        });
    }
    void transientFailure(qint64 when, const QString& call) {
        clock.at(at(when),
                 [this, call] { system.failNext(call, mailError(mailerr::Failure, call)); });
    }

    // The week's events, none in the quiet stretches.
    void planWeek() {
        auto quiet = [](qint64 t) {
            return (t >= kQuiet1 - kHour && t < kQuiet1 + 6 * kHour) || t >= kQuiet2;
        };
        auto when = [&] {
            for (;;) {
                const qint64 t = random(kWeek);
                if (!quiet(t))
                    return t;
            }
        };
        for (int n = 1; n <= 420; ++n) {
            const qint64 r = random(100);
            const Kind kind = r < 70   ? Kind::Plain
                              : r < 80 ? Kind::Long
                              : r < 88 ? Kind::Advert
                              : r < 94 ? Kind::Bounce
                                       : Kind::Spam;
            arrive(when(), kind, n);
        }
        for (int n = 0; n < 14; ++n) {
            const qint64 t = when();
            phone(t, QStringLiteral("G"));
            if (random(10) < 7 && !quiet(t + 3600))
                phone(t + 1200 + random(2400),
                      random(3) == 0 ? QStringLiteral("%1 %2").arg(1 + random(5)).arg(1 + random(5))
                                     : QString::number(1 + random(5)));
        }
        for (const char* odd : {"GG", "0", "G ", "101", "2  3"})
            phone(when(), QString::fromUtf8(odd));
        const qint64 finishAt = 3 * kDay + 2 * kHour; // Thursday 11:00
        phone(finishAt, QStringLiteral("Z"));
        phone(5 * kDay + 19 * kHour, QStringLiteral("Z")); // 04:00: stale by the morning's pass
        // Outages in half-day slots, each from five minutes to three hours.
        const QString calls[] = {QStringLiteral("signOn"), QStringLiteral("fetch"),
                                 QStringLiteral("send")};
        for (int slot = 1; slot < 13; ++slot) {
            const qint64 from = slot * 12 * kHour + random(6 * kHour);
            const qint64 length = 300 + random(3 * kHour - 300);
            const bool nearFinish = from < finishAt + kHour && from + length > finishAt - kHour;
            if (!quiet(from) && !quiet(from + length) && !nearFinish)
                outage(from, length, calls[random(3)], slot % 2 == 0);
        }
        for (int n = 0; n < 20; ++n)
            transientFailure(when(), calls[random(3)]);
    }

    // The monitor line that starts a requested forward, and the line that gives a mail up.
    void noteLine(const QString& message) {
        static const QRegularExpression request(
            QStringLiteral("^要求より件名「(.*)」 を転送します。$"));
        static const QRegularExpression givenUp(
            QStringLiteral("^エラー！「件名「(.*)」は3回転送できなかったため"));
        if (const auto m = request.match(message); m.hasMatch())
            requests.push_back({attempts.size(), m.captured(1)});
        if (const auto m = givenUp.match(message); m.hasMatch())
            ++tallies[m.captured(1)].givenUp;
    }

    // Goes through the Sends in order, one forward at a time: the parts of one mail follow
    // each other until one fails or the last has gone.
    void tallySends() {
        struct Forward {
            QString base;
            int next;
            int total;
            bool requested;
        };
        static const QRegularExpression part(QStringLiteral("^(\\d+)/(\\d+)_(.*)$"));
        std::optional<Forward> current;
        // The part a failed automatic forward goes on from at its next try.
        std::map<QString, int> resume;
        size_t nextRequest = 0;
        for (size_t i = 0; i < attempts.size(); ++i) {
            const Attempt& a = attempts[i];
            const size_t after =
                i + 1 < attempts.size() ? attempts[i + 1].outboxBefore : system.outbox.size();
            const bool ok = after > a.outboxBefore;
            if (a.subject.startsWith(QStringLiteral("一覧"))) {
                ASSERT_FALSE(current)
                    << "a list mail inside a forward: " << a.subject.toStdString();
                continue;
            }
            int n = 1, total = 1;
            QString base = a.subject;
            if (const auto m = part.match(a.subject); m.hasMatch()) {
                n = m.captured(1).toInt();
                total = m.captured(2).toInt();
                base = m.captured(3);
            }
            const auto resumed = resume.find(base);
            if (n > 1 && !current && resumed != resume.end() && resumed->second == n) {
                current = Forward{base, n, total, false};
                resume.erase(resumed);
            } else if (n == 1) {
                resume.erase(base);
                ASSERT_FALSE(current)
                    << "a forward began inside another: " << a.subject.toStdString();
                bool requested = false;
                while (nextRequest < requests.size() && requests[nextRequest].first <= i) {
                    requested = requested || requests[nextRequest].second == base;
                    ++nextRequest;
                }
                current = Forward{base, 1, total, requested};
                Tally& t = tallies[base];
                if (!requested && t.automaticDone + t.requestedDone > 0)
                    ++t.attemptsAfterDone;
            }
            ASSERT_TRUE(current && current->base == base && current->next == n &&
                        current->total == total)
                << "part out of order: " << a.subject.toStdString();
            Tally& t = tallies[base];
            if (!ok || n == total) {
                if (current->requested)
                    t.requestedDone += ok;
                else
                    (ok ? t.automaticDone : a.outage ? t.automaticOutages : t.automaticFailed) += 1;
                if (!ok && !current->requested && n > 1)
                    resume[base] = n;
                current.reset();
            } else {
                ++current->next;
            }
        }
        EXPECT_FALSE(current);
    }

    // Heap in use, and the sizes of what Kelvo keeps from pass to pass.
    struct Snapshot {
        size_t heap;
        qsizetype monitorLines;
        qsizetype failureTable;
        qsizetype finishRequests;
        qsizetype requestWords;
        int fetched;
        int unread;
        int signOns;
    };
    Snapshot snapshot() const {
        int unread = 0;
        for (const auto& m : system.inbox)
            unread += !m.summary.seen;
        return {mallinfo2().uordblks,
                window.monitor.size(),
                状態.転送.送信失敗回数.size(),
                状態.転送.終了要求.size(),
                状態.要求番号.size(),
                mapMess.MsgCount(),
                unread,
                signOns};
    }

    QTemporaryDir dir;
    FakeSystemControl sys{&clock};
    FakeCycleWindow cycleWindow;
    WeeklySchedule schedule{clock};
    CycleContext cycle{ctx, sys, cycleWindow, schedule};

    std::mt19937 rng{20261207};
    std::vector<Arrival> arrivals;
    std::vector<Attempt> attempts;
    std::vector<std::pair<size_t, QString>> requests; // before which Send, and the subject
    std::map<QString, Tally> tallies;
    int finishCommands = 0;
    int signOns = 0;
    bool sendOutage = false;
};

TEST_F(SoakTest, AWeekOfForwardingLosesNothingAndKeepsItsMemoryAndFiles) {
    planWeek();
    std::vector<Snapshot> marks;
    for (qint64 t : {kQuiet1 + kHour, kQuiet1 + 6 * kHour, kWeek - 2 * kHour, kWeek - 1})
        clock.at(at(t), [this, &marks] { marks.push_back(snapshot()); });
    clock.at(at(kWeek), [this] { 状態.停止要求フラグ = 1; });
    ASSERT_TRUE(設定書込(設定));
    const SettingsRecord saved = 設定;

    自動転送開始(cycle);
    ASSERT_GE(clock.now(), at(kWeek)) << "the cycle ended early";
    ASSERT_EQ(marks.size(), 4u);

    EXPECT_EQ(window.panels.value(kPanel次の接続まで), QStringLiteral("停止しました。"));

    // Every mail that passed the filters reached the phone, or was given up after three
    // failed sends with one error line; copies only where a send had failed before.
    tallySends();
    int forwarded = 0, givenUp = 0;
    for (const Arrival& a : arrivals) {
        SCOPED_TRACE(a.subject.toStdString());
        const Tally t = tallies.count(a.subject) ? tallies.at(a.subject) : Tally{};
        if (!passesFilters(a.kind)) {
            EXPECT_EQ(t.automaticDone + t.automaticFailed, 0);
            continue;
        }
        EXPECT_EQ(t.attemptsAfterDone, 0);
        EXPECT_LE(t.automaticDone, 1);
        if (t.givenUp > 0) {
            ++givenUp;
            EXPECT_EQ(t.givenUp, 1);
            EXPECT_EQ(t.automaticFailed, 3);
            EXPECT_EQ(t.automaticDone, 0);
        } else {
            ++forwarded;
            EXPECT_GT(t.automaticDone + t.requestedDone, 0) << "never reached the phone";
            EXPECT_LT(t.automaticFailed, 3);
            EXPECT_TRUE(system.isSeen(a.id));
        }
    }
    int retried = 0;
    for (const auto& [subject, t] : tallies)
        retried += t.automaticFailed > 0 && t.automaticDone > 0;
    std::cout << "week: " << arrivals.size() << " mails, " << forwarded << " forwarded, " << retried
              << " after failed sends, " << givenUp << " given up, " << requests.size()
              << " requested, " << signOns << " sign-ons, " << window.monitor.size()
              << " monitor lines; heap over quiet passes: "
              << (long long)(marks[1].heap - marks[0].heap) << " and "
              << (long long)(marks[3].heap - marks[2].heap) << " bytes\n";
    // The week had all of it: forwards, failures, gives-ups and requests.
    EXPECT_GT(forwarded, 250);
    EXPECT_GT(givenUp, 0);
    EXPECT_GT(requests.size(), 3u);
    // Forwarding on its own sends arrived mail, never a command (the phone may ask for one
    // by its list number); everything goes to the phone.
    std::set<QString> known;
    for (const Arrival& a : arrivals)
        known.insert(a.subject);
    for (const auto& [subject, t] : tallies)
        EXPECT_TRUE(known.count(subject) || t.automaticDone + t.automaticFailed == 0)
            << subject.toStdString();
    for (const auto& s : system.outbox)
        EXPECT_EQ(s.mail.recipient.address, kPhone);
    EXPECT_TRUE(window.messages.isEmpty());
    // One finish command in time ran the program; the one of the night was stale by morning.
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("program")),
              QStringList{QStringLiteral("program ") + kProgram + QStringLiteral(" @2")});
    qsizetype stale = 0;
    for (const QString& line : window.monitor)
        stale += line.endsWith(QStringLiteral("端末より「Z」の古いメールを受信→無視"));
    EXPECT_EQ(stale, 1);
    EXPECT_EQ(finishCommands, 2);
    EXPECT_EQ(状態.終了フラグ, 0);
    EXPECT_EQ(exit.ends, 0);

    // Memory: quiet passes at day 2 and at day 7 add neither heap nor monitor lines, and what
    // Kelvo carries between passes is as small on day 7 as on day 2.
    for (size_t q : {0u, 2u}) {
        const Snapshot& a = marks[q];
        const Snapshot& b = marks[q + 1];
        SCOPED_TRACE(q == 0 ? "day 2" : "day 7");
        EXPECT_GE(b.signOns - a.signOns, 10);
        EXPECT_EQ(b.monitorLines, a.monitorLines);
        EXPECT_LE(static_cast<long long>(b.heap) - static_cast<long long>(a.heap), 16 * 1024);
        EXPECT_EQ(b.finishRequests, 0);
    }
    EXPECT_LE(marks[3].requestWords, 21);
    // The failure table holds the mails whose automatic forward never went through.
    qsizetype neverThrough = 0;
    for (const auto& [subject, t] : tallies)
        neverThrough += t.automaticFailed > 0 && t.automaticDone == 0;
    EXPECT_GE(marks[3].failureTable, givenUp);
    EXPECT_LE(marks[3].failureTable, neverThrough);
    // An unread fetch holds what stays unread (filtered mail, given-up mail, odd commands).
    for (const Snapshot& m : marks)
        EXPECT_EQ(m.fetched, m.unread);

    // The log, written through the window at the end, holds every monitor line in order.
    const qsizetype lines = window.monitor.size();
    window.ログファイル書込(設定.ログファイルパス);
    ASSERT_EQ(window.monitor.size(), lines) << window.monitor.last().toStdString();
    const QString log = fromCp932(readAll(設定.ログファイルパス));
    EXPECT_EQ(log, clock.now().toString(QStringLiteral("yyyy/MM/dd HH:mm")) +
                       QStringLiteral("のログファイル\r\n") +
                       window.monitor.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n"));

    // setting.ini reads back as it was written; list.ini is whole and names real messages.
    SettingsRecord reread;
    reread.設定ファイルパス = 設定.設定ファイルパス;
    QString problem;
    設定読込(reread, dir.path(), &problem);
    EXPECT_EQ(reread, saved);
    EXPECT_TRUE(problem.isEmpty());
    const QByteArray list = readAll(ctx.リストファイルパス);
    ASSERT_TRUE(list.endsWith("\r\n"));
    const QStringList listLines = fromCp932(list).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GT(listLines.size(), 5);
    EXPECT_EQ(listLines[0], QStringLiteral("[件名リスト]"));
    for (qsizetype n = 1; n < listLines.size(); ++n) {
        EXPECT_TRUE(listLines[n].startsWith(リストキー(static_cast<double>(n)) + u'='))
            << listLines[n].toStdString();
        const QString id = INI読込(kリストセクション, リストキー(static_cast<double>(n)), QString(),
                                   ctx.リストファイルパス);
        EXPECT_NE(system.find(id), nullptr) << id.toStdString();
    }
}

} // namespace
} // namespace kelvo::test
