// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QTime>
#include <optional>

namespace kelvo {

// The time of day that an hour text and a minute text make, as the schedule reads its four
// time settings: each text must be digits only ("9" and "09" alike), the hour 0 to 23, the
// minute 0 to 59. Nothing when they make no valid time (an empty text, "24", "1.5", "１０").
inline std::optional<QTime> 時刻(const QString& hour, const QString& minute) {
    auto part = [](const QString& text, int max) -> std::optional<int> {
        if (text.isEmpty() || text.size() > 9)
            return std::nullopt;
        int value = 0;
        for (QChar c : text) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        if (value > max)
            return std::nullopt;
        return value;
    };
    const auto h = part(hour, 23);
    const auto m = part(minute, 59);
    if (!h || !m)
        return std::nullopt;
    return QTime(*h, *m);
}

} // namespace kelvo
