// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/clock.h"

#include <QElapsedTimer>

namespace kelvo {

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

qint64 SystemClock::monotonicMs() const {
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

void readTimeZoneOnce() {
    // Without TZ the C library checks /etc/localtime anew at each conversion; naming that same
    // file makes it read it once. A TZ the user set is theirs.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
}

} // namespace kelvo
