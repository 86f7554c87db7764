// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

class WindowPort;

// The text on one line: line breaks and other control characters become blanks, so that a
// subject or a name read from a mail can never start a line of its own in a mail header, a
// monitor line or the log.
QString 一行化(const QString& text);

// The first n characters of the text (a character outside the Basic Multilingual Plane counts
// once and is never cut in half).
QString 先頭文字(const QString& text, qint64 n);

// ASCII letters, digits and signs in their full-width forms ("2.5" becomes "２．５").
QString 全角化(const QString& text);

// A number as the settings give it, rounded to a whole number the way the original's integer
// conversion rounds (halves to even), without overflow.
qint64 整数値(double value);
qint64 整数値(const QString& text);

// A count panel: its key, " :" and the count.
void 計数パネル更新(WindowPort& window, const QString& key, qint64 count);

} // namespace kelvo
