// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// One forwarding pass over an Inbox of many unread messages on the private Dovecot the mail
// tests use: every filter on, nothing to forward. Counts the command lines sent to the server
// and times the pass.
//
//   bench_pass STATE_FILE OUTPUT_JSON COUNT...
//
// STATE_FILE is the one tests/mail/mail_servers.py writes. The output holds, per Inbox size,
// the round trips and the seconds of the fastest pass after a first one that lets Dovecot
// build its index.

#include "bench_servers.h"
#include "common/clock.h"
#include "engine/engine_context.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "pass_runner.h"
#include "pass_settings.h"
#include "quiet_pass.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <tuple>
#include <unistd.h>

namespace kelvo::bench {
namespace {

constexpr int kTimedPasses = 5;

QByteArray message(int n, const QDateTime& received) {
    const QByteArray date = received.toString(Qt::RFC2822Date).toLatin1();
    const QByteArray number = QByteArray::number(n);
    return "Received: from mx.example.jp by box.example.jp; " + date +
           "\r\nFrom: =?UTF-8?B?5bGx55Sw5aSq6YOO?= <sender" + number +
           "@example.jp>\r\nTo: Me <me@example.jp>\r\nSubject: =?UTF-8?B?" +
           QStringLiteral("お知らせ その%1").arg(n).toUtf8().toBase64() + "?=\r\nDate: " + date +
           "\r\nMessage-ID: <" + number +
           "@example.jp>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: 8bit\r\n\r\n" +
           QStringLiteral("本文 %1\r\n").arg(n).toUtf8();
}

// Writes the messages straight into the user's Maildir, unread, as a delivery agent would.
void fillInbox(const Servers& s, const QString& user, int count) {
    const QString box = maildirOf(s, user);
    const QDateTime now = QDateTime::currentDateTime();
    for (int n = 1; n <= count; ++n) {
        const QString path =
            QStringLiteral("%1/new/%2.M%3.bench").arg(box).arg(now.toSecsSinceEpoch()).arg(n);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(message(n, now)) < 0)
            qFatal("cannot write %s", qPrintable(path));
        f.close();
        own(s, path);
    }
}

// The reference: the same mailbox fetched by a bare client that sends the commands a fetch
// needs and only reads up to each command's end. Seconds from connecting to logging out.
double rawFetchSeconds(const Servers& s, const QString& user) {
    QElapsedTimer timer;
    timer.start();
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(s.imapPort));
    if (!socket.waitForConnected(10000))
        qFatal("no IMAP connection");
    auto until = [&socket](const QByteArray& tag) {
        QByteArray pending;
        for (;;) {
            if (!socket.canReadLine() && !socket.waitForReadyRead(60000))
                qFatal("the IMAP server stopped answering");
            while (socket.canReadLine()) {
                const QByteArray line = socket.readLine();
                if (tag.isEmpty() || line.startsWith(tag + ' '))
                    return;
            }
        }
    };
    until({}); // the greeting
    const QList<QByteArray> commands{"LOGIN " + user.toUtf8() + ' ' + s.password.toUtf8(),
                                     "SELECT INBOX", "FETCH 1:* (FLAGS UID)",
                                     "FETCH 1:* (UID BODYSTRUCTURE BODY.PEEK[HEADER])", "LOGOUT"};
    int n = 0;
    for (const QByteArray& command : commands) {
        const QByteArray tag = "kq" + QByteArray::number(++n);
        socket.write(tag + ' ' + command + "\r\n");
        until(tag);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The least disturbed of the runs: what else the machine does only ever adds time.
double fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

QJsonObject measure(const Servers& servers, int count) {
    QTemporaryDir dir;
    const QString user =
        QStringLiteral("bench%1-%2").arg(count).arg(QDateTime::currentMSecsSinceEpoch(), 0, 36);
    fillInbox(servers, user, count);
    const QString book = dir.filePath(QStringLiteral("contacts.vcf"));
    writeFile(
        book,
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Friend\r\nEMAIL:friend@example.jp\r\nEND:VCARD\r\n");
    const QString profiles = dir.filePath(QStringLiteral("profiles.ini"));
    writeFile(profiles, QStringLiteral("[bench]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                       "transport = smtp://127.0.0.1:9\nsmtp-auth = no\n"
                                       "user = %2\npassword = %3\naddress-book = %4\n"
                                       "timeout = 120\ndefault = yes\n")
                            .arg(servers.imapPort)
                            .arg(user, servers.password, book)
                            .toUtf8());

    ProfileBackend backend(profiles);
    int commands = 0;
    backend.trace = [&commands](const QString&) { ++commands; };
    quiet::Pass engine(backend, dir.filePath(QStringLiteral("list.ini")));
    auto [設定, 状態, window, clock, ctx] =
        std::tie(engine.設定, engine.状態, engine.window, engine.clock, engine.ctx);
    filterEverything(設定);

    std::vector<double> seconds;
    int roundTrips = -1;
    for (int pass = 0; pass <= kTimedPasses; ++pass) {
        commands = 0;
        状態.新着メール数 = 0;
        QElapsedTimer timer;
        timer.start();
        test::パス実行(ctx);
        const double s = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        if (window.errors > 0)
            qFatal("the pass failed: %s", qPrintable(window.monitor.join(u'\n')));
        if (状態.新着メール数 != count || 状態.転送メール数 != 0)
            qFatal("the pass saw %d new messages of %d and forwarded %d", 状態.新着メール数, count,
                   状態.転送メール数);
        if (pass == 0)
            continue; // Dovecot indexes the new mailbox on the first look
        if (roundTrips >= 0 && roundTrips != commands)
            qFatal("round trips changed between passes: %d, then %d", roundTrips, commands);
        roundTrips = commands;
        seconds.push_back(s);
        std::fprintf(stderr, "  %d messages: pass %d took %.3f s, %d commands\n", count, pass, s,
                     commands);
    }
    std::vector<double> reference;
    for (int i = 0; i < kTimedPasses; ++i)
        reference.push_back(rawFetchSeconds(servers, user));
    const double pass = fastest(seconds);
    const double raw = fastest(reference);
    return QJsonObject{
        {"messages", count},        {"round_trips", roundTrips},
        {"seconds", pass},          {"ms_per_message", 1000.0 * pass / count},
        {"reference_seconds", raw}, {"reference_ms_per_message", 1000.0 * raw / count}};
}

} // namespace
} // namespace kelvo::bench

int main(int argc, char** argv) {
    kelvo::readTimeZoneOnce(); // as the program does
    // With an application the mail calls run off its thread, as in the program.
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_pass STATE_FILE OUTPUT_JSON COUNT...\n");
        return 2;
    }
    const auto servers = kelvo::bench::readState(QString::fromLocal8Bit(argv[1]));
    QJsonArray results;
    for (int i = 3; i < argc; ++i)
        results.append(kelvo::bench::measure(servers, QByteArray(argv[i]).toInt()));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    out.write(QJsonDocument(QJsonObject{{"pass", results}}).toJson());
    return 0;
}
