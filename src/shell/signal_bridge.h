// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvo {

// Catches SIGTERM, SIGINT and SIGHUP from here on: the handler only writes the signal's number
// into a socket pair, where it waits until a SignalBridge reports it. The first thing main()
// does, so that no signal of the start-up kills Kelvo before it can end cleanly. Without the
// pair the signals keep their default action.
void シグナル受付開始();

// Gives the signals their default action back; one that came meanwhile then ends the process
// as it would have (a command such as --sign-in ends by Ctrl+C as any command does).
void シグナル既定に戻す();

// Takes the caught signals into the event loop: a notifier on the pair reports each on the
// user-interface thread, where it is safe to act on it. One bridge per process.
class SignalBridge final : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

    // A signal came that has not been reported yet.
    bool pending() const;

signals:
    void signalled(int number);

private:
    void readSignals();
    QSocketNotifier* notifier = nullptr;
};

} // namespace kelvo
