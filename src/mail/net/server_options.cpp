// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/server_options.h"

#include "mail/core/mail_error.h"

#include <QUrl>

namespace kelvo {

Endpoint endpointOf(const QString& text) {
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    int port = 143;
    if (scheme == u"imaps")
        port = 993;
    else if (scheme == u"smtp")
        port = 25;
    else if (scheme == u"smtps")
        port = 465;
    return Endpoint{url.host(), url.port(port)};
}

bool implicitTls(const QString& url) {
    return QUrl(url).scheme().toLower().endsWith(u's');
}

QString starttlsMode(const ServerOptions& options) {
    if (!options.starttls.isEmpty())
        return options.starttls;
    return endpointOf(options.url).port == 587 ? QStringLiteral("required")
                                               : QStringLiteral("optional");
}

void startTlsAsAsked(const ServerOptions& options, const std::function<bool()>& offered,
                     const std::function<void()>& upgrade) {
    if (implicitTls(options.url))
        return;
    const QString mode = starttlsMode(options);
    if (mode == u"no")
        return;
    if (offered())
        upgrade();
    else if (mode == u"required")
        throw mailError(mailerr::Failure, QStringLiteral("STARTTLSに対応していないサーバーです：") +
                                              endpointOf(options.url).host);
}

} // namespace kelvo
