// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/server_options.h"

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

} // namespace kelvo
