// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>

namespace kelvo {

// How a client reaches its IMAP or SMTP server, and what its errors must never show.
struct ServerOptions {
    QString url; // imap://, imaps://, smtp://, smtps://
    QString user;
    QString password; // or, with bearer, an OAuth 2.0 access token
    bool bearer = false;
    // With bearer: a new token, once the server has refused the one given (empty: none).
    std::function<QString()> renewToken;
    bool authenticate = true;
    int timeoutSeconds = 60;
    QString caFile;   // extra trusted certificates, for a private server
    QString starttls; // "required", "optional" or "no"; empty: the default for the port
    // Each command line sent, credentials left out (tests count round trips with it).
    std::function<void(const QString&)> trace;
};

// The URL's host and port (the protocol's own port when the URL names none).
struct Endpoint {
    QString host;
    int port = 0;
};
Endpoint endpointOf(const QString& url);

// Whether the URL asks for TLS from the start (imaps://, smtps://).
bool implicitTls(const QString& url);

// What a plain imap:// or smtp:// URL does about STARTTLS: "required", "optional" or "no", as
// the options say, else required on the submission port 587 and optional elsewhere.
QString starttlsMode(const ServerOptions& options);

} // namespace kelvo
