// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A profile's rule for the phone's commands, and what the check of a command mail found.

#include <QString>

namespace kelvo {

enum class SenderCheck { None, Dkim, Dmarc };

// A profile's rule for commands (profiles.h: command-check, authserv-id, command-pin).
struct CommandPolicy {
    SenderCheck check = SenderCheck::None;
    QString authservId; // "-": the topmost field is taken whatever it names
    QString pin;        // empty: no PIN

    bool needsText() const { return !pin.isEmpty(); }
};

enum class CommandVerdict {
    Accepted,
    Unverified, // no usable verdict from the user's own server
    Failed,     // its verdict does not show the phone's provider
    WrongPin,
};

} // namespace kelvo
