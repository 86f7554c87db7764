// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The monitor list of the main window (offscreen) filled with 100,000 lines: the time to add
// a line early and late, and the memory per line early and late. With --reference, the same
// lines in a bare QStringList instead, the least any window could spend on them.
//
//   bench_monitor OUTPUT_JSON [--reference]

#include "common/clock.h"
#include "common/ui_port.h"
#include "common/yielding_wait.h"
#include "quiet_ports.h"
#include "shell/app_context.h"
#include "shell/main_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace kelvo::bench {
namespace {

constexpr int kLines = 100'000;
constexpr int kBlock = 1'000;     // lines timed together
constexpr int kEarly = 10'000;    // memory is compared after this many lines and at the end
constexpr int kEventsEvery = 100; // the window handles its events this often, as between passes

// Resident memory of this process in bytes.
double residentBytes() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() * 1024;
    return 0;
}

QString line(int n) {
    return QStringLiteral("件名「お知らせ その%1 ご確認ください」 を転送終了").arg(n);
}

// Adds every line; the time per line of the first and the last block, memory per line.
QJsonObject fill(const std::function<void(const QString&)>& add) {
    QCoreApplication::processEvents();
    const double before = residentBytes();
    double early = 0;
    double firstBlock = 0, lastBlock = 0;
    QElapsedTimer block;
    block.start();
    for (int n = 1; n <= kLines; ++n) {
        add(line(n));
        if (n % kEventsEvery == 0)
            QCoreApplication::processEvents();
        if (n % kBlock == 0) {
            const double perLine = static_cast<double>(block.nsecsElapsed()) / 1e3 / kBlock;
            if (n == kBlock)
                firstBlock = perLine;
            lastBlock = perLine;
            block.restart();
        }
        if (n == kEarly)
            early = residentBytes();
    }
    const double after = residentBytes();
    return QJsonObject{{"lines", kLines},
                       {"us_per_line_first", firstBlock},
                       {"us_per_line_last", lastBlock},
                       {"bytes_per_line_early", (early - before) / kEarly},
                       {"bytes_per_line_late", (after - early) / (kLines - kEarly)},
                       {"bytes_per_line", (after - before) / kLines}};
}

} // namespace
} // namespace kelvo::bench

int main(int argc, char** argv) {
    using namespace kelvo;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_monitor OUTPUT_JSON [--reference]\n");
        return 2;
    }
    QJsonObject result;
    const bool reference = argc > 2 && QByteArray(argv[2]) == "--reference";
    if (reference) {
        QStringList lines;
        result = bench::fill([&lines](const QString& l) { lines.append(l); });
    } else {
        QTemporaryDir dir;
        SystemClock clock;
        EventLoopWaiter waiter;
        quiet::Exit exit;
        QtUiPort ui;
        AppContext ctx(clock, waiter, exit, ui);
        ctx.programDirectory = dir.path();
        ctx.settingsDirectory = dir.path();
        MainForm window(ctx);
        window.show();
        result = bench::fill([&window](const QString& l) { window.モニター行追加(l, true); });
        if (window.モニター行数() != bench::kLines)
            return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    out.write(
        QJsonDocument(QJsonObject{{reference ? "monitor_reference" : "monitor", result}}).toJson());
    return 0;
}
