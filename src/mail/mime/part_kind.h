// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Which parts of a message are its attachments and which its text, the same whether the
// message was parsed whole or only its structure was read. Private to the mail layer.

#include <QString>
#include <cstddef>

namespace kelvo::vm {

// A leaf part as far as deciding whether it is an attachment.
struct PartKind {
    QString type;
    QString subtype;
    QString disposition;
    bool named = false;
    bool inRelated = false;
    bool laterInMixed = false; // after the first part of a multipart/mixed

    bool isText() const { return type == u"text" && (subtype == u"plain" || subtype == u"html"); }
    // Attachments are what the sender attached, not the message's own text nor the pictures
    // an HTML text shows inline.
    bool isAttachment() const {
        if (disposition == u"attachment")
            return true;
        // A text after the body of a mixed message was attached to it, unless it says otherwise.
        if (isText() && !named)
            return laterInMixed && disposition.isEmpty();
        if (inRelated || (disposition == u"inline" && !named))
            return false;
        return true;
    }
};

// Where a part sits in its parent.
struct Place {
    QString parent; // the subtype of the multipart parent
    size_t index = 0;
};

} // namespace kelvo::vm
