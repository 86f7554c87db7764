// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

namespace kelvo {

struct MailProfile;

// How a sign-in reaches the person at the desktop.
struct SignInSeams {
    // Shows the provider's sign-in page; a KelvoError it raises ends the sign-in.
    std::function<void(const QUrl&)> openBrowser = defaultOpenBrowser;
    // Asks for the password of the named profile; nothing when the person declines.
    std::function<std::optional<QString>(const QString& profileName)> askPassword;

    // The desktop's browser.
    static void defaultOpenBrowser(const QUrl& url);
};

// Signs the profile on with a person at hand and keeps what that gives in the keyring, for the
// unattended sign-ons that follow. auth = oauth2: the authorization code flow in the browser,
// its answer coming back to a loopback address, with PKCE; the tokens are stored.
// password-store = keyring: the password is asked for and stored. Otherwise (token-command, a
// password in the profile or from password-command) there is nothing to store, and it returns
// at once. Raises KelvoError: TokenFailed (the flow failed, was refused or not finished within
// five minutes), SignInNeeded (the password was not given), KeyringUnavailable. The browser
// flow runs in the event loop of the calling thread: the application's main thread.
void signIn(const MailProfile& profile, const SignInSeams& seams = {});

// The profiles whose sign-ons a session of this one makes: itself, or for a profile combining
// others each of them, and itself too when it has a transport of its own.
std::vector<const MailProfile*> signOnProfiles(const MailProfile& profile);

// Whether signIn would store anything for the profile.
bool signInStores(const MailProfile& profile);

// Before a sign-on with a person at hand: when the profile keeps its token or password in the
// keyring and has none that works, signIn first; for each account of a combining profile. The check
// runs as a mail call, so a window keeps painting while a token is refreshed. Raises KelvoError.
void signInWhenNeeded(const MailProfile& profile, const SignInSeams& seams);

// What signInAccounts did for one account.
enum class AccountSignIn { Stored, NothingToStore, AlreadySignedIn };

// The sign-in a person asked for by name: a profile of one account is signed in again, whatever
// the keyring holds; each account of a combining profile only when it has nothing that works,
// one after another. Each account is told of as it is done. Raises KelvoError as signIn.
void signInAccounts(const MailProfile& profile, const SignInSeams& seams,
                    const std::function<void(const MailProfile&, AccountSignIn)>& told);

} // namespace kelvo
