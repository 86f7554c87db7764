// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>

namespace kelvo {

// The time as Kelvo sees it. Local time is for what the user reads (monitor lines, the
// schedule); the monotonic count is for measuring how long something took, so that a clock
// change never fires a pass early.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual qint64 monotonicMs() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;
};

// Has the system's time zone read once for the whole run, rather than looked up again at every
// conversion to local time (one per received mail). Call before any thread starts: it sets an
// environment variable.
void readTimeZoneOnce();

} // namespace kelvo
