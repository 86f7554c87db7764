// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kelvo {

// The shaping of a forwarded mail, apart from the mail system.

inline const QString kCRLF = QStringLiteral("\r\n");

// Most parts a mail is split into, and most pages of a subject list: limits for settings
// edited by hand, not for the user's ordinary values.
inline constexpr qsizetype k最大パーツ数 = 301;
inline constexpr qsizetype k最大ページ数 = 201;

// The kept lines of a body: cut at every CR LF (the text after the last one counts too);
// lines that are empty or a single CR are dropped, blank lines are kept.
QStringList 本文行(const QString& body);

// The received time as the header shows it: "6日09時05分".
QString 受信日時(const QDateTime& received);

// The text of an unsplit mail: every line after a line break and one more at the end, or,
// without line breaks, the lines run together.
QString 分割なし本文(const QStringList& lines, bool 改行なし);

// The parts of a split mail. The first part may take firstBudget bytes, every later one
// limit bytes: a part takes its first line whatever its length, and each following line while
// at least 2 bytes of the budget stay. Lines within a part are joined by the joiner. Stops
// once maxParts parts exist (no limit below 1); more than k最大パーツ数 parts raise an error.
QStringList 分割(const QStringList& lines, qint64 firstBudget, qint64 limit, qint64 maxParts,
                 const QString& joiner);

} // namespace kelvo
