// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "oauth2_tokens.h"

#include "keyring.h"
#include "mail/core/mail_error.h"
#include "mail/core/profiles.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <mutex>

namespace kelvo {

namespace {

// A token this close to its expiry would run out during the sign-on.
constexpr int refreshMarginSeconds = 60;

// A form body: every value percent-encoded, since tokens may hold '+' or '/'.
QByteArray formBody(const QList<std::pair<const char*, QString>>& fields) {
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

// The endpoint's error code, reduced to the characters such a code has: its other fields may
// quote what was sent.
QString errorCodeOf(const QJsonObject& answer) {
    return answer.value(QLatin1String("error"))
        .toString()
        .remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")))
        .left(64);
}

} // namespace

QString tokenRecordKey(const QString& profileName) {
    return QStringLiteral("oauth2/") + profileName;
}

QString passwordKey(const QString& profileName) {
    return QStringLiteral("password/") + profileName;
}

QString recordText(const TokenRecord& r) {
    QJsonObject o{{QStringLiteral("access_token"), r.accessToken},
                  {QStringLiteral("refresh_token"), r.refreshToken}};
    if (r.expiresAt.isValid())
        o.insert(QStringLiteral("expires_at"), r.expiresAt.toSecsSinceEpoch());
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<TokenRecord> recordFromText(const QString& text) {
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    TokenRecord r{o.value(QLatin1String("access_token")).toString(),
                  o.value(QLatin1String("refresh_token")).toString(),
                  {}};
    if (r.accessToken.isEmpty())
        return std::nullopt;
    if (o.contains(QLatin1String("expires_at")))
        r.expiresAt = QDateTime::fromSecsSinceEpoch(
            o.value(QLatin1String("expires_at")).toInteger(), Qt::UTC);
    return r;
}

std::optional<TokenRecord> refreshedRecord(const MailProfile& p, const TokenRecord& record) {
    if (record.refreshToken.isEmpty())
        return std::nullopt;
    QList<std::pair<const char*, QString>> fields{{"grant_type", QStringLiteral("refresh_token")},
                                                  {"refresh_token", record.refreshToken},
                                                  {"client_id", p.oauth.clientId}};
    if (!p.oauth.clientSecret.isEmpty())
        fields.append({"client_secret", p.oauth.clientSecret});

    QNetworkRequest request{QUrl(p.oauth.tokenUrl)};
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    QNetworkAccessManager network;
    QEventLoop loop;
    std::unique_ptr<QNetworkReply> reply(network.post(request, formBody(fields)));
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(p.timeoutSeconds * 1000, reply.get(), &QNetworkReply::abort);
    if (!reply->isFinished())
        loop.exec();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    if (status == 0)
        throw mailError(mailerr::TokenFailed, reply->errorString());
    if ((status == 400 || status == 401) &&
        answer.value(QLatin1String("error")).toString() == QLatin1String("invalid_grant"))
        return std::nullopt;
    const QString accessToken = answer.value(QLatin1String("access_token")).toString();
    if (status != 200 || accessToken.isEmpty())
        throw mailError(
            mailerr::TokenFailed,
            QStringLiteral("HTTP %1 %2").arg(status).arg(errorCodeOf(answer)).trimmed());

    TokenRecord fresh{accessToken, answer.value(QLatin1String("refresh_token")).toString(), {}};
    if (fresh.refreshToken.isEmpty())
        fresh.refreshToken = record.refreshToken;
    const qint64 lifetime = answer.value(QLatin1String("expires_in")).toVariant().toLongLong();
    if (lifetime > 0)
        fresh.expiresAt = QDateTime::currentDateTimeUtc().addSecs(lifetime);
    return fresh;
}

QString oauth2AccessToken(const MailProfile& p, bool renew) {
    // The mail thread and the push thread sign on at once: one refresh at a time, so that a
    // provider that replaces the refresh token at each use does not see the old one again.
    static std::mutex refreshing;
    const std::lock_guard<std::mutex> lock(refreshing);

    const QString key = tokenRecordKey(p.name);
    const std::optional<TokenRecord> stored =
        recordFromText(keyring::read(key).value_or(QString()));
    if (!stored)
        throw mailError(mailerr::SignInNeeded, p.name);
    const bool expiring =
        stored->expiresAt.isValid() &&
        QDateTime::currentDateTimeUtc().secsTo(stored->expiresAt) <= refreshMarginSeconds;
    if (!renew && !expiring)
        return stored->accessToken;

    const std::optional<TokenRecord> fresh = refreshedRecord(p, *stored);
    if (!fresh) {
        // Asking again with a refused refresh token would only be refused again. The record
        // goes, unless a sign-in stored a new one meanwhile.
        const auto now = recordFromText(keyring::read(key).value_or(QString()));
        if (now && now->refreshToken == stored->refreshToken)
            keyring::remove(key);
        throw mailError(mailerr::SignInNeeded, p.name);
    }
    keyring::write(key, recordText(*fresh));
    return fresh->accessToken;
}

} // namespace kelvo
