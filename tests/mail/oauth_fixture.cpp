// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "oauth_fixture.h"

#include "server_fixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>

namespace kelvo::test {

bool useTestKeyring(const QTemporaryDir& home, TestKeyring which) {
    QFile file(QStringLiteral(KELVO_KEYRING_STATE));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    const char* const buses[] = {"address", "bareAddress", "lockedAddress"};
    const QString address = state.value(QLatin1String(buses[static_cast<int>(which)])).toString();
    if (address.isEmpty())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    qputenv("HOME", home.path().toUtf8());
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.filePath(QString::fromLatin1(name)).toUtf8());
    return true;
}

OAuthServer::OAuthServer() : network(std::make_unique<QNetworkAccessManager>()) {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return;
    const int free = probe.serverPort();
    probe.close();
    // The server ends with the test even when the test is cut short.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(KELVO_OAUTH_SERVER), QString::number(free)});
    if (!process.waitForStarted(5000))
        return;
    port = free;
    const QDeadlineTimer deadline(10000);
    while (!get(QStringLiteral("/control/log")).isArray()) {
        if (deadline.hasExpired() || process.state() != QProcess::Running) {
            port = 0;
            return;
        }
        QThread::msleep(50);
    }
}

OAuthServer::~OAuthServer() {
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(1000);
}

QString OAuthServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
}

QJsonDocument OAuthServer::post(const QString& path, const QString& form) {
    return oauthRequest(port, path, form.toUtf8());
}

QJsonDocument OAuthServer::get(const QString& path) {
    return oauthRequest(port, path);
}

int OAuthServer::requests(const QString& path, const QString& grantType) {
    int n = 0;
    for (const QJsonValue& entry : get(QStringLiteral("/control/log")).array())
        if (entry[QLatin1String("path")] == path &&
            (grantType.isEmpty() || entry[QLatin1String("grant_type")] == grantType))
            ++n;
    return n;
}

void OAuthServer::browse(const QUrl& address) {
    QNetworkReply* reply = network->get(QNetworkRequest(address));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

} // namespace kelvo::test
