// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What a client says when it signs on with SASL, and what a trace may show of it. Private to
// the network room.

#include "mail/net/server_options.h"

#include <string>

namespace kelvo::sasl {

// The first client responses, unencoded: PLAIN (RFC 4616), XOAUTH2, and OAUTHBEARER
// (RFC 7628) naming the server it is for.
std::string plain(const std::string& user, const std::string& password);
std::string xoauth2(const std::string& user, const std::string& token);
std::string oauthBearer(const std::string& user, const Endpoint& at, const std::string& token);

// The command line as a trace may show it: what follows the mechanism of an AUTHENTICATE or
// AUTH command, or LOGIN's user, is a password or token, and is left out.
std::string withoutCredentials(const std::string& line);

} // namespace kelvo::sasl
