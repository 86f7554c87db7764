// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>

namespace kelvo {

// What a push connection reports, on the window's thread.
struct PushEvent {
    enum Kind {
        Connected, // signed on and waiting for news
        NoIdle,    // the server cannot push; the connection is closed
        NewMail,   // mail has arrived in the Inbox
        Lost,      // the connection broke off or could not be made
    };
    Kind kind = Lost;
    // For Lost: what went wrong, when it is more than the server being out of reach for now
    // (a certificate or a password refused); empty otherwise.
    QString error;
    int errorNumber = 0;
    // For Lost: the connection watches for its own return and then reports Connected; no new
    // try is due.
    bool comesBack = false;
};

// One connection to a profile's store that reports new mail as it arrives: the IMAP server's
// IDLE or a Maildir's new/ folder. It never blocks the window's thread.
class PushLine {
public:
    virtual ~PushLine() = default;
    // True when the profile asks for push.
    virtual bool pushes(const QString& profile) = 0;
    // Starts connecting in the background; what follows comes through onEvent.
    virtual void open(const QString& profile) = 0;
    // Starts waiting for news anew on the open connection (servers drop a long wait).
    virtual void renew() = 0;
    // Closes the connection, signing off first. No event follows.
    virtual void close() = 0;

    std::function<void(const PushEvent&)> onEvent;
};

} // namespace kelvo
