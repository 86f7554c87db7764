// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The bytes of an outgoing message. Private to the mail layer.

#include "mail/core/mail_types.h"

#include <QDateTime>
#include <string>
#include <vector>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

// The text with half-width katakana turned into full-width, as Japanese mail programs send it.
QString widenKana(const QString& text);

// A header value folded into lines of at most 78 characters where possible and never over
// 998. Plain ASCII text stays readable, folded at its blanks; other text, and ASCII with a
// run too long for one line, becomes encoded words (RFC 2047) of at most 75 characters, in
// ISO-2022-JP when every character has a form there that strict readers accept, otherwise
// in UTF-8. used: the columns already taken on the first line.
std::string encodedWords(const QString& text, int used);

// A mailbox header value: the name quoted (or as encoded words) and the address, folded the
// same way.
std::string mailboxValue(const QString& displayName, const QString& address, int used);

// The whole message: the profile's From, the recipient, Subject and text as the engine set
// them, a Date and a Message-ID, and the attachments (parts of the original) after the text.
// Lines end with CR LF. Composing it writes it once into nothing, so that a message that
// cannot be written fails here, before any of it is sent; write() then gives the same bytes
// as often as asked, the attachments' contents read from the original as they go out.
class ComposedMessage {
public:
    ComposedMessage(const OutgoingMail& mail, const MailRecipient& from,
                    const std::vector<vmime::shared_ptr<const vmime::bodyPart>>& attachments);
    void write(vmime::utility::outputStream& out) const;
    size_t size() const { return bytes; }

private:
    std::string head; // the fields written here rather than by VMime
    vmime::shared_ptr<vmime::message> message;
    size_t bytes = 0;
};

// The composed message in one string.
std::string buildMessage(const OutgoingMail& mail, const MailRecipient& from,
                         const std::vector<vmime::shared_ptr<const vmime::bodyPart>>& attachments);

} // namespace kelvo::vm
