// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"
#include "mail/mail_backend.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace kelvo {

// A mailbox, an outbox and an address book held in memory, for tests of the engine. The
// state outlives the sessions opened on it; every call is counted, and any call can be made
// to fail.
class MemoryMailSystem {
public:
    struct Message {
        MailSummary summary; // summary.seen is the mailbox's read mark
        QString text;
        QStringList attachmentNames;
    };
    struct Sent {
        OutgoingMail mail;
        QString profile;
        QStringList attachmentNames; // those of the forwarded original
    };

    // Adds a message to the Inbox (arriving last) and returns its id. An empty id is made up.
    QString addMessage(MailSummary summary, const QString& text = QString(),
                       const QStringList& attachmentNames = {});
    Message* find(const QString& id);
    bool isSeen(const QString& id) { return find(id) && find(id)->summary.seen; }

    std::vector<Message> inbox;
    std::vector<Sent> outbox;
    // Full name to address; empty with no address book.
    QHash<QString, QString> addressBook;
    bool hasAddressBook = true;
    // Profile names that exist; the empty name (the default profile) always does.
    QStringList profiles;
    // Every profile's rule for the phone's commands.
    CommandPolicy commandPolicy;
    // The accounts of a combined Inbox that every fetch lacks.
    std::vector<StoreDown> storesDown;

    // Calls made, by name: "signOn", "fetch", "noteText", "setSeen", "clearSeen", "send",
    // "resolveName", "close".
    QStringList calls;
    int count(const QString& call) const { return static_cast<int>(calls.count(call)); }
    // The profile names of the sign-ons and whether each asked to download mail.
    QStringList signOnProfiles;
    std::vector<bool> signOnDownloads;
    int openSessions = 0;

    // Makes the named call raise this error, once or for every call after.
    void failNext(const QString& call, const KelvoError& error, bool always = false);
    void heal(const QString& call) { failures.remove(call); }
    // Raises the failure for the call when one is set.
    void enter(const QString& call);
    // Runs inside each call, after it is counted (a test's hook).
    std::function<void(const QString&)> onCall;

private:
    struct Failure {
        KelvoError error;
        bool always;
    };
    QHash<QString, Failure> failures;
    int nextId = 1;
};

class MemoryMailBackend final : public MailBackend {
public:
    explicit MemoryMailBackend(MemoryMailSystem& system) : system(system) {}
    std::unique_ptr<MailConnection> signOn(const QString& profileName, bool downloadMail) override;
    bool mayBlock() const override { return false; }

private:
    MemoryMailSystem& system;
};

} // namespace kelvo
