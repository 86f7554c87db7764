// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/net/imap_fetch_reader.h"
#include "mail/net/mail_store.h"
#include "mail/net/vmime_service.h"

#include <memory>
#include <vector>
#include <vmime/net/imap/IMAPParser.hpp>

namespace kelvo {

// The Inbox of an IMAP or IMAPS server, on one connection and one sign-on: everything is done
// on the store's own connection, where VMime's folder would open a second one. A fetch costs
// the same few round trips whatever the number of messages: a search for the unread ones, and
// one batched fetch of their flags, the header fields read here and structure. Texts are
// fetched one by one when asked for, without setting the read mark. A message's id is the
// folder's UIDVALIDITY and the message's UID.
class ImapStore final : public MailStore {
public:
    // Connects, signs on and selects the Inbox.
    explicit ImapStore(const vm::ServiceOptions& options);
    ~ImapStore() override;

    std::vector<MailSummary> fetch(bool unreadOnly) override;
    vmime::shared_ptr<vmime::message> message(const QString& id) override;
    void setSeen(const QStringList& ids, bool seen) override;
    void close() override;

private:
    using Parser = vmime::net::imap::IMAPParser;
    // The summaries are read from the server's answers directly: VMime's folder would match
    // every answer against every message object it holds, a cost that grows with the square
    // of the Inbox.
    std::unique_ptr<Parser::response> command(const std::string& text, const char* name);
    // The numbers of the messages a search key finds ("UNSEEN", "ALL").
    std::vector<size_t> numbers(const char* key);
    // The UIDVALIDITY the SELECT answer names, 0 when it names none.
    static unsigned long validityOf(const Parser::response& answer);
    vmime::shared_ptr<vmime::net::imap::IMAPConnection> connection() const;
    void requireOpen() const;
    // The UID of an id of this folder, or 0 for an id of another folder or UIDVALIDITY.
    unsigned long uidOf(const QString& id) const;

    vm::ServiceOptions options;
    vmime::shared_ptr<vmime::net::session> session;
    vmime::shared_ptr<vmime::net::store> store;
    QString validity;
    bool selected = false;
    bool fresh = false; // nothing can have arrived unseen since the SELECT
};

} // namespace kelvo
