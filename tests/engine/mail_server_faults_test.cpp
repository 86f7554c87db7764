// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Passes against the private Dovecot and SMTP sink when a server breaks off in the middle of a
// command, and when the profiles file cannot be used. In every case the pass shows an error
// line, no mail is lost, and the next pass forwards what is left.

#include "common/clock.h"
#include "common/yielding_wait.h"
#include "cutting_proxy.h"
#include "engine/forwarding_cycle.h"
#include "engine/push_watch.h"
#include "engine/schedule.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "mail/push_line.h"
#include "mail/mime/vmime_text.h"
#include "nested_mail.h"
#include "live_cycle_fixture.h"
#include "server_pass_fixture.h"
#include "virtual_clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vmime/vmime.hpp>

namespace kelvo::test {
namespace {

using Side = CuttingProxy::Side;

QByteArray message(const QString& from, const QString& subject, const QString& text) {
    return "Received: from mx by box; " +
           QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() +
           "\r\nFrom: " + from.toUtf8() + "\r\nTo: Taro <taro@example.jp>\r\nSubject: =?UTF-8?B?" +
           subject.toUtf8().toBase64() +
           "?=\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           text.toUtf8().toBase64() + "\r\n";
}

class MailServerFaultTest : public ServerPassTest {
protected:
    MailServerFaultTest() { phone = user + QStringLiteral("@docomo.ne.jp"); }
    void SetUp() override {
        ServerPassTest::SetUp();
        if (IsSkipped())
            return;
        // Both servers are reached through the proxies.
        goodProfiles = route(imap.port(), smtp.port());
    }

    void deliver(const QString& subject, const QString& text = QStringLiteral("本文")) {
        servers.deliver(user, message(QStringLiteral("taro@example.jp"), subject, text));
    }
    // The subjects the sink received for this test's phone, sorted.
    QStringList arrived() const {
        vm::initialize();
        QStringList out;
        for (const auto& r : servers.received()) {
            if (r.to != QStringList{phone})
                continue;
            vmime::message m;
            m.parse(r.data.toStdString());
            out << vm::toQString(*m.getHeader()->findFieldValue<vmime::text>("Subject"));
        }
        out.sort();
        return out;
    }
    // Unread messages as the mailbox holds them, read from its folder rather than through the
    // profiles file (which some tests break).
    int unreadInMailbox() const {
        const QString box = servers.mailRoot + u'/' + user;
        int unread =
            static_cast<int>(QDir(box + QStringLiteral("/new")).entryList(QDir::Files).size());
        for (const QString& name : QDir(box + QStringLiteral("/cur")).entryList(QDir::Files))
            if (!name.section(QStringLiteral(":2,"), 1).contains(u'S'))
                ++unread;
        return unread;
    }

