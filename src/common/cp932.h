// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kelvo {

// Code page 932 (Shift-JIS as Windows writes it), the encoding of Kelvo's files.

// The whole text in CP932, or nothing when some character has no CP932 form.
std::optional<QByteArray> toCp932(const QString& text);

// The text in CP932 with every character CP932 lacks written as "?".
QByteArray toCp932Lossy(const QString& text);

// Decodes CP932 bytes; an invalid byte becomes U+FFFD.
QString fromCp932(const QByteArray& bytes);

// The text's length in CP932 bytes: half-width 1, full-width 2, a character CP932 lacks 1.
qint64 バイト長(const QString& text);

// The longest leading part of text whose CP932 length is at most maxBytes, never ending
// inside a character.
QString バイト数で切る(const QString& text, qint64 maxBytes);

} // namespace kelvo
