// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forward_compose.h"

#include "common/cp932.h"
#include "engine/engine_errors.h"

namespace kelvo {

QStringList 本文行(const QString& body) {
    QStringList kept;
    for (const QString& line : body.split(kCRLF)) {
        if (!line.isEmpty() && line != QLatin1String("\r"))
            kept.append(line);
    }
    return kept;
}

QString 受信日時(const QDateTime& received) {
    const QDate d = received.date();
    const QTime t = received.time();
    return QStringLiteral("%1日%2時%3分")
        .arg(d.day())
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'));
}

QString 分割なし本文(const QStringList& lines, bool 改行なし) {
    if (改行なし)
        return lines.join(QString());
    QString text;
    for (const QString& line : lines)
        text += kCRLF + line;
    return text + kCRLF;
}

QStringList 分割(const QStringList& lines, qint64 firstBudget, qint64 limit, qint64 maxParts,
                 const QString& joiner) {
    QStringList parts;
    qint64 budget = firstBudget;
    qsizetype next = 0;
    while (next < lines.size()) {
        if (maxParts >= 1 && parts.size() >= maxParts)
            break;
        if (parts.size() >= k最大パーツ数)
            throw engerr::tableFull(QStringLiteral("分割数"));
        QStringList part{lines[next]};
        budget -= バイト長(lines[next]);
        ++next;
        while (next < lines.size() && budget - バイト長(lines[next]) >= 2) {
            budget -= バイト長(lines[next]);
            part.append(lines[next]);
            ++next;
        }
        parts.append(part.join(joiner));
        budget = limit;
    }
    return parts;
}

} // namespace kelvo
