// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The Authentication-Results header field (RFC 8601): the verdicts the receiving server
// reached about a message's sender.

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace kelvo {

struct AuthProperty {
    QString ptype;    // lower case; empty for a property outside ptype.property (reason=...)
    QString property; // lower case
    QString value;    // as written, quotes and escapes undone
};

struct AuthResult {
    QString method; // lower case, without its version
    QString result; // lower case
    std::vector<AuthProperty> properties;

    // The value of the first ptype.property, or nothing.
    std::optional<QString> value(QStringView ptype, QStringView property) const;
};

struct AuthenticationResults {
    QString authservId; // empty when the field names none (some servers write none)
    std::vector<AuthResult> results;
};

// Parses a field's value (unfolded or not). Comments are passed over, quoted strings read
// whole; nothing when the value does not follow the grammar, so that a malformed field
// never yields a verdict. Lenient only where common servers are: a field without an
// authserv-id, a trailing ";", values with "/" or "=" (signatures), extra name=value pairs.
std::optional<AuthenticationResults> parseAuthenticationResults(QStringView value);

} // namespace kelvo
