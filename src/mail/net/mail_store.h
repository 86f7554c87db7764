// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The two halves of a profile's session: where mail is kept and how it is sent. Private to
// the mail layer; every call may throw KelvoError.

#include "mail/core/mail_types.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include <vmime/vmime.hpp>

namespace kelvo {

class MailStore {
public:
    virtual ~MailStore() = default;
    // The Inbox, oldest first; the scope as MailConnection::fetch takes it.
    virtual std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope& scope) = 0;
    // The whole message, without setting its read mark.
    virtual vmime::shared_ptr<vmime::message> message(const QString& id) = 0;
    // The message's text and attachment count, read without its attachments; nothing when
    // the store cannot tell them that way for this message, which is then read whole.
    struct TextAlone {
        QString text;
        int attachments = 0;
    };
    virtual std::optional<TextAlone> textAlone(const QString&) { return std::nullopt; }
    virtual void setSeen(const QStringList& ids, bool seen) = 0;
    // Failures here are of no consequence and are not raised.
    virtual void close() = 0;
};

class MailTransport {
public:
    virtual ~MailTransport() = default;
    // Delivers the message (lines ending CR LF) from the sender to the recipient.
    virtual void send(const std::string& message, const QString& from, const QString& to) = 0;
    // The same for the message that write() writes, in pieces where the transport can take
    // them so: a large message is then never held whole a second time.
    using Writer = std::function<void(vmime::utility::outputStream&)>;
    virtual void sendWritten(const Writer& write, const QString& from, const QString& to) {
        std::string whole;
        vmime::utility::outputStreamStringAdapter out(whole);
        write(out);
        send(whole, from, to);
    }
    // Ends the session with the server, when the transport keeps one. Failures here are of no
    // consequence and are not raised.
    virtual void close() {}
};

} // namespace kelvo
