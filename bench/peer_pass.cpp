// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// One forwarding pass of Kelvo's engine in a process of its own, for the benchmark that
// measures Kelvo beside peer tools doing the same work: the process's peak resident memory is
// the pass's, and its connections can be counted and timed from outside.
//
//   bench_peer_pass PROFILES SETTINGS OUTPUT_JSON
//   bench_peer_pass --write SETTINGS FOLDER
//
// PROFILES is a profiles.ini whose default profile points at the servers; SETTINGS is
// "first-start" (a new setting.ini: every new mail is forwarded), "no-attachments" (the same
// without the attachments) or "filter-all" (every filter on, none lets a mail through). The
// specified pauses are not slept: the clock moves on at once, and the output counts them. Exits 1
// when the pass reported an error. With --write it only writes FOLDER/setting.ini with those
// settings, for the program itself to start with.

#include "engine/engine_context.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "pass_runner.h"
#include "pass_settings.h"
#include "quiet_pass.h"
#include "settings/settings_record.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>
#include <tuple>

namespace {

// A figure of /proc/self/status in kB, such as VmRSS or VmHWM.
qint64 statusKb(const QByteArray& field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

bool settingsFor(const QByteArray& name, kelvo::SettingsRecord& s) {
    using namespace kelvo;
    if (name == "filter-all")
        bench::filterEverything(s);
    else if (name == "first-start" || name == "no-attachments")
        test::初回設定(s, QStringLiteral("phone@docomo.ne.jp"));
    else
        return false;
    if (name == "no-attachments")
        s.添付フラグ = QStringLiteral("0");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kelvo;
    // With an application the mail calls run off its thread, as in the program.
    QCoreApplication app(argc, argv);
    const QByteArray settings = argc == 4 ? QByteArray(argv[2]) : QByteArray();
    SettingsRecord chosen;
    if (!settingsFor(settings, chosen)) {
        std::fprintf(
            stderr, "usage: bench_peer_pass PROFILES|--write first-start|no-attachments|filter-all "
                    "OUTPUT|FOLDER\n");
        return 2;
    }
    if (QByteArray(argv[1]) == "--write") {
        const QString folder = QString::fromLocal8Bit(argv[3]);
        chosen.設定ファイルパス = folder + QStringLiteral("/setting.ini");
        chosen.ログファイルパス = 既定ログファイルパス(folder);
        QString error;
        if (!設定書込(chosen, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    QTemporaryDir dir;
    ProfileBackend backend(QString::fromLocal8Bit(argv[1]));
    quiet::Pass engine(backend, dir.filePath(QStringLiteral("list.ini")));
    auto [設定, 状態, window, clock, ctx] =
        std::tie(engine.設定, engine.状態, engine.window, engine.clock, engine.ctx);
    settingsFor(settings, 設定);

    const qint64 before = statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    test::パス実行(ctx);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const QJsonObject out{{"seconds", seconds},       {"pauses_after_sent", clock.waits[3.0]},
                          {"rss_before_kb", before},  {"peak_rss_kb", statusKb("VmHWM")},
                          {"new", 状態.新着メール数}, {"forwarded", 状態.転送メール数},
                          {"errors", window.errors},  {"monitor", window.monitor.join(u'\n')}};
    QFile f(QString::fromLocal8Bit(argv[3]));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    f.write(QJsonDocument(out).toJson());
    return window.errors > 0 ? 1 : 0;
}
