// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/net/mail_store.h"

#include <QString>
#include <optional>

namespace kelvo {

// A Maildir (cur, new and tmp under one folder, as ~/Maildir is) read directly: new and cur
// are listed, the read mark is the "S" of the ":2," information, set and cleared by renaming,
// and a message reached the mailbox when its file was written. The message's unique name is
// its id.
class MaildirStore final : public MailStore {
public:
    // Raises MailboxMissing when the folder is not a Maildir.
    explicit MaildirStore(const QString& root);

    // Every message the read mark asks for: the scope saves nothing on a local folder.
    std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope& scope) override;
    vmime::shared_ptr<vmime::message> message(const QString& id) override;
    void setSeen(const QStringList& ids, bool seen) override;
    void close() override {}

private:
    struct Entry {
        QString path;
        QString unique;
        QString flags; // the letters after ":2,"
    };
    std::vector<Entry> list() const;
    std::optional<Entry> find(const QString& id) const;

    QString root;
};

} // namespace kelvo
