#pragma once

#include "mail/mail_store.h"
#include "mail/vmime_service.h"

namespace kelvo {

// Sends through an SMTP or SMTPS server, one connection per message.
class SmtpTransport final : public MailTransport {
public:
    explicit SmtpTransport(const vm::ServiceOptions& options) : options(options) {}
    void send(const std::string& message, const QString& from, const QString& to) override;

private:
    vm::ServiceOptions options;
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
