// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "private_system_bus.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace kelvo::test {

// Once per test process: a private bus with the stand-ins on it, and the system bus address
// pointed at it before anything in the process talks to a system bus. Tests assert ready()
// first and fail when it is false, so a mistake can never reach the real services.
class SystemBusGuard final : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    static bool ready() { return 準備完了; }
    // Why the private bus is not ready.
    static const QString& problem() { return 問題; }

private:
    bool prepare();

    static inline bool 準備完了 = false;
    static inline QString 問題 = QStringLiteral("not set up");
    static inline PrivateSystemBus* バス = nullptr;
    QProcess standIns;
};

} // namespace kelvo::test
