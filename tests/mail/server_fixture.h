// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "error_of.h"
#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "mail_server_state.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace kelvo::test {

// A GET, or with a form a POST, at a test authorization server (oauth_server.py) on the
// loopback port, waiting 10 s at most: its JSON answer, empty when the request failed (ok then
// false).
QJsonDocument oauthRequest(int port, const QString& path,
                           const std::optional<QByteArray>& form = std::nullopt,
                           bool* ok = nullptr);

// The private Dovecot and SMTP sink the test suite started, and what the tests do with them.
struct MailServers : MailServerState {
    static const MailServers& get();

    // Posts a form to the authorization server (/control/mint, /control/expire, ...) and
    // returns its JSON answer.
    QJsonObject oauthPost(const QString& path, const QByteArray& form = {}) const;
    // A live access token for the user, made without a flow.
    QString mintToken(const QString& user) const;

    // Puts a message into the user's Inbox as a mail server would, read or unread; arrived
    // (the server's INTERNALDATE) when given, else now.
    void deliver(const QString& user, const QByteArray& raw, bool seen = false,
                 const QDateTime& arrived = QDateTime()) const;
    // What the sink received so far, oldest first: sender, recipients and bytes.
    struct Received {
        QString from;
        QStringList to;
        QByteArray data;
        QString authToken; // what the session signed on with (AUTH XOAUTH2), if anything
    };
    std::vector<Received> received() const;
};

// A profiles file in a temporary folder, the two controls over it, and the command lines
// they sent to the servers.
struct ServerMail {
    QTemporaryDir temp;
    QString profilesPath;
    std::unique_ptr<ProfileBackend> backend;
    std::unique_ptr<MapiSession> mapSess;
    std::unique_ptr<MapiMessages> mapMess;
    std::vector<KelvoError> reported;
    std::shared_ptr<std::atomic<int>> commands = std::make_shared<std::atomic<int>>(0);
    // The command lines themselves, in order (read them between calls).
    std::shared_ptr<QStringList> lines = std::make_shared<QStringList>();
    int linesStartingWith(const QString& start) const;

    // The profile "test" for the user: plain IMAP, the sink for sending. extra: more lines.
    explicit ServerMail(const QString& user, const QString& extra = QString());
    // Writes the profiles file (mode 0600).
    void writeProfiles(const QString& text);
    // New controls over the same profiles file, as the next program run would have.
    void restart();
    void signOn(const QString& profile = QStringLiteral("test"));
    void fetch(bool unreadOnly);
    QStringList subjects();
    // Signs on and reads the text of the newest unread message.
    void readFirstUnread();
    // Unread messages of the user as a separate session sees them.
    int unreadOnServer(const QString& profile = QStringLiteral("test"));

    QString user;
};

} // namespace kelvo::test