    CuttingProxy imap{servers.imapPort};
    CuttingProxy smtp{servers.smtpPort};
    QString goodProfiles;
};

QStringList subjects(int count) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("お知らせ%1").arg(i, 2, 10, QLatin1Char('0'));
    return out;
}

TEST_F(MailServerFaultTest, ServerBreakingOffTheListOfMessagesLosesNothing) {
    const QStringList all = subjects(12);
    for (const QString& s : all)
        deliver(s);
    // The list is made of the flags, then the headers: broken off inside the headers.
    imap.cutAfter("HEADER.FIELDS", 1, Side::ServerReply, 600);
    pass();
    EXPECT_EQ(imap.cuts(), 1);
    // The fetch that broke off is the one error line: the pass ends as if the Inbox were empty.
    ASSERT_EQ(errors().size(), 1) << errors().join('\n').toStdString();
    EXPECT_TRUE(errors()[0].endsWith(QStringLiteral("(32113)」"))) << errors()[0].toStdString();
    EXPECT_TRUE(arrived().isEmpty());
    EXPECT_EQ(unreadInMailbox(), 12);

    pass();
    EXPECT_EQ(arrived(), all);
    EXPECT_EQ(unreadInMailbox(), 0);
    EXPECT_EQ(errors().size(), 1) << errors().join('\n').toStdString();
}

TEST_F(MailServerFaultTest, ServerBreakingOffAMessageTextLosesNothing) {
    const QStringList all = subjects(3);
    for (const QString& s : all)
        deliver(s, QStringLiteral("長めの本文です。").repeated(10));
    // Broken off inside the second message's text.
    imap.cutAfter("BODY.PEEK[]", 2, Side::ServerReply, 200);
    pass();
    EXPECT_EQ(imap.cuts(), 1);
    ASSERT_FALSE(errors().isEmpty());
    // The first message went out before the break; its read mark could not be stored then.
    const QStringList first = arrived();
    EXPECT_EQ(first.size(), 1);

    pass();
    // The first one's mark was stored as soon as it was sent: nothing comes twice.
    EXPECT_EQ(arrived(), all);
    EXPECT_EQ(unreadInMailbox(), 0);
}

TEST_F(MailServerFaultTest, SinkDownForThreePassesAndARestartLosesNothing) {
    const QStringList all = subjects(3);
    for (const QString& s : all)
        deliver(s);
    // Nothing listens on port 1.
    mail->writeProfiles(QString(goodProfiles)
                            .replace(QStringLiteral("smtp://127.0.0.1:%1").arg(smtp.port()),
                                     QStringLiteral("smtp://127.0.0.1:1")));
    for (int i = 0; i < 3; ++i) {
        pass();
        clock.advance(20 * 60);
    }
    EXPECT_TRUE(arrived().isEmpty());
    // Kelvo is started again an hour after the mail came: the state file keeps its reach.
    状態 = RunState();
    転送状態リセット(ctx);
    mail->writeProfiles(goodProfiles);
    pass();
    EXPECT_EQ(arrived(), all);
    EXPECT_EQ(unreadInMailbox(), 0);
    for (const QString& line : errors())
        EXPECT_FALSE(line.contains(QStringLiteral("これ以上転送しません"))) << line.toStdString();
}

TEST_F(MailServerFaultTest, SinkBreakingOffASendKeepsTheMessageForTheNextPass) {
    const QStringList all = subjects(3);
    for (const QString& s : all)
        deliver(s);
    smtp.cutAfter("DATA\r\n", 1, Side::ClientData, 120);
    pass();
    EXPECT_EQ(smtp.cuts(), 1);
    ASSERT_EQ(errors().size(), 1) << errors().join('\n').toStdString();
    EXPECT_EQ(arrived().size(), 2);
    EXPECT_EQ(unreadInMailbox(), 1);

    pass();
    EXPECT_EQ(arrived(), all);
    EXPECT_EQ(unreadInMailbox(), 0);
    EXPECT_EQ(errors().size(), 1);
}

TEST_F(MailServerFaultTest, SinkBreakingOffOrRefusingTheSecondPartGetsEachPartOnce) {
    const QStringList parts{QStringLiteral("1/3_長いお知らせ"), QStringLiteral("2/3_長いお知らせ"),
                            QStringLiteral("3/3_長いお知らせ")};
    deliver(QStringLiteral("長いお知らせ"), longBody());
    smtp.cutAfter("DATA\r\n", 2, Side::ClientData, 300);
    pass();
    EXPECT_EQ(smtp.cuts(), 1);
    EXPECT_EQ(errors().size(), 1);
    EXPECT_EQ(arrived(), parts.mid(0, 1));
    EXPECT_EQ(unreadInMailbox(), 1);
    pass();
    EXPECT_EQ(arrived(), parts);
    EXPECT_EQ(unreadInMailbox(), 0);

    // The sink refuses the second part with 554 once.
    phone = QStringLiteral("flaky2-") + phone;
    設定.メールアドレス = phone;
    deliver(QStringLiteral("長いお知らせ"), longBody());
    pass();
    EXPECT_EQ(errors().size(), 2);
    EXPECT_TRUE(errors()[1].endsWith(QStringLiteral("(32106)」"))) << errors()[1].toStdString();
    pass();
    EXPECT_EQ(arrived(), parts);
    EXPECT_EQ(unreadInMailbox(), 0);
}

TEST_F(MailServerFaultTest, CraftedMailOfThousandsOfNestedPartsStopsNoMailBehindIt) {
    // VMime's parser overflowed the stack at such a mail, at every pass.
    servers.deliver(
        user, nestedMail("Received: from mx by box; " +
                             QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() +
                             "\r\nFrom: taro@example.jp\r\nSubject: nested\r\n",
                         4000));
    deliver(QStringLiteral("後ろのメール"));
    pass();
    pass();
    EXPECT_EQ(arrived(), (QStringList{QStringLiteral("nested"), QStringLiteral("後ろのメール")}));
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
    EXPECT_EQ(unreadInMailbox(), 0);
}

// VMime's time-out restarted at every byte: a server that drips its answers held a pass for
// ever. The time-out bounds a whole sign-on and each whole command.
TEST_F(MailServerFaultTest, DrippingServersTimeOutWithinTheTimeout) {
    mail->writeProfiles(QString(goodProfiles).replace("timeout = 10", "timeout = 1"));
    deliver(QStringLiteral("届いたメール"));
    auto timedPass = [&] {
        QElapsedTimer timer;
        timer.start();
        pass();
        const qint64 elapsed = timer.elapsed();
        // The next drip is armed only once the relays of this pass have ended.
        for (int i = 0; i < 250 && (imap.open() > 0 || smtp.open() > 0); ++i)
            QThread::msleep(20);
        return elapsed;
    };
    imap.dripAfter("", 1, 300, 20); // the greeting
    EXPECT_LT(timedPass(), 2000); // the time-out and a second
    imap.dripAfter("SEARCH", 1, 300, 20);
    EXPECT_LT(timedPass(), 2000); // the time-out and a second
    smtp.dripAfter("MAIL FROM", 1, 300, 20);
    EXPECT_LT(timedPass(), 2000); // the time-out and a second
    ASSERT_EQ(errors().size(), 3) << window.monitor.join('\n').toStdString();
    for (const QString& line : errors())
        EXPECT_TRUE(line.endsWith(QStringLiteral("(32102)」"))) << line.toStdString();
    EXPECT_TRUE(arrived().isEmpty());

    pass();
    EXPECT_EQ(arrived(), QStringList{QStringLiteral("届いたメール")});
}

// The cycle on the virtual clock over the real server, with a wrong password and with nothing
// at the server's port, for 130 s at a 1-minute interval: each sign-on presents the password
// once, by one mechanism; a refused one comes again at the interval (2, 64 and 126 s), one
// that met no server at every turn once the pass is due (2 s, then 62 s to 130 s).
TEST_F(MailServerFaultTest, RefusedSignOnIsOneAttemptAndComesAgainOnlyAtTheInterval) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString closedStore = QStringLiteral("imap://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    struct Case {
        QString profiles;
        int number;
        int tries;
    };
    const Case cases[] = {
        {QString(goodProfiles)
             .replace(QStringLiteral("password = ") + servers.password,
                      QStringLiteral("password = not-the-password")),
         mailerr::LoginFailed, 3},
        {QString(goodProfiles)
             .replace(QStringLiteral("imap://127.0.0.1:%1").arg(imap.port()), closedStore),
         mailerr::ConnectionRefused, 36},
    };
    設定.メールチェック間隔 = QStringLiteral("1");
    設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
    ctx.設定ディレクトリ = dir.path();
    FakeSystemControl sys{&clock};
    FakeCycleWindow cycleWindow;
    cycleWindow.addressBox = phone;
    WeeklySchedule schedule{clock};
    CycleContext cycle{ctx, sys, cycleWindow, schedule};
    const QRegularExpression signOnCommand(QStringLiteral("^\\S+ (AUTHENTICATE|LOGIN)\\b"));
    for (const Case& c : cases) {
        mail->writeProfiles(c.profiles);
        mail->lines->clear();
        window.monitor.clear();
        ASSERT_TRUE(設定書込(設定));
        clock.at(clock.now().addSecs(130), [this] { 状態.停止要求フラグ = 1; });
        自動転送開始(cycle);
        const QStringList lines = errors();
        EXPECT_EQ(lines.size(), c.tries) << lines.join(u'\n').toStdString();
        for (const QString& line : lines)
            EXPECT_TRUE(line.endsWith(QStringLiteral("(%1)」").arg(c.number)))
                << line.toStdString();
        const qsizetype signOns =
            std::count_if(mail->lines->begin(), mail->lines->end(),
                          [&](const QString& l) { return signOnCommand.match(l).hasMatch(); });
        EXPECT_EQ(signOns, c.number == mailerr::LoginFailed ? c.tries : 0)
            << mail->lines->join(u'\n').toStdString();
    }
    // Dovecot counts the attempts of each connection as it closes it.
    const QString log = servers.dir + QStringLiteral("/dovecot.log");
    const QRegularExpression failed(QStringLiteral("auth failed, (\\d+) attempts?.*user=<%1>")
                                        .arg(QRegularExpression::escape(user)));
    QList<int> attempts;
    for (int wait = 0; wait < 50 && attempts.size() < 3; ++wait) {
        QThread::msleep(wait == 0 ? 0 : 100);
        attempts.clear();
        for (const QString& line : QString::fromUtf8(readAll(log)).split(u'\n'))
            if (const auto m = failed.match(line); m.hasMatch())
                attempts << m.captured(1).toInt();
    }
    EXPECT_EQ(attempts, (QList<int>{1, 1, 1}));
}

