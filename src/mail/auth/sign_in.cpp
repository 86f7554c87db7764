// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/auth/sign_in.h"

#include "keyring.h"
#include "mail/auth/sign_on_secret.h"
#include "mail/core/mail_call.h"
#include "mail/core/mail_error.h"
#include "mail/core/profiles.h"
#include "oauth2_tokens.h"

#include <QAbstractOAuth2>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QRandomGenerator>
#include <QTimer>
#include <array>
#include <chrono>

namespace kelvo {

namespace {

using namespace std::chrono_literals;

// Long enough for a person to sign in at the provider's page.
constexpr auto browserWait = 5min;
// A person may have to unlock the keyring first.
constexpr auto keyringWait = 3min;

constexpr auto base64url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

// 256 bits from the system's random source, 43 URL-safe characters.
QByteArray randomText() {
    std::array<quint32, 8> bits;
    QRandomGenerator::system()->fillRange(bits.data(), bits.size());
    return QByteArray(reinterpret_cast<const char*>(bits.data()), sizeof bits).toBase64(base64url);
}

QByteArray codeChallenge(const QByteArray& verifier) {
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256).toBase64(base64url);
}

void signInWithBrowser(const MailProfile& p, const SignInSeams& seams) {
    // A keyring that cannot take the tokens is found out before the person goes to the browser.
    keyring::read(tokenRecordKey(p.name), keyringWait);
    QNetworkAccessManager network;
    QOAuth2AuthorizationCodeFlow flow(&network);
    flow.setAuthorizationUrl(QUrl(p.oauth.authorizeUrl));
    flow.setAccessTokenUrl(QUrl(p.oauth.tokenUrl));
    flow.setClientIdentifier(p.oauth.clientId);
    flow.setClientIdentifierSharedKey(p.oauth.clientSecret);
    flow.setScope(p.oauth.scope);

    // The address spelt out: a bare QHostAddress::LocalHost would be taken for a port number.
    QOAuthHttpServerReplyHandler loopback(QHostAddress(QHostAddress::LocalHost), 0);
    if (!loopback.isListening())
        throw mailError(mailerr::TokenFailed,
                        QStringLiteral("ループバックのポートを開けませんでした"));
    loopback.setCallbackText(
        QStringLiteral("Kelvoのサインオンを受け取りました。このページは閉じてかまいません。"));
    flow.setReplyHandler(&loopback);
    // What ties the answer to this sign-in: the flow's own is 8 characters, a guess too easy.
    flow.setState(QString::fromLatin1(randomText()));

    const QByteArray verifier = randomText(); // the PKCE code verifier
    flow.setModifyParametersFunction(
        [verifier](QAbstractOAuth::Stage stage, QMultiMap<QString, QVariant>* parameters) {
            if (stage == QAbstractOAuth::Stage::RequestingAuthorization) {
                parameters->insert(QStringLiteral("code_challenge"), codeChallenge(verifier));
                parameters->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
            } else if (stage == QAbstractOAuth::Stage::RequestingAccessToken) {
                parameters->insert(QStringLiteral("code_verifier"), verifier);
            }
        });

    QEventLoop loop;
    QString failure = QStringLiteral("時間内にサインインが終わりませんでした");
    bool ended = false; // the flow may end before the loop runs: grant() opens the browser
    const auto end = [&] {
        ended = true;
        loop.quit();
    };
    const auto fail = [&](const QString& why) {
        failure = why;
        end();
    };
    QObject::connect(&flow, &QAbstractOAuth::authorizeWithBrowser, &loop, [&](const QUrl& url) {
        try {
            (seams.openBrowser ? seams.openBrowser : SignInSeams::defaultOpenBrowser)(url);
        } catch (const KelvoError& e) {
            fail(e.description());
        }
    });
    QObject::connect(&flow, &QAbstractOAuth::granted, &loop, end);
    // The provider's error code only: its description may quote what was sent.
    QObject::connect(&flow, &QAbstractOAuth2::error, &loop,
                     [&](const QString& error, const QString&, const QUrl&) { fail(error); });
    // A refused or failed token request ends the flow without a word from it.
    QObject::connect(&network, &QNetworkAccessManager::finished, &loop, [&](QNetworkReply* r) {
        if (r->error() != QNetworkReply::NoError && r->url() == flow.accessTokenUrl())
            fail(QStringLiteral("HTTP %1").arg(
                r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()));
    });
    QTimer::singleShot(browserWait, &loop, &QEventLoop::quit);
    flow.grant();
    if (!ended)
        loop.exec();

    if (flow.status() != QAbstractOAuth::Status::Granted || flow.token().isEmpty())
        throw mailError(mailerr::TokenFailed, failure);
    const TokenRecord record{flow.token(), flow.refreshToken(), flow.expirationAt().toUTC()};
    keyring::write(tokenRecordKey(p.name), recordText(record), keyringWait);
}

} // namespace

void SignInSeams::defaultOpenBrowser(const QUrl& url) {
    if (!QDesktopServices::openUrl(url))
        throw KelvoError(mailerr::TokenFailed, QStringLiteral("ブラウザーを開けませんでした"));
}

std::vector<const MailProfile*> signOnProfiles(const MailProfile& p) {
    if (!p.combines())
        return {&p};
    std::vector<const MailProfile*> out;
    for (const MailProfile& store : p.stores)
        out.push_back(&store);
    if (p.ownTransport)
        out.push_back(&p);
    return out;
}

bool signInStores(const MailProfile& p) {
    return p.oauth2 ? p.oauth.tokenCommand.isEmpty() : p.passwordInKeyring;
}

void signIn(const MailProfile& p, const SignInSeams& seams) {
    if (!signInStores(p))
        return;
    if (p.oauth2)
        return signInWithBrowser(p, seams);
    const std::optional<QString> password =
        seams.askPassword ? seams.askPassword(p.name) : std::nullopt;
    if (!password || password->isEmpty())
        throw mailError(mailerr::SignInNeeded, p.name);
    keyring::write(passwordKey(p.name), *password, keyringWait);
}

namespace {

// Signs in when the profile keeps something in the keyring and has none that works; whether
// it did.
bool signInIfNeeded(const MailProfile& p, const SignInSeams& seams) {
    if (!signInStores(p))
        return false;
    try {
        mailCall(true, [&] { signOnSecret(p); });
        return false;
    } catch (const KelvoError& e) {
        if (e.number() != mailerr::SignInNeeded)
            throw;
    }
    signIn(p, seams);
    return true;
}

} // namespace

void signInWhenNeeded(const MailProfile& p, const SignInSeams& seams) {
    for (const MailProfile* account : signOnProfiles(p))
        signInIfNeeded(*account, seams);
}

void signInAccounts(const MailProfile& p, const SignInSeams& seams,
                    const std::function<void(const MailProfile&, AccountSignIn)>& told) {
    for (const MailProfile* account : signOnProfiles(p)) {
        if (!signInStores(*account)) {
            told(*account, AccountSignIn::NothingToStore);
        } else if (!p.combines()) {
            signIn(*account, seams);
            told(*account, AccountSignIn::Stored);
        } else {
            told(*account, signInIfNeeded(*account, seams) ? AccountSignIn::Stored
                                                           : AccountSignIn::AlreadySignedIn);
        }
    }
}

} // namespace kelvo
