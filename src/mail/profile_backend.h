// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/mail_backend.h"

#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>

namespace kelvo {

class IdleClients;
class ProfilePushLine;
struct MailProfile;

// The mail system of a profile (profiles.h): an IMAP or IMAPS Inbox or a Maildir, sending
// through SMTP or a sendmail-compatible program, and a vCard address book.
class ProfileBackend final : public MailBackend {
public:
    explicit ProfileBackend(QString profilesPath);
    std::unique_ptr<MailConnection> signOn(const QString& profileName, bool downloadMail) override;
    std::unique_ptr<MailConnection> signOnAccounts(const QString& profileName, bool downloadMail,
                                                   const QStringList& accounts) override;

    // A profile or account with push borrows the line's IMAP connection for its session where
    // one idles, and signs on anew only where none does.
    void borrowFrom(const ProfilePushLine& line);

    // Each command line sent to a server (tests count round trips with it).
    std::function<void(const QString&)> trace;

    // Mail the quick way (the structure and the text alone) failed on: read whole from then on.
    class WholeOnly {
    public:
        bool has(const QString& id) const;
        void add(const QString& id);

    private:
        mutable std::mutex lock;
        QSet<QString> ids;
    };

private:
    QString path;
    std::shared_ptr<IdleClients> idle;
    std::shared_ptr<WholeOnly> wholeOnly = std::make_shared<WholeOnly>();
};

} // namespace kelvo
