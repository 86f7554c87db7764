// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/narrow_text.h"

#include <QHash>

namespace kelvo {
namespace {

constexpr char16_t kFullWidthFirst = 0xFF01; // ！
constexpr char16_t kFullWidthLast = 0xFF5E;  // ～
constexpr char16_t kFullWidthOffset = 0xFEE0;
constexpr char16_t kIdeographicSpace = 0x3000;

// Full-width katakana and punctuation to their half-width forms. The half-width block
// decomposes to the full-width characters, so the table is read off Unicode's own mapping;
// voiced kana are the base kana followed by the half-width voicing mark.
QHash<char16_t, QString> katakanaTable() {
    QHash<char16_t, QString> table;
    for (char16_t half = 0xFF61; half <= 0xFF9F; ++half) {
        const QString full = QString(QChar(half)).normalized(QString::NormalizationForm_KC);
        if (full.size() == 1)
            table.insert(full.at(0).unicode(), QString(QChar(half)));
    }
    table.insert(0x309B, QStringLiteral("\uFF9E")); // ゛
    table.insert(0x309C, QStringLiteral("\uFF9F")); // ゜
    for (char16_t kana = 0x30A1; kana <= 0x30FA; ++kana) {
        const QString parts = QString(QChar(kana)).normalized(QString::NormalizationForm_D);
        if (parts.size() != 2 || !table.contains(parts.at(0).unicode()) ||
            !table.contains(parts.at(1).unicode()))
            continue;
        table.insert(kana, table.value(parts.at(0).unicode()) + table.value(parts.at(1).unicode()));
    }
    return table;
}

} // namespace

QString 半角変換(const QString& text) {
    static const QHash<char16_t, QString> katakana = katakanaTable();
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= kFullWidthFirst && u <= kFullWidthLast)
            out += QChar(static_cast<char16_t>(u - kFullWidthOffset));
        else if (u == kIdeographicSpace)
            out += u' ';
        else if (const auto it = katakana.constFind(u); it != katakana.constEnd())
            out += *it;
        else
            out += c;
    }
    return out;
}

} // namespace kelvo
