// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/net/mail_store.h"
#include "mail/net/server_options.h"

#include <memory>

namespace kelvo {

class ImapClient;
class ImapLoan;

// The Inbox of an IMAP or IMAPS server, on one connection and one sign-on. A fetch costs the
// same few round trips whatever the number of messages: a search for the unread ones (those
// the scope needs, where it names a reach), and one fetch of their UIDs, flags and the header
// fields read here, whose answer is read response by response. Texts are fetched one by one when asked for, without setting the read mark. A
// message's id is the folder's UIDVALIDITY and the message's UID.
class ImapStore final : public MailStore {
public:
    // Connects, signs on and selects the Inbox. With a loan, the push connection's client is
    // borrowed instead where it idles, and given back at close().
    explicit ImapStore(const ServerOptions& options, std::shared_ptr<ImapLoan> loan = nullptr);
    ~ImapStore() override;

    std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope& scope) override;
    vmime::shared_ptr<vmime::message> message(const QString& id) override;
    std::optional<TextAlone> textAlone(const QString& id) override;
    void setSeen(const QStringList& ids, bool seen) override;
    void close() override;

private:
    ImapClient& client() const;
    // All messages, the newest wanted of them by their stamps read (scope.newest).
    std::vector<MailSummary> newest(ImapClient& c, size_t wanted);
    // The summaries of the messages (sequence numbers, or UIDs), oldest first.
    std::vector<MailSummary> summaries(ImapClient& c, const std::vector<uint32_t>& found,
                                       bool withFlags, bool byUid);
    // The UID of an id of this folder, or 0 for an id of another folder or UIDVALIDITY.
    uint32_t uidOf(const QString& id) const;

    ServerOptions options;
    std::shared_ptr<ImapLoan> loan;
    std::unique_ptr<ImapClient> imap;
    QString validity;
    bool fresh = false; // nothing can have arrived unseen since the SELECT
};

} // namespace kelvo
