// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the engine reads from a received message, taken from VMime's parse. Private to the
// mail layer.

#include "mail/core/mail_types.h"

#include <optional>
#include <string_view>
#include <vector>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

// Parses a message from its raw bytes. Header fields VMime's parser throws on are left out
// rather than failing the whole message (a lenient parse of what stays), so that one badly
// made message never makes the others unreadable. The message keeps the bytes it was given
// (move them in to spare a copy).
vmime::shared_ptr<vmime::message> parseMessage(std::string raw);

// Parses a header alone (a message's header fields, as a server hands them out), as leniently
// as parseMessage.
vmime::shared_ptr<vmime::header> parseHeader(const std::string& raw);

// Subject, sender, recipients (To, then CC), received time and the Authentication-Results
// fields from a message header that parseMessage or parseHeader made. The received time is
// the date of the newest Received: header, else the Date: header, else fallback.
void readHeader(const vmime::header& header, const QDateTime& fallback, MailSummary& summary);

// The From and Subject fields of a raw header, up to its first empty line. A blank before the
// colon still makes the field (the obsolete syntax allows it).
struct OriginFields {
    int from = 0;
    int subject = 0;

    bool repeated() const { return from > 1 || subject > 1; }
};
OriginFields originFields(std::string_view raw);

// A structured field's value as written (Authentication-Results): folds undone, blanks at
// both ends dropped, nothing decoded.
QString unfoldedValue(std::string_view value);

// The parts of a parsed message that count as its attachments, in order.
std::vector<vmime::shared_ptr<const vmime::bodyPart>>
attachmentParts(const vmime::message& message);

// The message's text in Unicode with CR LF line breaks: its text/plain parts, or its HTML
// converted to plain text when it has no plain text.
QString noteText(const vmime::message& message);

// The text made of the message's plain text parts, or of its HTML when it has no plain text.
QString noteTextOf(const QStringList& plain, const std::optional<QString>& html);

} // namespace kelvo::vm
