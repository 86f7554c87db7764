// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/net/mail_store.h"
#include "mail/net/vmime_service.h"

#include <QElapsedTimer>

namespace kelvo {

// Sends through an SMTP or SMTPS server. The messages of one sign-on share one session, opened
// at the first and ended by close(). A message that fails ends its session: whatever the
// server still had to say about it cannot reach the next message, which opens a new one.
class SmtpTransport final : public MailTransport {
public:
    explicit SmtpTransport(const vm::ServiceOptions& options) : options(options) {}
    ~SmtpTransport() override { close(); }
    void send(const std::string& message, const QString& from, const QString& to) override;
    void close() override;

private:
    void sendOnce(const std::string& message, const QString& from, const QString& to);

    vm::ServiceOptions options;
    vmime::shared_ptr<vmime::net::transport> transport;
    QElapsedTimer idle; // since the session's last message
};

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
