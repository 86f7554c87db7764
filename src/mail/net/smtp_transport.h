// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/net/mail_store.h"
#include "mail/net/server_options.h"

#include <QElapsedTimer>
#include <memory>
#include <set>
#include <string>

struct mailsmtp;

namespace kelvo {

class ServerConnection;

// Sends through an SMTP or SMTPS server, on libetpan. The messages of one sign-on share one
// session, opened at the first and ended by close(). A message that fails ends its session:
// whatever the server still had to say about it cannot reach the next message, which opens a
// new one. The sign-on presents the secret once, by one mechanism: a password by PLAIN where
// the server offers it, else by LOGIN; an access token by XOAUTH2 or, where the server offers
// only that, OAUTHBEARER; a refused token is renewed once.
class SmtpTransport final : public MailTransport {
public:
    explicit SmtpTransport(const ServerOptions& options);
    ~SmtpTransport() override;
    void send(const std::string& message, const QString& from, const QString& to) override;
    void sendWritten(const Writer& write, const QString& from, const QString& to) override;
    void close() override;

private:
    void open();
    void hello();
    void signOn();
    int present(const std::string& mechanism);
    // A reply of our own exchange: its code (0 when the connection failed) and its text.
    int reply(QString& text);
    bool sendLine(const std::string& line, bool credentials);
    // Raises the error for a libetpan result that is not a success.
    void check(int result, const QString& what, int refusedNumber);

    ServerOptions options;
    std::unique_ptr<ServerConnection> wire;
    mailsmtp* smtp = nullptr;
    std::set<std::string> mechanisms; // what the server offers to AUTH
    QString refusal;                  // the server's answer to a refused sign-on
    QElapsedTimer idle;               // since the session's last message
    bool inData = false;              // a message's data is on its way
};

} // namespace kelvo