class ProfilesFaultTest : public MailServerFaultTest {
protected:
    // One pass with the profiles file as the test left it: one error line that names the
    // file, nothing read or sent. Then the good file again, and the next pass forwards.
    void expectOneErrorLineThenRecovery(const QString& mention) {
        deliver(QStringLiteral("届いたメール"));
        pass();
        ASSERT_EQ(errors().size(), 1);
        EXPECT_TRUE(errors()[0].contains(mail->profilesPath)) << errors()[0].toStdString();
        EXPECT_TRUE(errors()[0].contains(mention)) << errors()[0].toStdString();
        EXPECT_TRUE(arrived().isEmpty());
        EXPECT_EQ(unreadInMailbox(), 1);

        QFile::remove(mail->profilesPath);
        QDir().rmdir(mail->profilesPath);
        mail->writeProfiles(goodProfiles);
        pass();
        EXPECT_EQ(arrived(), QStringList{QStringLiteral("届いたメール")});
        EXPECT_EQ(unreadInMailbox(), 0);
        EXPECT_EQ(errors().size(), 1);
    }
};

TEST_F(ProfilesFaultTest, FolderInPlaceOfTheProfilesFile) {
    // Root reads every file whatever its mode: a folder cannot be read as a file by anyone.
    ASSERT_TRUE(QFile::remove(mail->profilesPath));
    ASSERT_TRUE(QDir().mkdir(mail->profilesPath));
    expectOneErrorLineThenRecovery(QStringLiteral("プロファイル"));
}

