// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/auth/sign_on_secret.h"

#include "system/command_runner.h"
#include "keyring.h"
#include "mail/core/mail_error.h"
#include "oauth2_tokens.h"
#include "mail/core/profiles.h"

namespace kelvo {

namespace {

// The first line a command prints. What a failing command says may be the secret itself: its
// exit code alone is reported.
QString firstLineOf(const QString& command, const char* key, int timeoutSeconds) {
    return QString::fromLocal8Bit(
               runShellCommand(command, timeoutSeconds,
                               {mailerr::CommandFailed, QLatin1String(key), false, {}}))
        .section(u'\n', 0, 0)
        .remove(u'\r');
}

} // namespace

SignOnSecret signOnSecret(const MailProfile& p, bool renew, std::stop_token stop) {
    if (p.oauth2) {
        if (!p.oauth.tokenCommand.isEmpty())
            return {firstLineOf(p.oauth.tokenCommand, "token-command", p.timeoutSeconds), true};
        return {oauth2AccessToken(p, renew, stop), true};
    }
    if (p.passwordInKeyring) {
        const std::optional<QString> password =
            keyring::read(passwordKey(p.name), keyring::defaultBound, stop);
        if (!password)
            throw mailError(mailerr::SignInNeeded, p.name);
        return {*password, false};
    }
    if (!p.password.isEmpty() || p.passwordCommand.isEmpty())
        return {p.password, false};
    return {firstLineOf(p.passwordCommand, "password-command", p.timeoutSeconds), false};
}

} // namespace kelvo
