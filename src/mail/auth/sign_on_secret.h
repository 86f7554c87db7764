// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <stop_token>

namespace kelvo {

struct MailProfile;

// What a sign-on to a profile's servers presents.
struct SignOnSecret {
    QString value;       // the password, or an OAuth 2.0 access token
    bool bearer = false; // value is an access token: SASL XOAUTH2 or OAUTHBEARER
};

// The secret for an unattended sign-on, never asking a person: the profile's password or what
// its password-command prints; with password-store = keyring the stored password; with
// auth = oauth2 what token-command prints, or the stored access token, refreshed at the token
// endpoint when it expires within 60 s. renew: the server refused the last token, so a new
// one is fetched however fresh the stored one looks. Raises SignInNeeded (nothing stored, or
// the refresh token was refused), KeyringUnavailable, TokenFailed or CommandFailed.
// stop: the caller's owner is stopping it (a push connection closing); once requested, a wait
// for the keyring or the token endpoint ends at once with KeyringUnavailable or TokenFailed.
SignOnSecret signOnSecret(const MailProfile& profile, bool renew = false,
                          std::stop_token stop = {});

} // namespace kelvo
