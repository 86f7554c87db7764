// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/core/profiles.h"

#include "common/paths.h"
#include "mail/core/mail_error.h"
#include "profile_trust.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <map>
#include <sys/stat.h>

namespace kelvo {

namespace {

const QStringList kKeys = {
    QStringLiteral("store"),
    QStringLiteral("transport"),
    QStringLiteral("user"),
    QStringLiteral("password"),
    QStringLiteral("password-command"),
    QStringLiteral("from"),
    QStringLiteral("address-book"),
    QStringLiteral("download-command"),
    QStringLiteral("timeout"),
    QStringLiteral("ca-file"),
    QStringLiteral("starttls"),
    QStringLiteral("smtp-auth"),
    QStringLiteral("default"),
    QStringLiteral("command-check"),
    QStringLiteral("authserv-id"),
    QStringLiteral("command-pin"),
    QStringLiteral("push"),
    QStringLiteral("auth"),
    QStringLiteral("oauth2-provider"),
    QStringLiteral("client-id"),
    QStringLiteral("client-secret"),
    QStringLiteral("tenant"),
    QStringLiteral("authorize-url"),
    QStringLiteral("token-url"),
    QStringLiteral("scope"),
    QStringLiteral("token-command"),
    QStringLiteral("password-store"),
    QStringLiteral("inbox"),
};

// Profiles are a few lines each: a bigger file is a mistake, and is not read whole.
constexpr int kMaxFileMiB = 1;

using Section = std::map<QString, QString>;

struct ProfilesFile {
    QStringList order;
    std::map<QString, Section> sections;
    std::map<QString, int> lines; // where each section starts
    std::map<QString, std::map<QString, int>> keyLines; // where each key of a section is
};

QString expandHome(const QString& path) {
    if (path == u"~" || path.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

bool isYes(const QString& v) {
    const QString t = v.trimmed().toLower();
    return t == u"yes" || t == u"true" || t == u"1" || t == u"on";
}

// "pathのn行目：" for an error about one line of the file.
QString lineText(const QString& path, int number) {
    return path + QStringLiteral("の") + QString::number(number) + QStringLiteral("行目：");
}

// The known key a line without "=" starts with, or nothing: the rest may be a password.
QString keyStarting(const QString& line) {
    static const QRegularExpression keyChar(QStringLiteral("[a-z0-9-]"));
    QString found;
    for (const QString& key : kKeys)
        if (line.startsWith(key, Qt::CaseInsensitive) && key.size() > found.size() &&
            (line.size() == key.size() || !keyChar.match(line.at(key.size()).toLower()).hasMatch()))
            found = key;
    return found;
}

// A misspelt key is named; text that does not look like a key is not (it may be a value).
QString unknownKeyText(const QString& key) {
    static const QRegularExpression keyLike(QStringLiteral("^[a-z][a-z0-9_-]{0,31}$"));
    return keyLike.match(key).hasMatch() ? QStringLiteral("不明なキー「%1」").arg(key)
                                         : QStringLiteral("不明なキー");
}

ProfilesFile parse(const QByteArray& bytes, const QString& path) {
    ProfilesFile out;
    QString current;
    int number = 0;
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    for (QString line : lines) {
        ++number;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = line.mid(1, line.size() - 2).trimmed();
            // Two sections of one name would each hold part of a profile, or the second
            // would quietly override the first.
            if (const auto first = out.lines.find(current); first != out.lines.end())
                throw mailError(mailerr::ProfileInvalid,
                                path + QStringLiteral("の%1行目と%2行目：[%3]が2回あります")
                                           .arg(first->second)
                                           .arg(number)
                                           .arg(current));
            out.order << current;
            out.lines[current] = number;
            out.sections[current];
            continue;
        }
        // Errors name the line and at most its key, never a value.
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            const QString key = keyStarting(line);
            throw mailError(mailerr::ProfileInvalid,
                            lineText(path, number) +
                                (key.isEmpty() ? QString() : key + QStringLiteral("の後に")) +
                                QStringLiteral("「=」がありません"));
        }
        const QString key = line.left(eq).trimmed().toLower();
        if (!kKeys.contains(key))
            throw mailError(mailerr::ProfileInvalid, lineText(path, number) + unknownKeyText(key));
        if (current.isEmpty())
            throw mailError(mailerr::ProfileInvalid,
                            lineText(path, number) + key +
                                QStringLiteral("が[プロファイル名]の前にあります"));
        out.sections[current][key] = line.mid(eq + 1).trimmed();
        out.keyLines[current][key] = number;
    }
    return out;
}

struct ReadFile {
    ProfilesFile contents;
    mode_t mode = 0;
};

ReadFile readFile(const QString& path) {
    TrustedFile file = readTrusted(path, kMaxFileMiB);
    return ReadFile{parse(file.bytes, path), file.mode};
}

// A password or a PIN: the file must then be readable by its owner alone.
bool holdsSecret(const ProfilesFile& f) {
    for (const auto& [name, section] : f.sections) {
        for (const char* key : {"password", "command-pin", "client-secret"}) {
            const auto it = section.find(QLatin1String(key));
            if (it != section.end() && !it->second.isEmpty())
                return true;
        }
    }
    return false;
}

QString value(const Section& s, const char* key) {
    const auto it = s.find(QLatin1String(key));
    return it == s.end() ? QString() : it->second;
}

// Names the key and never its value (a URL may carry a password).
KelvoError invalidValue(const char* key, const QString& name, const QString& path) {
    return mailError(mailerr::ProfileInvalid, QLatin1String(key) +
                                                  QStringLiteral("の値が正しくありません（[") +
                                                  name + QStringLiteral("] ") + path + u'）');
}

// A text that starts as a URL must be one of the given schemes with a host and, when it names
// a port, one from 1 to 65535. Other texts are paths or programs.
bool serverUrlValid(const QString& text, std::initializer_list<QStringView> schemes) {
    static const QRegularExpression urlStart(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (!urlStart.match(text).hasMatch())
        return true;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && url.port() != 0 &&
           std::find(schemes.begin(), schemes.end(), scheme) != schemes.end();
}

CommandPolicy commandPolicy(const QString& name, const Section& s, const QString& path) {
    CommandPolicy c;
    const QString check = value(s, "command-check").toLower();
    if (check == u"dkim")
        c.check = SenderCheck::Dkim;
    else if (check == u"dmarc")
        c.check = SenderCheck::Dmarc;
    else if (!check.isEmpty() && check != u"none")
        throw invalidValue("command-check", name, path);
    c.authservId = value(s, "authserv-id");
    if (c.check != SenderCheck::None && c.authservId.isEmpty())
        throw mailError(
            mailerr::ProfileInvalid,
            QStringLiteral("command-checkにはauthserv-idが要ります（[%1] %2）").arg(name, path));
    c.pin = value(s, "command-pin");
    return c;
}

bool isHttpUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"https" || scheme == u"http");
}

// The provider's documented endpoints and mail scopes, or the custom ones.
OAuth2Profile oauthProfile(const QString& name, const Section& s, const QString& path) {
    OAuth2Profile o;
    o.provider = value(s, "oauth2-provider").toLower();
    o.clientId = value(s, "client-id");
    o.clientSecret = value(s, "client-secret");
    o.tenant = value(s, "tenant");
    o.tokenCommand = value(s, "token-command");
    if (o.tokenCommand.isEmpty() && o.clientId.isEmpty())
        throw mailError(
            mailerr::ProfileInvalid,
            QStringLiteral("「auth = oauth2」にはclient-idかtoken-commandが要ります（[") + name +
                QStringLiteral("] ") + path + u'）');
    if (o.provider == u"google") {
        o.authorizeUrl = QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth");
        o.tokenUrl = QStringLiteral("https://oauth2.googleapis.com/token");
        o.scope = QStringLiteral("https://mail.google.com/");
    } else if (o.provider == u"microsoft") {
        if (o.tenant.isEmpty())
            o.tenant = QStringLiteral("common");
        static const QRegularExpression tenantChars(QStringLiteral("^[A-Za-z0-9.-]+$"));
        if (!tenantChars.match(o.tenant).hasMatch())
            throw invalidValue("tenant", name, path);
        const QString base = QStringLiteral("https://login.microsoftonline.com/") + o.tenant;
        o.authorizeUrl = base + QStringLiteral("/oauth2/v2.0/authorize");
        o.tokenUrl = base + QStringLiteral("/oauth2/v2.0/token");
        o.scope = QStringLiteral("https://outlook.office.com/IMAP.AccessAsUser.All "
                                 "https://outlook.office.com/SMTP.Send offline_access");
    } else if (o.provider == u"custom") {
        o.authorizeUrl = value(s, "authorize-url");
        o.tokenUrl = value(s, "token-url");
        o.scope = value(s, "scope");
        if (!isHttpUrl(o.authorizeUrl))
            throw invalidValue("authorize-url", name, path);
        if (!isHttpUrl(o.tokenUrl))
            throw invalidValue("token-url", name, path);
    } else if (!o.provider.isEmpty() || o.tokenCommand.isEmpty()) {
        throw invalidValue("oauth2-provider", name, path);
    }
    return o;
}

MailProfile fromSection(const QString& name, const Section& s, const QString& path) {
    MailProfile p;
    p.name = name;
    p.store = value(s, "store");
    if (!p.storeIsImap())
        p.store = expandHome(p.store);
    p.transport = value(s, "transport");
    if (!serverUrlValid(p.store, {u"imap", u"imaps"}))
        throw invalidValue("store", name, path);
    if (!serverUrlValid(p.transport, {u"smtp", u"smtps"}))
        throw invalidValue("transport", name, path);
    p.user = value(s, "user");
    p.password = value(s, "password");
    p.passwordCommand = value(s, "password-command");
    p.from = value(s, "from");
    p.addressBook = expandHome(value(s, "address-book"));
    p.downloadCommand = value(s, "download-command");
    p.caFile = expandHome(value(s, "ca-file"));
    p.starttls = value(s, "starttls").toLower();
    if (!p.starttls.isEmpty() && p.starttls != u"required" && p.starttls != u"optional" &&
        p.starttls != u"no")
        throw invalidValue("starttls", name, path);
    const QString smtpAuth = value(s, "smtp-auth");
    p.smtpAuth = smtpAuth.isEmpty() || isYes(smtpAuth);
    const QString push = value(s, "push").toLower();
    if (!push.isEmpty() && push != u"yes" && push != u"no")
        throw invalidValue("push", name, path);
    p.push = push == u"yes";
    const QString timeout = value(s, "timeout");
    if (!timeout.isEmpty()) {
        bool ok = false;
        p.timeoutSeconds = timeout.toInt(&ok);
        if (!ok || p.timeoutSeconds <= 0)
            throw invalidValue("timeout", name, path);
    }
    p.commands = commandPolicy(name, s, path);
    const QString auth = value(s, "auth").toLower();
    if (!auth.isEmpty() && auth != u"password" && auth != u"oauth2")
        throw invalidValue("auth", name, path);
    p.oauth2 = auth == u"oauth2";
    if (p.oauth2)
        p.oauth = oauthProfile(name, s, path);
    const QString passwordStore = value(s, "password-store").toLower();
    if (!passwordStore.isEmpty() &&
        (passwordStore != u"keyring" || p.oauth2 || !p.password.isEmpty() ||
         !p.passwordCommand.isEmpty()))
        throw invalidValue("password-store", name, path);
    p.passwordInKeyring = passwordStore == u"keyring";
    const MailProfile local = builtInProfile();
    if (p.store.isEmpty())
        throw mailError(mailerr::ProfileInvalid,
                        QStringLiteral("storeがありません（[%1] %2）").arg(name, path));
    if (p.transport.isEmpty())
        p.transport = local.transport;
    if (p.from.isEmpty())
        p.from = p.user.contains(u'@') ? p.user : local.from;
    return p;
}

// A profile whose Inbox is the Inboxes of others: each named profile keeps its own store and
// sign-on; this one holds what is sent and how, and the command rule.
MailProfile combiningProfile(const QString& name, const ProfilesFile& f, const QString& path) {
    const Section& s = f.sections.at(name);
    const auto& lines = f.keyLines.at(name);
    for (const char* key : {"store", "push", "download-command"})
        if (const auto it = lines.find(QLatin1String(key)); it != lines.end())
            throw mailError(mailerr::ProfileInvalid,
                            lineText(path, it->second) + QLatin1String(key) +
                                QStringLiteral("はinboxのあるプロファイルには書けません"));
    const QString at = lineText(path, lines.at(QStringLiteral("inbox")));
    Section own = s;
    own.erase(QStringLiteral("inbox"));
    // Checked as any profile is, but for the store it does not have.
    own[QStringLiteral("store")] = QStringLiteral("-");
    MailProfile p = fromSection(name, own, path);
    p.store.clear();
    p.ownTransport = s.contains(QStringLiteral("transport"));
    QStringList seen;
    for (const QString& part : value(s, "inbox").split(u',')) {
        const QString member = part.trimmed();
        if (member.isEmpty())
            throw mailError(mailerr::ProfileInvalid,
                            at + QStringLiteral("inboxに空のプロファイル名があります"));
        if (member == name)
            throw mailError(mailerr::ProfileInvalid,
                            at + QStringLiteral("inboxが自分自身（[%1]）を指しています").arg(name));
        if (seen.contains(member))
            throw mailError(mailerr::ProfileInvalid,
                            at + QStringLiteral("inboxに[%1]が2回あります").arg(member));
        const auto it = f.sections.find(member);
        if (it == f.sections.end())
            throw mailError(
                mailerr::ProfileInvalid,
                at + QStringLiteral("inboxの[%1]というプロファイルはありません").arg(member));
        if (it->second.contains(QStringLiteral("inbox"))) {
            bool loop = false;
            for (const QString& back : value(it->second, "inbox").split(u','))
                loop = loop || back.trimmed() == name;
            throw mailError(
                mailerr::ProfileInvalid,
                at +
                    (loop
                         ? QStringLiteral("inboxの[%1]が[%2]を指し返しています").arg(member, name)
                         : QStringLiteral("inboxの[%1]もinboxのあるプロファイルです").arg(member)));
        }
        seen << member;
        p.stores.push_back(fromSection(member, it->second, path));
    }
    const MailProfile& first = p.stores.front();
    if (!s.contains(QStringLiteral("from")) && !(p.ownTransport && p.user.contains(u'@')))
        p.from = first.from;
    if (p.addressBook.isEmpty())
        p.addressBook = first.addressBook;
    return p;
}

MailProfile profileOf(const QString& name, const ProfilesFile& f, const QString& path) {
    const Section& s = f.sections.at(name);
    if (s.contains(QStringLiteral("inbox")))
        return combiningProfile(name, f, path);
    return fromSection(name, s, path);
}

} // namespace

