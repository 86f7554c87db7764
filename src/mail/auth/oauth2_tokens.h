// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <stop_token>

namespace kelvo {

struct MailProfile;

// What the keyring keeps of a profile's OAuth 2.0 sign-in.
struct TokenRecord {
    QString accessToken;
    QString refreshToken; // empty: the provider gave none, so a sign-in is needed at expiry
    QDateTime expiresAt;  // invalid: the provider did not say
};

// The keyring keys of a profile's token record and of its stored password.
QString tokenRecordKey(const QString& profileName);
QString passwordKey(const QString& profileName);

// The record as the keyring keeps it (JSON), and back; nothing for a text that is no record.
QString recordText(const TokenRecord& record);
std::optional<TokenRecord> recordFromText(const QString& text);

// The refresh grant at the profile's token endpoint, sent on the auth worker and waited for at
// most the profile's timeout, or until stop is requested. Returns the new record (keeping the
// refresh token unless a new one came), or nothing when the endpoint refused the refresh token
// (revoked or expired: only a new sign-in helps). Raises TokenFailed when the endpoint cannot
// be reached, fails (5xx), answers otherwise wrongly, or the wait ends first.
std::optional<TokenRecord> refreshedRecord(const MailProfile& profile, const TokenRecord& record,
                                           std::stop_token stop = {});

// The access token for an unattended sign-on: the stored one, refreshed (and stored again) when
// it expires within 60 s or renew is set. Raises SignInNeeded when nothing is stored or the
// refresh token was refused (the dead record is then removed), KeyringUnavailable, TokenFailed.
// A stop request ends every wait at once, with one of the last two.
QString oauth2AccessToken(const MailProfile& profile, bool renew, std::stop_token stop = {});

} // namespace kelvo
