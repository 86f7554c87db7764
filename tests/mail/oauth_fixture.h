// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QJsonDocument>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

class QNetworkAccessManager;

namespace kelvo::test {

enum class TestKeyring { Unlocked, None, Locked };

// Points this process at a bus of the suite's private keyring (keyring_bus.py), with HOME and
// the XDG folders in home. Call it before the first keyring call: the process keeps its first
// bus. Returns false when the suite's keyring is not up.
bool useTestKeyring(const QTemporaryDir& home, TestKeyring which = TestKeyring::Unlocked);

// The test authorization server (oauth_server.py) on a free loopback port, stopped at the end.
class OAuthServer {
public:
    OAuthServer();
    ~OAuthServer();
    bool running() const { return port != 0; }
    QString url(const QString& path) const;
    // A form POST or a GET at the server, waiting for its JSON answer.
    QJsonDocument post(const QString& path, const QString& form = {});
    QJsonDocument get(const QString& path);
    // How many requests of the log went to path (with the grant type, when one is given).
    int requests(const QString& path, const QString& grantType = {});
    // A person's browser that agrees at once: fetches the address and follows the redirect.
    void browse(const QUrl& address);

private:
    QProcess process;
    int port = 0;
    std::unique_ptr<QNetworkAccessManager> network;
};

} // namespace kelvo::test
