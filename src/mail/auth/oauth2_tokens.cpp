// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "oauth2_tokens.h"

#include "auth_worker.h"
#include "keyring.h"
#include "mail/core/mail_error.h"
#include "mail/core/profiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <condition_variable>
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

// What the token endpoint answered: no status when it could not be reached.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
    QString error;
};

// A token answer is a few hundred bytes; one far larger is no answer.
constexpr qint64 maxAnswerBytes = 1 << 20;

// Posts the form on the auth worker and waits for the answer.
HttpAnswer posted(const QNetworkRequest& request, const QByteArray& body, const AuthWait& wait) {
    AuthWorker& worker = AuthWorker::shared();
    return worker.ask<HttpAnswer>(
        [&worker, request, body](const AuthAnswer<HttpAnswer>& answer) {
            QNetworkReply* reply = worker.network().post(request, body);
            QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 got) {
                if (got > maxAnswerBytes)
                    reply->abort();
            });
            QObject::connect(reply, &QNetworkReply::finished, reply, [reply, answer] {
                answer.give({reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                             reply->isOpen() ? reply->readAll() : QByteArray(),
                             reply->errorString()});
                reply->deleteLater();
            });
            answer.onAbandon([reply = QPointer<QNetworkReply>(reply)] {
                if (reply)
                    reply->abort();
            });
        },
        wait);
}

// The mail thread and the push thread sign on at once: one refresh at a time, so that a
// provider that replaces the refresh token at each use does not see the old one again. A caller
// being stopped stops waiting for its turn.
class RefreshTurn {
public:
    explicit RefreshTurn(std::stop_token stop) : state(shared()) {
        std::unique_lock<std::mutex> hold(state.lock);
        if (!state.free.wait(hold, stop, [this] { return !state.busy; }))
            throw mailError(mailerr::TokenFailed, QStringLiteral("中断しました"));
        state.busy = true;
    }
    ~RefreshTurn() {
        {
            const std::lock_guard<std::mutex> hold(state.lock);
            state.busy = false;
        }
        state.free.notify_all();
    }
    RefreshTurn(const RefreshTurn&) = delete;
    RefreshTurn& operator=(const RefreshTurn&) = delete;

private:
    struct State {
        std::mutex lock;
        std::condition_variable_any free;
        bool busy = false;
    };
    static State& shared() {
        // Never destroyed: a thread may still sign on while the process ends.
        static State* const state = new State;
        return *state;
    }
    State& state;
};

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

std::optional<TokenRecord> refreshedRecord(const MailProfile& p, const TokenRecord& record,
                                           std::stop_token stop) {
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
    const HttpAnswer reply =
        posted(request, formBody(fields),
               {std::chrono::seconds(std::max(1, p.timeoutSeconds)), stop, mailerr::TokenFailed});

    const int status = reply.status;
    const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
    if (status == 0)
        throw mailError(mailerr::TokenFailed, reply.error);
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

QString oauth2AccessToken(const MailProfile& p, bool renew, std::stop_token stop) {
    const RefreshTurn turn(stop);
    const QString key = tokenRecordKey(p.name);
    const auto bound = keyring::defaultBound;
    const std::optional<TokenRecord> stored =
        recordFromText(keyring::read(key, bound, stop).value_or(QString()));
    if (!stored)
        throw mailError(mailerr::SignInNeeded, p.name);
    const bool expiring =
        stored->expiresAt.isValid() &&
        QDateTime::currentDateTimeUtc().secsTo(stored->expiresAt) <= refreshMarginSeconds;
    if (!renew && !expiring)
        return stored->accessToken;

    const std::optional<TokenRecord> fresh = refreshedRecord(p, *stored, stop);
    if (!fresh) {
        // Asking again with a refused refresh token would only be refused again. The record
        // goes, unless a sign-in stored a new one meanwhile.
        const auto now = recordFromText(keyring::read(key, bound, stop).value_or(QString()));
        if (now && now->refreshToken == stored->refreshToken)
            keyring::remove(key, bound, stop);
        throw mailError(mailerr::SignInNeeded, p.name);
    }
    keyring::write(key, recordText(*fresh), bound, stop);
    return fresh->accessToken;
}

} // namespace kelvo
