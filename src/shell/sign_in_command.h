// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelvo {

struct SignInSeams;

// "kelvo --sign-in [profile]": the profile named after the option (the default profile when
// none is), or nothing when the arguments do not ask for a sign-in.
std::optional<QString> サインイン指定(const QStringList& arguments);

// How the person at the terminal signs in: the address of the provider's page printed and
// opened in the desktop's browser (when none opens, the address is there to open by hand), and
// the password dialog.
SignInSeams 端末のサインイン手段();

// Signs the profile of profiles.ini on with the person at the terminal: the browser or the
// password dialog, what they give stored in the keyring, then one sign-on to the servers to
// check it. Reads nothing but profiles.ini, opens no main window and takes no lock. Prints
// the outcome (never a secret): 0 when the sign-on worked, 1 otherwise.
int サインインコマンド(const QString& profilesPath, const QString& profileName,
                       const SignInSeams& seams);

} // namespace kelvo
