// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A quick reader for the header fields a fetch summarizes, in the plain forms nearly every
// mail has them. Private to the mail layer.

#include "mail/core/mail_types.h"

#include <string>

namespace kelvo::vm {

// Reads what readHeader reads (subject, sender, recipients, received time, the
// Authentication-Results fields) from a header whose fields are in plain forms: ASCII, plain
// addresses, names of words or one quoted string, one From and one Subject at most, no blank
// before a colon. False, with the summary untouched, when any of those fields is in another
// form: the full parse reads that header then, so both give the same summary.
bool readPlainHeader(const std::string& raw, const QDateTime& fallback, MailSummary& summary);

} // namespace kelvo::vm
