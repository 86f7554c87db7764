// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Forwarding passes on the private Dovecot and SMTP sink the mail tests use, with the waits
// taken out (the clock moves on at once): 20 new mails forwarded, or one large mail with an
// attachment. Counts the SMTP sessions and the downloads of whole messages, times the pass
// and reports the process's peak resident memory.
//
//   bench_forward STATE_FILE OUTPUT_JSON twenty|large [MEGABYTES]
//
// Run each case in a process of its own: the peak memory is the process's whole life.

#include "bench_servers.h"
#include "engine/engine_context.h"
#include "first_start_settings.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "pass_runner.h"
#include "quiet_pass.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>

namespace kelvo::bench {
namespace {

constexpr int kRuns = 3;

// Writes the message into the user's Maildir, unread, as a delivery agent would: the head,
// then `lines` times the line.
void deliver(const Servers& s, const QString& user, int n, const QByteArray& head,
             const QByteArray& line = QByteArray(), qint64 lines = 0,
             const QByteArray& tail = QByteArray()) {
    const QString box = maildirOf(s, user);
    const QString path = QStringLiteral("%1/new/%2.M%3.bench")
                             .arg(box)
                             .arg(QDateTime::currentSecsSinceEpoch())
                             .arg(n);
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly) && f.write(head) == head.size();
    for (qint64 i = 0; ok && i < lines; ++i)
        ok = f.write(line) == line.size();
    if (!ok || f.write(tail) != tail.size())
        qFatal("cannot write %s", qPrintable(path));
    f.close();
    own(s, path);
}

QByteArray head(int n, const QByteArray& contentType) {
    const QByteArray date = QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1();
    return "Received: from mx.example.jp by box.example.jp; " + date + "\r\nFrom: sender" +
           QByteArray::number(n) + "@example.jp\r\nTo: Me <me@example.jp>\r\nSubject: mail " +
           QByteArray::number(n) + "\r\nDate: " + date +
           "\r\nMIME-Version: 1.0\r\nContent-Type: " + contentType + "\r\n\r\n";
}

QByteArray smallMail(int n) {
    return head(n, "text/plain; charset=UTF-8") + "Body of mail " + QByteArray::number(n) + "\r\n";
}

// A short text and one attachment of about `bytes` bytes as base64 lines of 76, written
// line by line so that the mail never sits in this process's memory. Returns its size.
qint64 deliverLargeMail(const Servers& s, const QString& user, qint64 bytes) {
    const QByteArray start = head(1, "multipart/mixed; boundary=\"b1\"") +
                             "--b1\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
                             "--b1\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
                             "Content-Disposition: attachment; filename=\"big.bin\"\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\n";
    QByteArray chunk(57, '\0');
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 7);
    const QByteArray line = chunk.toBase64() + "\r\n";
    const QByteArray end("--b1--\r\n");
    const qint64 lines = (bytes - start.size()) / line.size();
    deliver(s, user, 1, start, line, lines, end);
    return start.size() + lines * line.size() + end.size();
}

struct PassFigures {
    double seconds = 0;
    int forwarded = 0;
    int smtpSessions = 0;
    int downloads = 0; // whole messages fetched
};

