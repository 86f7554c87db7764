// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What every VMime service of the mail layer needs: TLS verification, a time-out, a tracer,
// and the translation of VMime's errors. Private to the mail layer.

#include "common/error.h"
#include "mail/core/mail_error.h"

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <vector>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

// How a service reaches its server, and what its errors must never show.
struct ServiceOptions {
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
    std::function<void(const QString&)> trace; // each command line sent (tests count them)
};

// The URL's host and port (the protocol's own port when the URL names none).
struct Endpoint {
    QString host;
    int port = 0;
};
Endpoint endpointOf(const QString& url);

// Sets the session properties, verifier, time-out and tracer of a service made from the
// options. prefix: "store.imap." or "transport.smtp." and so on, as VMime names them.
void configure(vmime::net::service& service, const ServiceOptions& options);

// Checks a server's certificate chain (DER, the server's own first) as the services do: against
// the system's trust store and the ca-file, for the host name. Raises CertificateNotTrusted.
void verifyChain(const std::vector<QByteArray>& der, const QString& host, const QString& caFile);

// The error raised for what VMime (or anything else) threw while talking to the endpoint:
// a KelvoError with a Japanese description, the library's text after it, and no password.
// commandNumber: the number for a command the server refused.
KelvoError translate(std::exception_ptr error, const ServiceOptions& options, int commandNumber);

// Runs work, raising every failure as translate() makes it.
template <typename Work>
auto guarded(const ServiceOptions& options, int commandNumber, Work&& work) {
    try {
        return work();
    } catch (...) {
        throw translate(std::current_exception(), options, commandNumber);
    }
}

// Runs work; when the server refused the options' access token, takes a new one from
// renewToken (it may have been revoked, or run out since it was fetched) and runs it once more.
template <typename Work> void withRenewedToken(ServiceOptions& options, Work&& work) {
    try {
        work();
    } catch (const KelvoError& e) {
        if (!options.bearer || !options.renewToken || e.number() != mailerr::LoginFailed)
            throw;
        options.password = options.renewToken();
        work();
    }
}

} // namespace kelvo::vm
