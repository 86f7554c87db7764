// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/service_mode.h"

#include <cstdio>
#include <systemd/sd-daemon.h>

namespace kelvo {

bool サービスとして起動() { return qEnvironmentVariableIsSet("NOTIFY_SOCKET"); }

bool ジャーナルへ出力() { return qEnvironmentVariableIsSet("JOURNAL_STREAM"); }

void ジャーナル行出力(const QString& line, bool error) {
    const QByteArray text = (error ? QStringLiteral("<3>") : QStringLiteral("<6>")).toUtf8() +
                            line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

void モニター行出力(const QString& line, bool error, bool journal) {
    if (journal)
        return ジャーナル行出力(line, error);
    const QByteArray text = line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

ServiceNotifier::ServiceNotifier(QObject* parent) : QObject(parent) {
    uint64_t usec = 0;
    // Only for this process (WATCHDOG_PID), and only when the manager asked for it.
    if (!サービスとして起動() || sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    watchdog.setInterval(std::chrono::milliseconds(std::max<uint64_t>(1, usec / 2000)));
    connect(&watchdog, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
    watchdog.start();
}

void ServiceNotifier::準備完了() {
    if (ready || !サービスとして起動())
        return;
    ready = true;
    sd_notify(0, "READY=1");
}

void ServiceNotifier::終了中() {
    if (サービスとして起動())
        sd_notify(0, "STOPPING=1");
}

MsgResult ServiceUi::messageBox(QWidget*, const QString& text, MsgButtons, const QString&) {
    const QString line = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
    if (モニター)
        モニター(line);
    if (!標準エラー済み) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
    }
    return MsgResult::Ok;
}

} // namespace kelvo
