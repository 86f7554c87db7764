// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"
#include "mail/core/mail_types.h"
#include "mail/mime/command_check.h"

#include <QStringList>
#include <memory>

namespace kelvo {

// An account of an Inbox of several that could not be reached: its name as the ids of its mail
// carry it (MailSummary::account), and the error, which names its profile.
struct StoreDown {
    QString account;
    KelvoError error;
};

// One signed-on session with a mailbox and a way to send. Every call may throw KelvoError
// (mail_error.h). The controls call it from one thread at a time, not always the same one.
class MailConnection {
public:
    virtual ~MailConnection() = default;

    // The Inbox: every message, or only those without the mailbox's read mark, oldest first.
    // The scope may leave out unread mail the caller does not need (FetchScope).
    virtual std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope& scope) = 0;
    // The message's text in Unicode with CR LF line breaks. Never sets the read mark.
    virtual QString noteText(const QString& id) = 0;
    // The number of attachments of a message whose summary left it unknown.
    virtual int attachmentCount(const QString& id) = 0;
    // Stores (seen true) or clears the mailbox's read mark of the messages. Ids no longer in
    // the mailbox are passed over.
    virtual void setSeen(const QStringList& ids, bool seen) = 0;
    // Delivers the message to its recipient's address.
    virtual void send(const OutgoingMail& mail) = 0;
    // The address book's entry for a full name or an address.
    virtual MailRecipient resolveName(const QString& name) = 0;
    // True when resolveName never waits on a network or a program (a local address book), so
    // the controls call it on their own thread rather than hand it over.
    virtual bool resolvesLocally() const { return false; }
    // The profile's rule for the phone's commands.
    virtual CommandPolicy commandPolicy() const { return {}; }
    // The rule for a command in this message: an Inbox of several accounts may hold each
    // account's own.
    virtual CommandPolicy commandPolicy(const QString& id) const {
        (void)id;
        return commandPolicy();
    }
    // The accounts of an Inbox of several whose mail the last fetch lacks (they could not be
    // reached or refused the sign-on), each error naming its account.
    virtual std::vector<StoreDown> storesDown() const { return {}; }
    // The accounts of an Inbox of several that this session left out, as the ids of their mail
    // carry them: it looks at the others alone (news came from them).
    virtual QStringList storesLeftOut() const { return {}; }
    // Signs on to the accounts left out, so that the Inbox is whole from the next fetch on; the
    // accounts that fail, each error naming its account.
    virtual std::vector<StoreDown> lookAtAll() { return {}; }
    // Ends the session. Failures here are of no consequence and are not raised.
    virtual void close() = 0;
};

// Opens sessions. The profile name selects where the mailbox is and how mail is sent; an
// empty name means the default profile.
class MailBackend {
public:
    virtual ~MailBackend() = default;
    // downloadMail: fetch new mail into the mailbox first, where the profile says how.
    virtual std::unique_ptr<MailConnection> signOn(const QString& profileName,
                                                   bool downloadMail) = 0;
    // As signOn, for a profile that combines accounts looking at those named alone (by their
    // profiles' names; none of them: every account). Another profile ignores the names.
    virtual std::unique_ptr<MailConnection>
    signOnAccounts(const QString& profileName, bool downloadMail, const QStringList& accounts) {
        (void)accounts;
        return signOn(profileName, downloadMail);
    }
    // True when calls may wait on a network or a program, so the controls keep them off the
    // user-interface thread.
    virtual bool mayBlock() const { return true; }
};

} // namespace kelvo
