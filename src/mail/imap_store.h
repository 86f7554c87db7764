#pragma once

#include "mail/mail_store.h"
#include "mail/vmime_service.h"

#include <set>
#include <vector>

namespace kelvo {

// The Inbox of an IMAP or IMAPS server. A fetch costs the same few round trips whatever the
// number of messages: one batched fetch of flags, one of the headers and structure of the
// messages it keeps. Texts are fetched one by one when asked for, without setting the read
// mark. A message's id is the folder's UIDVALIDITY and the message's UID.
class ImapStore final : public MailStore {
public:
    // Connects, signs on and opens the Inbox.
    explicit ImapStore(const vm::ServiceOptions& options);
    ~ImapStore() override;

    std::vector<MailSummary> fetch(bool unreadOnly) override;
    vmime::shared_ptr<vmime::message> message(const QString& id) override;
    void setSeen(const QStringList& ids, bool seen) override;
    void close() override;

private:
    // Fetches the headers and structure of the messages in one command, or, when the parser
    // throws on some header, in halves, leaving out and naming the messages it throws on.
    void fetchHeaders(std::vector<vmime::shared_ptr<vmime::net::message>> messages,
                      std::set<vmime::net::message*>& unparsed);
    void requireOpen() const;
    // The UID of an id of this folder, or 0 for an id of another folder or UIDVALIDITY.
    unsigned long uidOf(const QString& id) const;

    vm::ServiceOptions options;
    vmime::shared_ptr<vmime::net::session> session;
    vmime::shared_ptr<vmime::net::store> store;
    vmime::shared_ptr<vmime::net::folder> inbox;
    QString validity;
};

} // namespace kelvo
