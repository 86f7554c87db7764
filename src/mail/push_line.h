// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/push_port.h"

#include <QObject>
#include <QString>
#include <memory>

namespace kelvo {

class ImapIdle;
class MaildirWatch;

// The push connection of a profile in profiles.ini: IDLE on its IMAP server, or its Maildir's
// new/ folder watched. Events reach onEvent on the thread that made the object.
class ProfilePushLine final : public QObject, public PushLine {
    Q_OBJECT
public:
    explicit ProfilePushLine(QString profilesPath);
    ~ProfilePushLine() override;

    bool pushes(const QString& profile) override;
    void open(const QString& profile) override;
    void renew() override;
    void close() override;

private:
    // Hands the event to onEvent on this object's thread, unless the connection it came from
    // has been closed since.
    void post(int connection, const PushEvent& event);

    QString path;
    int connection = 0;
    std::unique_ptr<ImapIdle> imap;
    std::unique_ptr<MaildirWatch> maildir;
};

} // namespace kelvo