bool MailProfile::storeIsImap() const {
    const QString scheme = QUrl(store).scheme().toLower();
    return scheme == u"imap" || scheme == u"imaps";
}

bool MailProfile::transportIsSmtp() const {
    const QString scheme = QUrl(transport).scheme().toLower();
    return scheme == u"smtp" || scheme == u"smtps";
}

QString defaultProfilesPath() {
    return userConfigDirectory() + QStringLiteral("/profiles.ini");
}

MailProfile builtInProfile() {
    MailProfile p;
    p.store = QDir::homePath() + QStringLiteral("/Maildir");
    QString sendmail = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (sendmail.isEmpty())
        sendmail = QStandardPaths::findExecutable(
            QStringLiteral("sendmail"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/lib")});
    p.transport = sendmail.isEmpty() ? QStringLiteral("/usr/sbin/sendmail") : sendmail;
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QFileInfo(QDir::homePath()).fileName();
    p.from = user + u'@' + QSysInfo::machineHostName();
    return p;
}

MailProfile selectProfile(const QString& path, const QString& name) {
    if (!QFileInfo::exists(path)) {
        if (name.isEmpty())
            return builtInProfile();
        throw mailError(mailerr::ProfileMissing, QStringLiteral("「%1」（%2）").arg(name, path));
    }
    const auto [file, mode] = readFile(path);
    if (holdsSecret(file) && (mode & (S_IRGRP | S_IROTH)))
        throw mailError(mailerr::ProfileInsecure,
                        path +
                            QStringLiteral("にはパスワードか暗証番号があり、他のユーザーが読めます"
                                           "（「chmod 600 ") +
                            path + QStringLiteral("」で直せます）"));
    if (!name.isEmpty()) {
        const auto it = file.sections.find(name);
        if (it == file.sections.end())
            throw mailError(mailerr::ProfileMissing,
                            QStringLiteral("「%1」（%2）").arg(name, path));
        return profileOf(name, file, path);
    }
    for (const QString& section : file.order)
        if (isYes(value(file.sections.at(section), "default")))
            return profileOf(section, file, path);
    if (file.order.size() == 1)
        return profileOf(file.order.first(), file, path);
    throw mailError(mailerr::ProfileMissing,
                    QStringLiteral("既定のプロファイルがありません（%1）").arg(path));
}

} // namespace kelvo