TEST_F(ProfilesFaultTest, ProfilesFileWithoutReadPermission) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their mode; the folder case stands for it";
    ASSERT_TRUE(QFile::setPermissions(mail->profilesPath, QFile::WriteOwner));
    expectOneErrorLineThenRecovery(QStringLiteral("プロファイル"));
}

TEST_F(ProfilesFaultTest, ProfilesFileOfBinaryGarbage) {
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        garbage += static_cast<char>((i * 37) & 0xff);
    ASSERT_TRUE(writeAll(mail->profilesPath, garbage));
    expectOneErrorLineThenRecovery(QStringLiteral("行目"));
}

TEST_F(ProfilesFaultTest, CommandCheckWithoutAuthservId) {
    mail->writeProfiles(goodProfiles + QStringLiteral("command-check = dkim\n"));
    expectOneErrorLineThenRecovery(QStringLiteral("authserv-id"));
}

TEST_F(ProfilesFaultTest, ProfilesFileCutInTheMiddleOfAKey) {
    mail->writeProfiles(goodProfiles.left(goodProfiles.indexOf(QStringLiteral("transport")) + 5));
    // A line without "=" is named by its number alone: it could be a value.
    expectOneErrorLineThenRecovery(QStringLiteral("行目：「=」がありません"));
}

