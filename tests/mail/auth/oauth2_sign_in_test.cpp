// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "error_of.h"
#include "mail/auth/sign_in.h"
#include "mail/auth/sign_on_secret.h"
#include "mail/core/mail_error.h"
#include "mail/core/profiles.h"
#include "oauth_fixture.h"

#include <QDirIterator>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>
#include <gtest/gtest.h>
#include <thread>

namespace kelvo {
namespace {

using test::errorOf;

// Each test's profiles have names of their own: the keyring is shared by the tests of a run.
QString testName() {
    return QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// A profile that signs on with OAuth 2.0 tokens from the test authorization server.
MailProfile oauthProfile(const test::OAuthServer& server) {
    MailProfile p;
    p.name = testName();
    p.timeoutSeconds = 10;
    p.oauth2 = true;
    p.oauth.provider = QStringLiteral("custom");
    p.oauth.clientId = QStringLiteral("kelvo-test-client");
    p.oauth.authorizeUrl = server.url(QStringLiteral("/authorize"));
    p.oauth.tokenUrl = server.url(QStringLiteral("/token"));
    p.oauth.scope = QStringLiteral("mail");
    return p;
}

MailProfile keyringPasswordProfile() {
    MailProfile p;
    p.name = testName() + QStringLiteral("-password");
    p.passwordInKeyring = true;
    return p;
}

const QString password = QStringLiteral("keyring-pass-Ωz+/");

class OAuth2SignIn : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::useTestKeyring(home)) << "the suite's keyring (keyring_bus.py) is not up";
        ASSERT_TRUE(server.running()) << "oauth_server.py did not start";
        seams.openBrowser = [this](const QUrl& url) {
            // The answer comes back to a port of the moment on loopback, never a fixed one.
            const QUrl back(
                QUrlQuery(url).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            EXPECT_EQ(back.host(), QStringLiteral("127.0.0.1"));
            EXPECT_GE(back.port(), 1024);
            server.browse(url);
        };
        seams.askPassword = [](const QString&) { return std::optional<QString>(password); };
    }
    bool active(const QString& token) {
        return server
            .post(QStringLiteral("/introspect"),
                  QStringLiteral("token=") + QUrl::toPercentEncoding(token))
            .object()
            .value(QLatin1String("active"))
            .toBool();
    }
    int refreshes() {
        return server.requests(QStringLiteral("/token"), QStringLiteral("refresh_token"));
    }

