// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forward_text.h"

#include "common/window_port.h"
#include "settings/settings_record.h"

#include <algorithm>
#include <cmath>

namespace kelvo {

QString 一行化(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || u == 0x85 || u == 0x2028 || u == 0x2029)
            c = u' ';
    }
    return out;
}

QString 先頭文字(const QString& text, qint64 n) {
    if (n <= 0)
        return QString();
    qsizetype end = 0;
    for (qint64 taken = 0; taken < n && end < text.size(); ++taken) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

QString 全角化(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u > 0x20 && u < 0x7f)
            c = QChar(static_cast<char16_t>(u + 0xfee0));
        else if (u == 0x20)
            c = QChar(u'\u3000');
    }
    return out;
}

qint64 整数値(double value) {
    // Far beyond any count or size Kelvo meets, and exact in a double.
    constexpr double kBound = 9007199254740992.0;
    if (std::isnan(value))
        return 0;
    return static_cast<qint64>(std::nearbyint(std::clamp(value, -kBound, kBound)));
}

qint64 整数値(const QString& text) {
    return 整数値(数値(text));
}

void 計数パネル更新(WindowPort& window, const QString& key, qint64 count) {
    window.setPanelText(key, key + QStringLiteral(" :") + QString::number(count));
}

} // namespace kelvo
