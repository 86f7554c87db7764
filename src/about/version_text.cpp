// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/version_text.h"

namespace kelvo {

QString 製品バージョン() {
    return QStringLiteral(KELVO_VERSION);
}

QString 全角表記(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            out += QChar(0xFF10 + (c.unicode() - u'0'));
        else if (c == u'.')
            out += QChar(0xFF0E);
        else
            out += c;
    }
    return out;
}

QString スプラッシュ版表記() {
    return QStringLiteral("ver") + 製品バージョン();
}

QString 全角バージョン() {
    return 全角表記(製品バージョン());
}

} // namespace kelvo