    QTemporaryDir home;
    test::OAuthServer server;
    SignInSeams seams;
};

TEST_F(OAuth2SignIn, TokensAreStoredRefreshedWhenDueAndDroppedWhenRevoked) {
    const MailProfile p = oauthProfile(server);
    EXPECT_EQ(errorOf([&] { signOnSecret(p); }), mailerr::SignInNeeded);
    signIn(p, seams);
    const SignOnSecret first = signOnSecret(p);
    EXPECT_TRUE(first.bearer);
    EXPECT_TRUE(active(first.value));
    EXPECT_EQ(refreshes(), 0);

    // A token the server refused is renewed, on the mail thread as on any other.
    SignOnSecret renewed;
    int failed = -1;
    std::thread([&] { failed = errorOf([&] { renewed = signOnSecret(p, true); }); }).join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(refreshes(), 1);
    EXPECT_NE(renewed.value, first.value);
    EXPECT_TRUE(active(renewed.value));
    EXPECT_EQ(signOnSecret(p).value, renewed.value);

    // A token that runs out within the minute is refreshed before the sign-on.
    server.post(QStringLiteral("/control/lifetime"), QStringLiteral("seconds=30"));
    const QString shortLived = signOnSecret(p, true).value;
    EXPECT_NE(signOnSecret(p).value, shortLived);
    EXPECT_EQ(refreshes(), 3);

    // A revoked refresh token: one refused request, then no more until a new sign-in.
    server.post(QStringLiteral("/control/revoke"));
    QString text;
    EXPECT_EQ(errorOf([&] { signOnSecret(p, true); }, &text), mailerr::SignInNeeded);
    EXPECT_EQ(refreshes(), 4);
    const int tokenRequests = server.requests(QStringLiteral("/token"));
    EXPECT_EQ(errorOf([&] { signOnSecret(p, true); }), mailerr::SignInNeeded);
    EXPECT_EQ(server.requests(QStringLiteral("/token")), tokenRequests);
    EXPECT_FALSE(text.contains(first.value) || text.contains(renewed.value));

    signIn(p, seams);
    EXPECT_TRUE(active(signOnSecret(p).value));
}

// RFC 6749 10.10: a forged answer may guess the state with a chance of 2^-128 at most. Qt's own
// is 8 characters.
TEST_F(OAuth2SignIn, TheStateHoldsAtLeast128RandomBits) {
    QStringList states;
    const auto browse = seams.openBrowser;
    seams.openBrowser = [&](const QUrl& url) {
        states << QUrlQuery(url).queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
        browse(url);
    };
    const MailProfile p = oauthProfile(server);
    signIn(p, seams);
    signIn(p, seams);
    ASSERT_EQ(states.size(), 2);
    static const QRegularExpression urlSafe(QStringLiteral("^[A-Za-z0-9_-]+$"));
    for (const QString& state : states) {
        EXPECT_TRUE(urlSafe.match(state).hasMatch()) << state.toStdString();
        EXPECT_GE(state.size() * 6, 128) << state.toStdString(); // 6 bits a character
    }
    EXPECT_NE(states[0], states[1]);
}

TEST_F(OAuth2SignIn, AnUnreachableTokenEndpointIsAnOutageAndKeepsTheRecord) {
    MailProfile p = oauthProfile(server);
    signIn(p, seams);
    const QString token = signOnSecret(p).value;
    p.oauth.tokenUrl = QStringLiteral("http://127.0.0.1:1/token");
    EXPECT_EQ(errorOf([&] { signOnSecret(p, true); }), mailerr::TokenFailed);
    EXPECT_EQ(signOnSecret(p).value, token);
}

TEST_F(OAuth2SignIn, APasswordAskedForOnceIsKeptInTheKeyring) {
    const MailProfile p = keyringPasswordProfile();
    EXPECT_EQ(errorOf([&] { signOnSecret(p); }), mailerr::SignInNeeded);
    seams.askPassword = [](const QString&) { return std::optional<QString>(); };
    EXPECT_EQ(errorOf([&] { signIn(p, seams); }), mailerr::SignInNeeded);

    QString askedFor;
    seams.askPassword = [&](const QString& name) {
        askedFor = name;
        return std::optional<QString>(password);
    };
    signIn(p, seams);
    EXPECT_EQ(askedFor, p.name);
    const SignOnSecret secret = signOnSecret(p);
    EXPECT_EQ(secret.value, password);
    EXPECT_FALSE(secret.bearer);
}

// Asked for by name, one account is signed in again; a combining profile signs in only the
// accounts that have nothing that works, so a second run asks nothing.
TEST_F(OAuth2SignIn, ACombiningProfileSignsInOnlyTheAccountsThatNeedIt) {
    MailProfile all;
    all.name = testName();
    all.ownTransport = false;
    all.stores = {oauthProfile(server), keyringPasswordProfile(), MailProfile()};
    all.stores[0].name += QStringLiteral("-oauth");
    all.stores[2].name = testName() + QStringLiteral("-command");
    all.stores[2].passwordCommand = QStringLiteral("printf x");
    signIn(all.stores[1], seams);

    int browsed = 0;
    QStringList asked;
    seams.openBrowser = [&, browse = seams.openBrowser](const QUrl& url) {
        ++browsed;
        browse(url);
    };
    seams.askPassword = [&](const QString& name) {
        asked << name;
        return std::optional<QString>(password);
    };
    std::vector<AccountSignIn> done;
    const auto told = [&](const MailProfile&, AccountSignIn d) { done.push_back(d); };
    signInAccounts(all, seams, told);
    EXPECT_EQ(done, (std::vector{AccountSignIn::Stored, AccountSignIn::AlreadySignedIn,
                                 AccountSignIn::NothingToStore}));
    EXPECT_EQ(browsed, 1);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(signOnSecret(all.stores[0]).bearer);

    done.clear();
    signInAccounts(all, seams, told);
    EXPECT_EQ(done, (std::vector{AccountSignIn::AlreadySignedIn, AccountSignIn::AlreadySignedIn,
                                 AccountSignIn::NothingToStore}));
    EXPECT_EQ(browsed, 1);

    done.clear();
    signInAccounts(all.stores[1], seams, told);
    EXPECT_EQ(done, std::vector{AccountSignIn::Stored});
    EXPECT_EQ(asked, QStringList{all.stores[1].name});
}

// No Secret Service on the session bus: an error that says so, and the secret in no file.
TEST(KeyringUnavailable, NoSecretServiceFailsSignInAndSignOnAlike) {
    QTemporaryDir home;
    ASSERT_TRUE(test::useTestKeyring(home, test::TestKeyring::None))
        << "the suite's keyring (keyring_bus.py) is not up";
    SignInSeams seams;
    seams.askPassword = [](const QString&) { return std::optional<QString>(password); };
    const MailProfile p = keyringPasswordProfile();
    EXPECT_EQ(errorOf([&] { signIn(p, seams); }), mailerr::KeyringUnavailable);
    EXPECT_EQ(errorOf([&] { signOnSecret(p); }), mailerr::KeyringUnavailable);

    // Found out before the person goes through the browser for nothing.
    test::OAuthServer server;
    ASSERT_TRUE(server.running());
    int browsed = 0;
    seams.openBrowser = [&](const QUrl& url) {
        ++browsed;
        server.browse(url);
    };
    EXPECT_EQ(errorOf([&] { signIn(oauthProfile(server), seams); }), mailerr::KeyringUnavailable);
    EXPECT_EQ(browsed, 0);

    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile f(files.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_FALSE(f.readAll().contains(password.toUtf8())) << f.fileName().toStdString();
    }
}

// A keyring locked since the login (a service started before it) is not an empty one.
TEST(KeyringUnavailable, ALockedKeyringIsNotTakenForAnEmptyOne) {
    QTemporaryDir home;
    ASSERT_TRUE(test::useTestKeyring(home, test::TestKeyring::Locked))
        << "the suite's keyring (keyring_bus.py) is not up";
    EXPECT_EQ(errorOf([] { signOnSecret(keyringPasswordProfile()); }), mailerr::KeyringUnavailable);
}

} // namespace
} // namespace kelvo
