// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/net/mail_store.h"

#include <QStringList>

namespace kelvo {

// Hands the message to a sendmail-compatible program ("-i -f sender -- recipient").
class SendmailTransport final : public MailTransport {
public:
    SendmailTransport(const QStringList& commandLine, int timeoutSeconds)
        : commandLine(commandLine), timeoutSeconds(timeoutSeconds) {}
    void send(const std::string& message, const QString& from, const QString& to) override;

private:
    QStringList commandLine;
    int timeoutSeconds;
};

} // namespace kelvo