PassFigures forwardPass(const Servers& servers, const QString& user, bool attachments) {
    QTemporaryDir dir;
    const QString profiles = dir.filePath(QStringLiteral("profiles.ini"));
    writeFile(profiles, QStringLiteral("[bench]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                       "transport = smtp://127.0.0.1:%2\nsmtp-auth = no\n"
                                       "user = %3\npassword = %4\ntimeout = 120\n"
                                       "default = yes\n")
                            .arg(servers.imapPort)
                            .arg(servers.smtpPort)
                            .arg(user, servers.password)
                            .toUtf8());
    ProfileBackend backend(profiles);
    PassFigures f;
    backend.trace = [&f](const QString& line) {
        if (line.startsWith(QStringLiteral("EHLO")) || line.startsWith(QStringLiteral("HELO")))
            ++f.smtpSessions;
        if (line.contains(QStringLiteral("BODY.PEEK[]")))
            ++f.downloads;
    };
    quiet::Pass engine(backend, dir.filePath(QStringLiteral("list.ini")));
    auto [設定, 状態, window, clock, ctx] =
        std::tie(engine.設定, engine.状態, engine.window, engine.clock, engine.ctx);
    test::初回設定(設定, QStringLiteral("phone@docomo.ne.jp"));
    設定.自動分割フラグ = QStringLiteral("1");
    設定.添付フラグ = attachments ? QStringLiteral("1") : QStringLiteral("0");
    QElapsedTimer timer;
    timer.start();
    test::パス実行(ctx);
    f.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (window.errors > 0)
        qFatal("the pass failed: %s", qPrintable(window.monitor.join(u'\n')));
    f.forwarded = 状態.転送メール数;
    return f;
}

QString newUser(const char* what) {
    return QStringLiteral("%1-%2")
        .arg(QLatin1String(what))
        .arg(QDateTime::currentMSecsSinceEpoch(), 0, 36);
}

long peakResidentKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QJsonObject twenty(const Servers& servers) {
    std::vector<double> seconds;
    PassFigures last;
    for (int run = 0; run < kRuns; ++run) {
        const QString user = newUser("fwd20");
        for (int n = 1; n <= 20; ++n)
            deliver(servers, user, n, smallMail(n));
        last = forwardPass(servers, user, false);
        if (last.forwarded != 20)
            qFatal("forwarded %d of 20", last.forwarded);
        seconds.push_back(last.seconds);
        std::fprintf(stderr, "  20 new mails: %.3f s, %d SMTP sessions\n", last.seconds,
                     last.smtpSessions);
    }
    return {{"mails", 20},
            {"seconds", *std::min_element(seconds.begin(), seconds.end())},
            {"smtp_sessions", last.smtpSessions},
            {"pauses_after_sent_mails", 20},
            {"peak_rss_mb", static_cast<double>(peakResidentKb()) / 1024.0}};
}

QJsonObject large(const Servers& servers, qint64 megabytes) {
    const QString user = newUser("fwdbig");
    const qint64 size = deliverLargeMail(servers, user, megabytes * 1000 * 1000);
    const long before = peakResidentKb();
    const PassFigures f = forwardPass(servers, user, true);
    if (f.forwarded != 1)
        qFatal("the large mail was not forwarded");
    std::fprintf(stderr, "  %.1f MB mail: %.3f s, downloaded %d times, peak %.1f MB\n",
                 static_cast<double>(size) / 1e6, f.seconds, f.downloads,
                 static_cast<double>(peakResidentKb()) / 1024.0);
    return {{"message_mb", static_cast<double>(size) / 1e6},
            {"seconds", f.seconds},
            {"downloads", f.downloads},
            {"downloaded_mb", static_cast<double>(size) * f.downloads / 1e6},
            {"peak_rss_mb_before_pass", static_cast<double>(before) / 1024.0},
            {"peak_rss_mb", static_cast<double>(peakResidentKb()) / 1024.0}};
}

} // namespace
} // namespace kelvo::bench

int main(int argc, char** argv) {
    // With an application the mail calls run off its thread, as in the program.
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_forward STATE_FILE OUTPUT_JSON twenty|large [MB]\n");
        return 2;
    }
    const auto servers = kelvo::bench::readState(QString::fromLocal8Bit(argv[1]));
    const QByteArray mode(argv[3]);
    const QJsonObject result =
        mode == "large"
            ? QJsonObject{{"large", kelvo::bench::large(servers, argc > 4 ? atoi(argv[4]) : 30)}}
            : QJsonObject{{"twenty", kelvo::bench::twenty(servers)}};
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    out.write(QJsonDocument(result).toJson());
    return 0;
}
