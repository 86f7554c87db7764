#include "mail/profiles.h"

#include "common/paths.h"
#include "mail/mail_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <map>
#include <sys/stat.h>

namespace kelvo {

namespace {

const QStringList kKeys = {
    QStringLiteral("store"),        QStringLiteral("transport"),        QStringLiteral("user"),
    QStringLiteral("password"),     QStringLiteral("password-command"), QStringLiteral("from"),
    QStringLiteral("address-book"), QStringLiteral("download-command"), QStringLiteral("timeout"),
    QStringLiteral("ca-file"),      QStringLiteral("starttls"),         QStringLiteral("smtp-auth"),
    QStringLiteral("default"),
};

using Section = std::map<QString, QString>;

struct ProfilesFile {
    QStringList order;
    std::map<QString, Section> sections;
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

ProfilesFile readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw mailError(mailerr::ProfileInvalid, file.errorString() + QStringLiteral(": ") + path);
    ProfilesFile out;
    QString current;
    int number = 0;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString line : lines) {
        ++number;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = line.mid(1, line.size() - 2).trimmed();
            if (!out.sections.count(current))
                out.order << current;
            out.sections[current];
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        const QString key = line.left(eq).trimmed().toLower();
        if (eq < 0 || current.isEmpty() || !kKeys.contains(key))
            throw mailError(mailerr::ProfileInvalid,
                            QStringLiteral("%1 の %2 行目: %3")
                                .arg(path)
                                .arg(number)
                                .arg(line.left(eq < 0 ? line.size() : eq)));
        out.sections[current][key] = line.mid(eq + 1).trimmed();
    }
    return out;
}

bool holdsPassword(const ProfilesFile& f) {
    for (const auto& [name, section] : f.sections) {
        const auto it = section.find(QStringLiteral("password"));
        if (it != section.end() && !it->second.isEmpty())
            return true;
    }
    return false;
}

QString value(const Section& s, const char* key) {
    const auto it = s.find(QLatin1String(key));
    return it == s.end() ? QString() : it->second;
}

MailProfile fromSection(const QString& name, const Section& s, const QString& path) {
    MailProfile p;
    p.name = name;
    p.store = value(s, "store");
    if (!p.storeIsImap())
        p.store = expandHome(p.store);
    p.transport = value(s, "transport");
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
        throw mailError(mailerr::ProfileInvalid,
                        QStringLiteral("starttls = %1 ([%2] %3)").arg(p.starttls, name, path));
    const QString smtpAuth = value(s, "smtp-auth");
    p.smtpAuth = smtpAuth.isEmpty() || isYes(smtpAuth);
    const QString timeout = value(s, "timeout");
    if (!timeout.isEmpty()) {
        bool ok = false;
        p.timeoutSeconds = timeout.toInt(&ok);
        if (!ok || p.timeoutSeconds <= 0)
            throw mailError(mailerr::ProfileInvalid,
                            QStringLiteral("timeout = %1 ([%2] %3)").arg(timeout, name, path));
    }
    const MailProfile local = builtInProfile();
    if (p.store.isEmpty())
        throw mailError(mailerr::ProfileInvalid,
                        QStringLiteral("store がありません ([%1] %2)").arg(name, path));
    if (p.transport.isEmpty())
        p.transport = local.transport;
    if (p.from.isEmpty())
        p.from = p.user.contains(u'@') ? p.user : local.from;
    return p;
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
        throw mailError(mailerr::ProfileMissing, QStringLiteral("「%1」(%2)").arg(name, path));
    }
    const ProfilesFile file = readFile(path);
    struct stat st {};
    if (holdsPassword(file) && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
        (st.st_mode & (S_IRGRP | S_IROTH | S_IWGRP | S_IWOTH)))
        throw mailError(
            mailerr::ProfileInsecure,
            QStringLiteral("%1 にはパスワードがあります。chmod 600 %1 としてください").arg(path));
    if (!name.isEmpty()) {
        const auto it = file.sections.find(name);
        if (it == file.sections.end())
            throw mailError(mailerr::ProfileMissing, QStringLiteral("「%1」(%2)").arg(name, path));
        return fromSection(name, it->second, path);
    }
    for (const QString& section : file.order)
        if (isYes(value(file.sections.at(section), "default")))
            return fromSection(section, file.sections.at(section), path);
    if (file.order.size() == 1)
        return fromSection(file.order.first(), file.sections.at(file.order.first()), path);
    throw mailError(mailerr::ProfileMissing,
                    QStringLiteral("既定のプロファイルがありません (%1)").arg(path));
}

} // namespace kelvo