// The cycle on the real clock and event loop with push = yes, 30-minute interval, the first
// pass after one interval: what reaches the sink comes by push.
class PushServerTest : public LiveCycleTest<MailServerFaultTest> {
protected:
    void SetUp() override {
        LiveCycleTest::SetUp();
        if (IsSkipped())
            return;
        profile(goodProfiles + QStringLiteral("push = yes\n"));
        設定.メールチェック間隔 = QStringLiteral("30");
    }
    void profile(const QString& text) {
        mail->writeProfiles(text);
        watchProfiles();
    }
    // Delivers the subjects after the seconds, noting when.
    void deliverAfter(double seconds, const QStringList& subjects) {
        QTimer::singleShot(static_cast<int>(seconds * 1000), [this, subjects] {
            delivered.start();
            for (const QString& s : subjects)
                deliver(s);
        });
    }
    int passes() const {
        return static_cast<int>(window.panelHistory.value(kPanel次の接続まで)
                                    .count(QStringLiteral("メールチェック中")));
    }
    int passesEnded() const {
        return static_cast<int>(window.panelHistory.value(kPanel次の接続まで)
                                    .count(QStringLiteral("メールチェック終了")));
    }
    int lines(const QString& text) const {
        int n = 0;
        for (const QString& l : window.monitor)
            n += l.endsWith(text);
        return n;
    }
    // A Maildir of the test's own as the profile's store, with push; its folder.
    QString maildir() {
        const QString box = dir.filePath(QStringLiteral("Maildir"));
        for (const char* sub : {"/cur", "/new", "/tmp"})
            EXPECT_TRUE(QDir().mkpath(box + QLatin1String(sub)));
        profile(
            QStringLiteral("[test]\nstore = %1\ntransport = smtp://127.0.0.1:%2\nsmtp-auth = no\n"
                           "from = taro@example.jp\npush = yes\n")
                .arg(box)
                .arg(smtp.port()));
        return box;
    }

    QElapsedTimer delivered;
};

TEST_F(PushServerTest, AMailIsForwardedWithinSecondsAndStopLeavesNoSessionOpen) {
    // IMAPS, the server's certificate checked against the profile's ca-file; the password from
    // a command, run on the push connection's own thread. Not on the command line: the sign-in
    // runs look for it in every command line of the machine.
    CuttingProxy imaps{servers.imapsPort};
    const QString secret = dir.filePath(QStringLiteral("password"));
    ASSERT_TRUE(writeAll(secret, servers.password.toUtf8()));
    QString text = goodProfiles;
    text.replace(QStringLiteral("imap://127.0.0.1:%1").arg(imap.port()),
                 QStringLiteral("imaps://127.0.0.1:%1").arg(imaps.port()));
    text.replace(QStringLiteral("password = %1").arg(servers.password),
                 QStringLiteral("password-command = cat %1").arg(secret));
    ASSERT_FALSE(text.contains(QStringLiteral("password =")));
    profile(text + QStringLiteral("ca-file = %1\npush = yes\n").arg(servers.caFile));
    double took = -1;
    runUntil(
        [&] {
            // Once watched: mail older than the connection waits for the interval.
            if (!delivered.isValid() && watch->見張り中()) {
                delivered.start();
                deliver(QStringLiteral("急ぎ"));
            }
            if (took < 0 && !arrived().isEmpty())
                took = static_cast<double>(delivered.elapsed()) / 1000.0;
            return took >= 0;
        },
        30);
    EXPECT_EQ(arrived(), QStringList{QStringLiteral("急ぎ")});
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 10);
    EXPECT_EQ(passes(), 1);
    QElapsedTimer t;
    t.start();
    while (imaps.open() > 0 && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_EQ(imaps.open(), 0);
}

// Three mails half a second apart, the second and third while the first one's pass runs: news
// during a pass asks for one more pass, never for one each.
TEST_F(PushServerTest, ABurstOfThreeIsForwardedWholeByAtMostTwoPasses) {
    const QStringList all = subjects(3);
    for (int i = 0; i < all.size(); ++i)
        deliverAfter(3 + 0.5 * i, {all[i]});
    runUntil([&] { return arrived().size() >= all.size(); }, 60);
    EXPECT_EQ(arrived(), all);
    EXPECT_LE(passes(), 2);
}

// Each notice ends IDLE, the pass runs on the push connection's sign-on and IDLE starts again:
// one connection for the whole run, and every mail forwarded once.
TEST_F(PushServerTest, ARunOfNoticesIsServedOnThePushConnection) {
    const QStringList all = subjects(3);
    int sent = 0;
    runUntil(
        [&] {
            // The next mail once the previous one's pass has ended, so that each has a notice
            // of its own; the first once the push connection idles.
            const QStringList shown = window.panelHistory.value(kPanel次の接続まで);
            const bool idles = watch->次の用事ms().value_or(0) > 60 * 1000;
            if (sent < all.size() && passesEnded() == sent && idles && !shown.isEmpty() &&
                shown.last().startsWith(u"次の接続まで"))
                deliver(all[sent++]);
            return arrived().size() >= all.size() && passesEnded() >= all.size();
        },
        60);
    EXPECT_EQ(arrived(), all);
    EXPECT_EQ(passes(), all.size());
    EXPECT_EQ(imap.connections(), 1);
    EXPECT_EQ(unreadInMailbox(), 0);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
}

