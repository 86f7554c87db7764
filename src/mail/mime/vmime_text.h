// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Conversions between VMime's texts and Qt's. Private to the mail layer.

#include <QDateTime>
#include <QString>
#include <optional>
#include <string>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

// Sets VMime's platform handler and the fields it keeps as written, once per process.
void initialize();

// Bytes in a charset to Unicode. Bytes declared as ASCII (or not declared) that are not
// ASCII are taken as ISO-2022-JP when they carry its escapes, as UTF-8 when they are valid
// UTF-8, and as Shift_JIS (CP932) otherwise, as Japanese mail often needs.
QString decode(const std::string& bytes, const vmime::charset& declared);

// A header text (encoded words or raw) to Unicode.
QString toQString(const vmime::text& text);

// The whole text in the charset, or nothing when some character has no form there.
std::optional<std::string> encodeStrict(const QString& text, const char* charsetName);

// Whether the bytes are valid text in the charset as the C library's strict converter reads
// it: ISO-2022-JP there is JIS X 0208 without the vendor rows strict readers refuse.
bool decodesStrictly(const std::string& bytes, const char* iconvName);

// The raw message with each encoded word of its Subject, From, To and Cc fields that cannot
// be decoded (bad base64 or quoted-printable, bytes invalid in its known charset) replaced
// by a word that decodes to the word's own text, so that readers show it as it was written
// rather than as replacement characters. Words in an unknown charset stay as they are.
std::string withUndecodableWordsKept(std::string raw);

std::string utf8(const QString& text);

// A VMime date in local time; invalid when the date is missing or impossible.
QDateTime toLocal(const vmime::datetime& date);

// The text with CR LF line breaks, whatever breaks it had.
QString crlf(QString text);

} // namespace kelvo::vm
