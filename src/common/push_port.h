// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

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

// One open connection to a profile's store that reports new mail as it arrives: the IMAP
// server's IDLE or a Maildir's new/ folder. Its end is its destruction: it signs off, waiting a
// moment at most for the server's goodbye, breaks off whatever is still under way, and no
// event follows.
class PushConnection {
public:
    virtual ~PushConnection() = default;
    // Starts waiting for news anew (servers drop a long wait).
    virtual void renew() = 0;
};

// Opens the push connections of profiles, without blocking the window's thread.
class PushLine {
public:
    virtual ~PushLine() = default;
    // True when the profile asks for push.
    virtual bool pushes(const QString& profile) = 0;
    // The profiles whose stores push for the profile: itself when it asks for push, or the
    // accounts with push of a profile that combines several.
    virtual QStringList pushStores(const QString& profile) {
        return pushes(profile) ? QStringList{profile} : QStringList();
    }
    // Starts connecting to a store of pushStores in the background; what follows comes through
    // onEvent, with the store as it was opened, for as long as the connection lives.
    virtual std::unique_ptr<PushConnection> open(const QString& store) = 0;

    std::function<void(const QString& store, const PushEvent&)> onEvent;
};

} // namespace kelvo
