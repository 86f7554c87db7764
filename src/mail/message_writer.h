#pragma once

// The bytes of an outgoing message. Private to the mail layer.

#include "mail/mail_types.h"

#include <QDateTime>
#include <string>
#include <vector>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

// The text with half-width katakana turned into full-width, as Japanese mail programs send it.
QString widenKana(const QString& text);

// A header value of encoded words (RFC 2047) in ISO-2022-JP when every character has a form
// there, otherwise UTF-8, folded so that no encoded word and no line is too long. Plain
// ASCII text stays as it is. used: the columns already taken on the first line.
std::string encodedWords(const QString& text, int used);

// A mailbox header value: the name as encoded words (or quoted) and the address.
std::string mailboxValue(const QString& displayName, const QString& address, int used);

// The whole message: the profile's From, the recipient, Subject and text as the engine set
// them, a Date and a Message-ID, and the attachments (parts of the original) after the text.
// Lines end with CR LF.
std::string buildMessage(const OutgoingMail& mail, const MailRecipient& from,
                         const std::vector<vmime::shared_ptr<const vmime::bodyPart>>& attachments);

} // namespace kelvo::vm
