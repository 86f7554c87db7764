// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/push_port.h"

#include <QString>
#include <memory>

namespace kelvo {

class IdleClients;

// The push connections of the profiles in profiles.ini: IDLE on the IMAP server, or the
// Maildir's new/ folder watched. Events reach onEvent on the thread that opened the connection.
class ProfilePushLine final : public PushLine {
public:
    explicit ProfilePushLine(QString profilesPath);

    bool pushes(const QString& profile) override;
    QStringList pushStores(const QString& profile) override;
    std::unique_ptr<PushConnection> open(const QString& store) override;

    // The IMAP connections open now, which a pass of the same profile may borrow while they
    // idle (ProfileBackend::borrowFrom).
    const std::shared_ptr<IdleClients>& idleClients() const { return clients; }

private:
    QString path;
    std::shared_ptr<IdleClients> clients;
};

} // namespace kelvo
