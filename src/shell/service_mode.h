// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/ui_port.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace kelvo {

// Started by systemd as a notify service: NOTIFY_SOCKET is set.
bool サービスとして起動();
// Standard error goes to the journal: JOURNAL_STREAM is set.
bool ジャーナルへ出力();

// Writes one monitor line to standard error with the journal's priority prefix: "<3>" for an
// error line, "<6>" for the rest.
void ジャーナル行出力(const QString& line, bool error);
// The monitor of a Kelvo without windows: each line on standard error, with the journal's
// prefix under the journal, as it is elsewhere.
void モニター行出力(const QString& line, bool error, bool journal);

// Tells the service manager how Kelvo is doing: ready once forwarding runs, alive from the
// event loop every half of the watchdog period, stopping at the end. Does nothing outside a
// notify service.
class ServiceNotifier final : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotifier(QObject* parent = nullptr);

    void 準備完了();
    void 終了中();

private:
    QTimer watchdog;
    bool ready = false;
};

// Message boxes of a service, which nobody can answer: the text goes to the monitor and to
// standard error, and the box counts as answered with OK. Standard error is left out when the
// monitor itself already goes there (the journal), so the text is not there twice.
class ServiceUi final : public UiPort {
public:
    ServiceUi(std::function<void(const QString&)> monitor, bool monitorOnStandardError)
        : モニター(std::move(monitor)), 標準エラー済み(monitorOnStandardError) {}

    MsgResult messageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                         const QString& title) override;
    void beep() override {}
    bool openUrl(const QUrl&) override { return false; }

private:
    std::function<void(const QString&)> モニター;
    bool 標準エラー済み;
};

} // namespace kelvo
