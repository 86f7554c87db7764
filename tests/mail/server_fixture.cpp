// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "server_fixture.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUuid>
#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kelvo::test {

const MailServers& MailServers::get() {
    static const MailServers servers = [] {
        MailServers s;
        readMailServerState(QStringLiteral(KELVO_MAIL_SERVERS_STATE), s);
        return s;
    }();
    return servers;
}

QJsonDocument oauthRequest(int port, const QString& path, const std::optional<QByteArray>& form,
                           bool* ok) {
    QNetworkAccessManager http;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(10000);
    std::unique_ptr<QNetworkReply> reply(form ? http.post(request, *form) : http.get(request));
    QEventLoop wait;
    QObject::connect(reply.get(), &QNetworkReply::finished, &wait, &QEventLoop::quit);
    if (!reply->isFinished())
        wait.exec();
    if (ok)
        *ok = reply->error() == QNetworkReply::NoError;
    return QJsonDocument::fromJson(reply->readAll());
}

QJsonObject MailServers::oauthPost(const QString& path, const QByteArray& form) const {
    bool ok = false;
    const QJsonDocument answer = oauthRequest(oauthPort, path, form, &ok);
    EXPECT_TRUE(ok) << path.toStdString();
    return answer.object();
}

QString MailServers::mintToken(const QString& user) const {
    return oauthPost(QStringLiteral("/control/mint"), "user=" + QUrl::toPercentEncoding(user))
        .value("access_token")
        .toString();
}

namespace {

void own(const MailServers& s, const QString& path) {
    if (::geteuid() == 0) [[maybe_unused]]
        int rc = ::chown(QFile::encodeName(path).constData(), s.mailUid, s.mailGid);
}

} // namespace

void MailServers::deliver(const QString& user, const QByteArray& raw, bool seen,
                          const QDateTime& arrived) const {
    const QString box = mailRoot + u'/' + user;
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
        QDir().mkpath(box + QLatin1String(sub));
        own(*this, box + QLatin1String(sub));
    }
    static int counter = 0;
    // The server numbers new messages in the order of their names.
    const QString unique = QStringLiteral("%1.K%2_%3.kelvo-test")
                               .arg(arrived.isValid() ? arrived.toSecsSinceEpoch()
                                                      : QDateTime::currentSecsSinceEpoch())
                               .arg(QUuid::createUuid().toString(QUuid::Id128))
                               .arg(++counter);
    const QString tmp = box + QStringLiteral("/tmp/") + unique;
    QFile f(tmp);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(raw);
    // Dovecot takes a Maildir message's arrival from its file's time.
    if (arrived.isValid()) {
        ASSERT_TRUE(f.flush()); // a later write would set the time again
        ASSERT_TRUE(f.setFileTime(arrived, QFileDevice::FileModificationTime));
    }
    f.close();
    own(*this, tmp);
    const QString target = seen ? box + QStringLiteral("/cur/") + unique + QStringLiteral(":2,S")
                                : box + QStringLiteral("/new/") + unique;
    ASSERT_TRUE(QFile::rename(tmp, target));
}

std::vector<MailServers::Received> MailServers::received() const {
    std::vector<Received> out;
    const QDir dir(sinkDir);
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        Received r;
        r.from = o.value("from").toString();
        for (const auto& v : o.value("to").toArray())
            r.to << v.toString();
        r.data = QByteArray::fromBase64(o.value("data").toString().toLatin1());
        r.authToken = o.value("auth_token").toString();
        out.push_back(r);
    }
    return out;
}

ServerMail::ServerMail(const QString& user, const QString& extra) : user(user) {
    const MailServers& s = MailServers::get();
    profilesPath = temp.filePath(QStringLiteral("profiles.ini"));
    writeProfiles(QStringLiteral("[test]\n"
                                 "store = imap://127.0.0.1:%1\n"
                                 "starttls = no\n"
                                 "transport = smtp://127.0.0.1:%2\n"
                                 "smtp-auth = no\n"
                                 "user = %3\n"
                                 "password = %4\n"
                                 "from = 山田太郎 <taro@example.jp>\n"
                                 "timeout = 10\n")
                      .arg(s.imapPort)
                      .arg(s.smtpPort)
                      .arg(user, s.password) +
                  extra);
    restart();
}

void ServerMail::writeProfiles(const QString& text) {
    QFile f(profilesPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

void ServerMail::restart() {
    mapMess.reset();
    mapSess.reset();
    backend = std::make_unique<ProfileBackend>(profilesPath);
    auto counter = commands;
    auto sent = lines;
    backend->trace = [counter, sent](const QString& line) {
        ++*counter;
        sent->append(line);
    };
    mapSess = std::make_unique<MapiSession>(*backend);
    mapMess = std::make_unique<MapiMessages>(*mapSess);
    mapSess->setErrorReporter([this](const KelvoError& e) { reported.push_back(e); });
}

void ServerMail::signOn(const QString& profile) {
    mapSess->setUserName(profile);
    mapSess->SignOn();
    mapMess->setSessionID(mapSess->SessionID());
}

void ServerMail::fetch(bool unreadOnly) {
    mapMess->setFetchUnreadOnly(unreadOnly);
    mapMess->Fetch();
}

void ServerMail::readFirstUnread() {
    signOn();
    fetch(true);
    mapMess->MsgNoteText();
}

QStringList ServerMail::subjects() {
    QStringList out;
    for (int i = 0; i < mapMess->MsgCount(); ++i) {
        mapMess->setMsgIndex(i);
        out << mapMess->MsgSubject();
    }
    return out;
}

int ServerMail::linesStartingWith(const QString& start) const {
    return static_cast<int>(std::count_if(
        lines->begin(), lines->end(), [&](const QString& line) { return line.startsWith(start); }));
}

int ServerMail::unreadOnServer(const QString& profile) {
    ProfileBackend other(profilesPath);
    auto conn = other.signOn(profile, false);
    const int n = static_cast<int>(conn->fetch(true, {}).size());
    conn->close();
    return n;
}

} // namespace kelvo::test