// Push ends in the middle of a pass that holds its connection (Kelvo ends, or the line is hung
// up): the pass keeps the connection, stores its read marks on it and signs it off.
TEST_F(PushServerTest, PushEndingDuringAPassOnItsConnectionLeavesThePassItsConnection) {
    const QStringList all = subjects(2);
    deliverAfter(3, all);
    bool closed = false;
    runUntil(
        [&] {
            // The first forwarded: the pass waits out its pause before it reads the second.
            if (!closed && !arrived().isEmpty()) {
                closed = true;
                watch->閉じる();
            }
            return closed && passesEnded() > 0;
        },
        30);
    EXPECT_EQ(arrived(), all);
    EXPECT_EQ(passes(), 1);
    EXPECT_EQ(unreadInMailbox(), 0);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
    QElapsedTimer t;
    t.start();
    while (imap.open() > 0 && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_EQ(imap.open(), 0);
}

TEST_F(PushServerTest, WithPushNoNothingChanges) {
    profile(goodProfiles);
    // After the first turn, when push would have been waiting for it.
    deliverAfter(3, {QStringLiteral("後で")});
    runUntil([] { return false; }, 5);
    EXPECT_TRUE(arrived().isEmpty());
    EXPECT_EQ(passes(), 0);
    EXPECT_EQ(imap.connections(), 0);
}

// The real connection to a server without IDLE says so once and is closed. That the cycle
// then forwards at the interval, and never asks again, is the virtual clock's test
// PushCycleTest.AServerWithoutIdleIsNamedOnceAndPolledAtTheInterval.
TEST_F(PushServerTest, AServerWithoutIdleIsNamedOnceAndItsConnectionClosed) {
    CuttingProxy noIdle{servers.noIdleImapPort};
    profile(QString(goodProfiles)
                .replace(QStringLiteral("imap://127.0.0.1:%1").arg(imap.port()),
                         QStringLiteral("imap://127.0.0.1:%1").arg(noIdle.port())) +
            QStringLiteral("push = yes\n"));
    runUntil([&] { return lines(kプッシュ非対応) > 0; }, 20);
    EXPECT_EQ(lines(kプッシュ非対応), 1);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
    EXPECT_EQ(passes(), 0);
    QElapsedTimer t;
    t.start();
    while (noIdle.open() > 0 && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_EQ(noIdle.open(), 0);
    EXPECT_EQ(noIdle.connections(), 1);
}

TEST_F(PushServerTest, ACertificateForAnotherHostIsRefusedWithAnErrorLine) {
    QString text = goodProfiles;
    text.replace(QStringLiteral("imap://127.0.0.1:%1").arg(imap.port()),
                 QStringLiteral("imaps://127.0.0.1:%1").arg(servers.noIdleImapsPort));
    profile(text + QStringLiteral("ca-file = %1\npush = yes\n").arg(servers.noIdleCaFile));
    runUntil([&] { return !errors().isEmpty(); }, 20);
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].endsWith(QStringLiteral("(32103)」"))) << errors()[0].toStdString();
    EXPECT_EQ(passes(), 0);
}

TEST_F(PushServerTest, PushComesBackAfterTheServerBrokeOffAndForwardsAgain) {
    // The server goes away while Kelvo waits in IDLE.
    imap.cutAfter("IDLE", 1, Side::ServerReply, 10); // after "+ idling"
    QElapsedTimer back;
    double took = -1;
    runUntil(
        [&] {
            if (!back.isValid() && lines(kプッシュ再開) == 1) {
                back.start();
                deliverAfter(0, {QStringLiteral("再開後")});
            }
            if (took < 0 && !arrived().isEmpty())
                took = static_cast<double>(back.elapsed()) / 1000.0;
            return took >= 0;
        },
        40);
    EXPECT_EQ(lines(kプッシュ切断), 1);
    EXPECT_EQ(lines(kプッシュ再開), 1);
    EXPECT_EQ(arrived(), QStringList{QStringLiteral("再開後")});
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 10);
}

