// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <stop_token>

namespace kelvo::keyring {

// How long a keyring call waits for the Secret Service before giving up.
inline constexpr std::chrono::seconds defaultBound{30};

// The desktop keyring (the Secret Service, through QtKeychain), under the service name "kelvo".
// Never falls back to a file. Every call may come from any thread but the auth worker's, runs
// its job there and waits at most bound, or until stop is requested. A keyring that is not
// running, locked, refuses access or does not answer in time raises KeyringUnavailable, as
// does a stopped wait; its text never holds a secret.

// The secret stored under key; nothing when none is.
std::optional<QString> read(const QString& key, std::chrono::seconds bound = defaultBound,
                            std::stop_token stop = {});

// Stores the secret under key, replacing what was there.
void write(const QString& key, const QString& secret, std::chrono::seconds bound = defaultBound,
           std::stop_token stop = {});

// Removes what is stored under key; nothing stored is no error.
void remove(const QString& key, std::chrono::seconds bound = defaultBound,
            std::stop_token stop = {});

} // namespace kelvo::keyring
