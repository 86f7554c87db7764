// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A message read from its structure alone, as an IMAP server describes it (BODYSTRUCTURE):
// which parts make its text, and how many attachments it has, without its attachments being
// downloaded. Private to the mail layer.

#include "mail/mime/nesting_limit.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::vm {

// One part of a message as the server describes it. Names and values as the server gave
// them; types, subtypes and the encoding in lower case.
struct PartOutline {
    std::string type = "text";
    std::string subtype = "plain";
    std::optional<std::string> charset;
    std::string encoding = "7bit";
    std::string disposition;           // empty when the part has none
    bool named = false;                // a name or file name is given
    bool boundary = false;             // a multipart with a boundary parameter
    bool complete = true;              // false when the description leaves out something read here
    std::string section;               // the IMAP section of its contents ("1", "2.1")
    std::vector<PartOutline> children; // of a multipart
};

// What the text of a message is made of.
struct TextPlan {
    int attachments = 0;
    struct Piece {
        std::string section;
        std::optional<std::string> charset;
        std::string encoding;
    };
    std::vector<Piece> plain;  // the plain text parts, in order
    std::optional<Piece> html; // the first HTML part, read only when there is no plain text
};

// The plan for the message's text and its attachment count, chosen exactly as the full parse
// chooses them; nothing when the structure is one that only the full parse reads for sure
// (nested too deeply, a multipart without a boundary, a digest, an encoding not known here,
// a description that leaves something out).
std::optional<TextPlan> textPlan(const PartOutline& message);

// The message's text from the contents of the plan's parts, as the server sent them (still
// in their transfer encoding): plain, then html when the plan has one. May throw.
QString planText(const TextPlan& plan, const std::vector<std::string>& plainContents,
                 const std::optional<std::string>& htmlContents);

} // namespace kelvo::vm
