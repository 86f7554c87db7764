// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Whether a command mail from the phone's address really comes from the phone: the
// receiving server's verdict on its sender, and an optional PIN in its text.

#include "mail/core/command_policy.h"

#include <QStringList>

namespace kelvo {

// The verdict on the sender from the message's Authentication-Results fields, topmost first,
// each as written. Only the topmost counts: the receiving server adds it last, those below may
// be forged. A pass beside a verdict it cannot stand with (a second DMARC verdict, a failed
// DKIM signature of the phone's domain) fails: part of that field is not the server's.
CommandVerdict senderVerdict(const CommandPolicy& policy, const QStringList& authResults,
                             const QString& phoneAddress);

// Whether the first non-blank line of the text is the PIN. Blanks around it are ignored and
// full-width digits and letters read as their ASCII forms, as phone keyboards type either.
bool pinMatches(const QString& pin, const QString& text);

} // namespace kelvo
