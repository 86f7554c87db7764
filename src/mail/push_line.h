// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/push_port.h"

#include <QString>

namespace kelvo {

// The push connections of the profiles in profiles.ini: IDLE on the IMAP server, or the
// Maildir's new/ folder watched. Events reach onEvent on the thread that opened the connection.
class ProfilePushLine final : public PushLine {
public:
    explicit ProfilePushLine(QString profilesPath);

    bool pushes(const QString& profile) override;
    std::unique_ptr<PushConnection> open(const QString& profile) override;

private:
    QString path;
};

} // namespace kelvo
