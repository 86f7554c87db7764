// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"
#include "mail/mail_backend.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kelvo {

// One account of a combined Inbox: its profile's name and its session, none while its store
// cannot be reached or while the session leaves it out.
struct InboxPart {
    QString name;
    std::unique_ptr<MailConnection> conn;
    std::optional<KelvoError> down; // why there is no session, naming the profile
    bool later = false;             // left out until the session looks at every account
};

// The Inboxes of several accounts as one. A message's id is its profile's name (percent-encoded),
// "/" and its id in that account, so that ids stay unique and stable whatever the order of the
// accounts; every call about a message goes to its own account. An account that fails is left out
// of the session and named by storesDown(); the others go on.
class CombinedConnection final : public MailConnection {
public:
    // Signs on to the account of a profile's name; download: fetch new mail first.
    using Opener =
        std::function<std::unique_ptr<MailConnection>(const QString& name, bool download)>;

    // The opener signs on to the parts left out, when the session is to look at all of them.
    CombinedConnection(std::vector<InboxPart> parts, CommandPolicy policy, Opener opener = {});
    ~CombinedConnection() override;

    // Signs on to the parts at once, each in its own time; one that fails is down, naming its
    // profile.
    static void signOnAtOnce(const std::vector<InboxPart*>& parts, const Opener& open,
                             bool download);

    // Every account's Inbox at once, merged by received time (oldest first, as one Inbox
    // is). Only when no account answers is anything raised.
    std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope& scope) override;
    QString noteText(const QString& id) override;
    int attachmentCount(const QString& id) override;
    void setSeen(const QStringList& ids, bool seen) override;
    void send(const OutgoingMail& mail) override;
    MailRecipient resolveName(const QString& name) override;
    bool resolvesLocally() const override { return true; }
    CommandPolicy commandPolicy() const override { return policy; }
    CommandPolicy commandPolicy(const QString& id) const override;
    std::vector<StoreDown> storesDown() const override;
    QStringList storesLeftOut() const override;
    std::vector<StoreDown> lookAtAll() override;
    void close() override;

    // The error of an account, with its profile's name after it.
    static KelvoError naming(const KelvoError& e, const QString& profile);

private:
    // The account of an id and the id in that account; raises InvalidMessage for an id of
    // no live account.
    std::pair<MailConnection*, QString> route(const QString& id) const;
    MailConnection& anyLive();
    void markDown(InboxPart& part, const KelvoError& e);
    // The error of the first account that is down: the session's own when none is live.
    const KelvoError& firstDown() const;

    std::vector<InboxPart> parts;
    Opener opener;
    QStringList prefixes; // of each part's ids
    CommandPolicy policy;
    // The messages that were left out of a fetch as the same mail (one Message-ID) reached
    // another account too: they are marked as that one is.
    QHash<QString, QStringList> twins;
};

} // namespace kelvo
