// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Signing on with an OAuth 2.0 access token instead of a password: the SASL mechanisms XOAUTH2
// and OAUTHBEARER (RFC 7628), for VMime's services and for the push connection. Private to the
// mail layer.

#include "mail/net/vmime_service.h"

#include <string>

namespace kelvo::vm {

// What the client sends first with OAUTHBEARER, unencoded.
std::string oauthBearerResponse(const std::string& user, const Endpoint& at,
                                const std::string& token);

// Makes the service sign on as the options say: with the password by VMime's own means (never
// by an OAuth 2.0 mechanism), or, with options.bearer, with the access token by XOAUTH2, or by
// OAUTHBEARER where the server offers only that. A token is never sent by LOGIN or PLAIN. The
// secret is presented once: a refused sign-on tries no second mechanism.
void setSignOn(vmime::net::service& service, const ServiceOptions& options);

// The command line as a trace may show it: what follows the mechanism of an AUTHENTICATE or
// AUTH command is a password or token, and is left out.
std::string withoutCredentials(const std::string& line);

} // namespace kelvo::vm