TEST_F(PushServerTest, AMailMovedIntoAMaildirIsForwardedAndKelvosOwnMovesStartNoPass) {
    const QString box = maildir();
    // Dropped once the cycle counts down, when the watch is set, however slow the start.
    const auto drop = [&] {
        QFile f(box + QStringLiteral("/tmp/1.kelvo"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(message(QStringLiteral("taro@example.jp"), QStringLiteral("手元"),
                        QStringLiteral("本文")));
        f.close();
        delivered.start();
        ASSERT_TRUE(QFile::rename(f.fileName(), box + QStringLiteral("/new/1.kelvo")));
    };
    double took = -1;
    QElapsedTimer ended;
    runUntil(
        [&] {
            const QStringList shown = window.panelHistory.value(kPanel次の接続まで);
            if (!delivered.isValid() && !shown.isEmpty() && shown.last().startsWith(u"次の接続まで"))
                drop();
            if (took < 0 && !arrived().isEmpty())
                took = static_cast<double>(delivered.elapsed()) / 1000.0;
            // A second past the pass's end: a pass that its own move out of new/ asked for
            // would have begun right after it.
            if (!ended.isValid() && passesEnded() > 0)
                ended.start();
            return ended.isValid() && ended.elapsed() > 1000;
        },
        30);
    EXPECT_EQ(arrived(), QStringList{QStringLiteral("手元")});
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 10);
    EXPECT_EQ(passes(), 1);
    EXPECT_TRUE(QDir(box + QStringLiteral("/new")).isEmpty());
}

// A mail program or a restore makes new/ anew: push says once that it is lost, watches the
// Maildir until new/ is back, and then one pass looks for what came meanwhile.
TEST_F(PushServerTest, AMaildirWhoseNewFolderIsMadeAnewIsWatchedAgain) {
    const QString box = maildir();
    QTimer::singleShot(
        3000, [&] { ASSERT_TRUE(QDir(box + QStringLiteral("/new")).removeRecursively()); });
    QTimer::singleShot(4500, [&] {
        // Restored with a mail in it.
        const QString restored = box + QStringLiteral("/restored");
        ASSERT_TRUE(QDir().mkpath(restored));
        QFile f(restored + QStringLiteral("/1.kelvo"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(message(QStringLiteral("taro@example.jp"), QStringLiteral("戻した後"),
                        QStringLiteral("本文")));
        f.close();
        delivered.start();
        ASSERT_TRUE(QFile::rename(restored, box + QStringLiteral("/new")));
    });
    double took = -1;
    runUntil(
        [&] {
            if (took < 0 && !arrived().isEmpty())
                took = static_cast<double>(delivered.elapsed()) / 1000.0;
            return took >= 0 && delivered.elapsed() > (took + 3) * 1000;
        },
        30);
    EXPECT_EQ(arrived(), QStringList{QStringLiteral("戻した後")});
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 10);
    EXPECT_EQ(lines(kプッシュ切断), 1);
    EXPECT_EQ(lines(kプッシュ再開), 1);
    EXPECT_EQ(passes(), 1);
    EXPECT_TRUE(QDir(box + QStringLiteral("/new")).isEmpty());
}

// The resident memory of this process, in bytes.
qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = statm.readAll().split(' ');
    return pages.size() > 1 ? pages[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

struct HostileIdle {
    const char* name;
    CuttingProxy::Attack attack;
    qint64 bytes;
};

void PrintTo(const HostileIdle& attack, std::ostream* out) {
    *out << attack.name;
}

class HostileIdleTest : public PushServerTest, public ::testing::WithParamInterface<HostileIdle> {};

// A server that answers IDLE with a flood, endless go-aheads or a line without end: each line
// is read and let go, the connection is dropped (a flood after DONE at the timeout), memory
// stays where it was, and mail is forwarded all the same.
TEST_P(HostileIdleTest, MemoryStaysFlatAndMailIsStillForwarded) {
    profile(QString(goodProfiles)
                .replace(QStringLiteral("timeout = 10"), QStringLiteral("timeout = 2")) +
            QStringLiteral("push = yes\n"));
    pass(); // the libraries' first allocations
    imap.attackAfter(" IDLE\r\n", GetParam().attack, GetParam().bytes);
    const qint64 before = residentBytes();
    qint64 most = before;
    runUntil(
        [&] {
            most = std::max(most, residentBytes());
            if (imap.attacks() == 1 && delivered.isValid() == false) {
                delivered.start();
                deliver(QStringLiteral("攻撃中"));
            }
            // Not the sink's whole record, which grows this process by itself.
            return 状態.転送メール数 > 0;
        },
        30);
    most = std::max(most, residentBytes());
    EXPECT_GE(imap.attacks(), 1);
    EXPECT_EQ(arrived(), QStringList{QStringLiteral("攻撃中")});
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A sanitizer's shadow memory and quarantine of freed blocks say nothing of Kelvo's.
    EXPECT_LT(most - before, 10 << 20) << "grew by " << (most - before) / 1024 << " KiB";
#endif
    EXPECT_GE(lines(kプッシュ切断), 1);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, HostileIdleTest,
    ::testing::Values(HostileIdle{"ExistsFlood", CuttingProxy::Attack::ExistsFlood, 16 << 20},
                      HostileIdle{"GoAheads", CuttingProxy::Attack::GoAheads, 16 << 20},
                      HostileIdle{"HugeLine", CuttingProxy::Attack::HugeLine, 64 << 20}),
    [](const ::testing::TestParamInfo<HostileIdle>& info) { return std::string(info.param.name); });

// The profile's push connection, noting by the test's clock when it is opened or renewed and
// what it reports.
class TimedPushLine final : public PushLine {
public:
    // A connection of the profile's, whose renewals are noted.
    struct Timed final : PushConnection {
        Timed(TimedPushLine& line, std::unique_ptr<PushConnection> inner)
            : line(line), inner(std::move(inner)) {}
        void renew() override {
            line.asked = true;
            inner->renew();
        }
        TimedPushLine& line;
        std::unique_ptr<PushConnection> inner;
    };

    TimedPushLine(const QString& profiles, const Clock& clock) : inner(profiles), clock(clock) {
        inner.onEvent = [this](const QString& store, const PushEvent& event) {
            events.push_back(event.kind);
            if (onEvent)
                onEvent(store, event);
        };
    }
    bool pushes(const QString& name) override { return inner.pushes(name); }
    std::unique_ptr<PushConnection> open(const QString& name) override {
        opened.push_back(static_cast<double>(clock.monotonicMs()) / 1000.0);
        asked = true;
        return std::make_unique<Timed>(*this, inner.open(name));
    }

    // After an open or a renewal: what comes of it, waited for in real time (5 s at most).
    void settle(PushEvent::Kind last) {
        if (!asked)
            return;
        asked = false;
        QElapsedTimer t;
        t.start();
        const size_t seen = events.size();
        while ((events.size() == seen || events.back() != last) && t.elapsed() < 5000) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        EXPECT_EQ(events.back(), last);
    }

    ProfilePushLine inner;
    const Clock& clock;
    std::vector<double> opened;
    std::vector<PushEvent::Kind> events;
    bool asked = false;
};

// A server that drops the push connection right after each sign-on: the tries spread out (5,
// 10, 20, 40 s) instead of coming every 5 s for ever; a connection that stayed up a minute
// starts the back-off again. The watch runs on the test's clock, the connections are real.
TEST_F(PushServerTest, AConnectionDroppedAfterEachSignOnIsTriedLaterAndLater) {
    imap.attackAfter(" IDLE\r\n", CuttingProxy::Attack::Drop);
    VirtualClock virtualClock;
    TimedPushLine timed(mail->profilesPath, virtualClock);
    PushWatch push(timed, virtualClock, virtualClock, window);
    push.開始(QString());
    for (int second = 0; second <= 1680; ++second) {
        if (second == 100) // the server lets the next one stay
            imap.attackAfter({}, CuttingProxy::Attack::None);
        if (second == 1000) // and drops the next IDLE, the renewal's
            imap.attackAfter(" IDLE\r\n", CuttingProxy::Attack::Drop);
        push.待機中();
        const bool stays = second >= 100 && second < 1000;
        timed.settle(stays ? PushEvent::Connected : PushEvent::Lost);
        virtualClock.advance(1);
    }
    // Renewed after 25 minutes up, at 1655 s, and dropped.
    EXPECT_EQ(timed.opened, (std::vector<double>{0, 5, 15, 35, 75, 155, 1660, 1670}));
    EXPECT_EQ(imap.attacks(), 8);
}

} // namespace
} // namespace kelvo::test
