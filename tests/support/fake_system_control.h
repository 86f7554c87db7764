// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "system/system_control.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <deque>
#include <vector>

namespace kelvo::test {

// Records every request to the system, in order, as text, and answers from a script. It
// never touches the machine.
//   "env windir"                 environment variable read
//   "program <command line> @2"  configured program started, window state 2
//   "window <command line> @3"   dial-up window started, window state 3
//   "key {DOWN} wait" / "key +{F10} nowait"
//   "privilege", "shutdown 1", "shutdown 8"
//   "hangup", "redial", "redial-state"
class FakeSystemControl final : public SystemControl {
public:
    // With a clock, the monotonic time of each call is kept in `times`.
    explicit FakeSystemControl(const Clock* clock = nullptr) : 時計(clock) {}

    QString environment(const QString& name) override;
    StartResult startProgram(const QString& commandLine, WindowState state) override;
    bool startDialUpWindow(const QString& commandLine, WindowState state) override;
    bool sendKeys(const QString& keys, bool wait) override;
    PrivilegeResult enableShutdownPrivilege() override;
    bool requestShutdown(ShutdownRequest request) override;
    bool hangUpDialUp() override;
    RedialStart startRedial() override;
    LineState redialState() override;

    // The key entries only, as "{DOWN} wait".
    QStringList keys() const;
    // The entries that start with the prefix ("shutdown", "window", ...).
    QStringList callsStartingWith(const QString& prefix) const;

    QStringList calls;
    std::vector<qint64> times;

    // The script. Missing variables read as empty.
    QHash<QString, QString> env;
    StartResult programResult{true, {}};
    bool windowsStart = true;   // every dial-up window starts...
    QStringList failingWindows; // ...except those whose command line contains one of these
    bool keysSent = true;
    PrivilegeResult privilege = PrivilegeResult::Enabled;
    bool shutdownTaken = true;
    bool hangUpResult = false;
    RedialStart redialStart;                    // NothingRemembered unless set
    std::deque<LineState> redialStates;         // answered in order...
    LineState redialStateAfter = LineState::Up; // ...and this one once they are used up
    // Call kinds ("env", "program", "window", "key", "privilege", "shutdown", "hangup",
    // "redial", "redial-state") that raise a KelvoError after being recorded.
    QSet<QString> throwing;

private:
    void record(const QString& kind, const QString& text);

    const Clock* 時計;
};

} // namespace kelvo::test
