// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fake_system_control.h"

#include "common/error.h"

namespace kelvo::test {

void FakeSystemControl::record(const QString& kind, const QString& text) {
    calls.append(text);
    times.push_back(時計 ? 時計->monotonicMs() : 0);
    if (throwing.contains(kind))
        throw KelvoError(errnum::Unknown, QStringLiteral("fake failure: ") + text);
}

QString FakeSystemControl::environment(const QString& name) {
    record(QStringLiteral("env"), QStringLiteral("env ") + name);
    return env.value(name);
}

StartResult FakeSystemControl::startProgram(const QString& commandLine, WindowState state) {
    record(QStringLiteral("program"),
           QStringLiteral("program %1 @%2").arg(commandLine).arg(int(state)));
    return programResult;
}

bool FakeSystemControl::startDialUpWindow(const QString& commandLine, WindowState state) {
    record(QStringLiteral("window"),
           QStringLiteral("window %1 @%2").arg(commandLine).arg(int(state)));
    if (!windowsStart)
        return false;
    for (const QString& failing : failingWindows)
        if (commandLine.contains(failing))
            return false;
    return true;
}

bool FakeSystemControl::sendKeys(const QString& keys, bool wait) {
    record(QStringLiteral("key"),
           QStringLiteral("key %1 %2")
               .arg(keys, wait ? QStringLiteral("wait") : QStringLiteral("nowait")));
    return keysSent;
}

PrivilegeResult FakeSystemControl::enableShutdownPrivilege() {
    record(QStringLiteral("privilege"), QStringLiteral("privilege"));
    return privilege;
}

bool FakeSystemControl::requestShutdown(ShutdownRequest request) {
    record(QStringLiteral("shutdown"), QStringLiteral("shutdown %1").arg(int(request)));
    return shutdownTaken;
}

bool FakeSystemControl::hangUpDialUp() {
    record(QStringLiteral("hangup"), QStringLiteral("hangup"));
    return hangUpResult;
}

RedialStart FakeSystemControl::startRedial() {
    record(QStringLiteral("redial"), QStringLiteral("redial"));
    return redialStart;
}

LineState FakeSystemControl::redialState() {
    record(QStringLiteral("redial-state"), QStringLiteral("redial-state"));
    if (redialStates.empty())
        return redialStateAfter;
    const LineState state = redialStates.front();
    redialStates.pop_front();
    return state;
}

QStringList FakeSystemControl::keys() const {
    QStringList result;
    for (const QString& call : calls)
        if (call.startsWith(QLatin1String("key ")))
            result.append(call.mid(4));
    return result;
}

QStringList FakeSystemControl::callsStartingWith(const QString& prefix) const {
    QStringList result;
    for (const QString& call : calls)
        if (call.startsWith(prefix))
            result.append(call);
    return result;
}

} // namespace kelvo::test
