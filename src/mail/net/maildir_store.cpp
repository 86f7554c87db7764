// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/maildir_store.h"

#include "mail/core/mail_error.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace kelvo {

namespace {

QString failureText(const QFile& file) {
    return file.errorString() + QStringLiteral(": ") + file.fileName();
}

vmime::shared_ptr<vmime::message> parseFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw mailError(mailerr::InvalidMessage, failureText(file));
    const QByteArray bytes = file.readAll();
    vm::initialize();
    return vm::parseMessage(bytes.toStdString());
}

} // namespace

MaildirStore::MaildirStore(const QString& root) : root(root) {
    for (const char* sub : {"cur", "new"})
        if (!QFileInfo(root + u'/' + QLatin1String(sub)).isDir())
            throw mailError(mailerr::MailboxMissing, root);
}

std::vector<MaildirStore::Entry> MaildirStore::list() const {
    std::vector<Entry> out;
    for (const char* sub : {"new", "cur"}) {
        const QDir dir(root + u'/' + QLatin1String(sub));
        if (!dir.exists())
            throw mailError(mailerr::MailboxMissing, dir.path());
        for (const QString& name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
            Entry e;
            e.path = dir.filePath(name);
            const qsizetype colon = name.indexOf(u':');
            e.unique = colon < 0 ? name : name.left(colon);
            if (colon >= 0 && name.mid(colon + 1).startsWith(QStringLiteral("2,")))
                e.flags = name.mid(colon + 3);
            out.push_back(e);
        }
    }
    return out;
}

std::optional<MaildirStore::Entry> MaildirStore::find(const QString& id) const {
    for (const Entry& e : list())
        if (e.unique == id)
            return e;
    return std::nullopt;
}

std::vector<MailSummary> MaildirStore::fetch(bool unreadOnly, const FetchScope&) {
    std::vector<std::pair<QDateTime, MailSummary>> found;
    for (const Entry& e : list()) {
        const bool seen = e.flags.contains(u'S');
        if (unreadOnly && seen)
            continue;
        // The file's time is when the message was delivered here.
        const QDateTime delivered = QFileInfo(e.path).lastModified();
        vmime::shared_ptr<vmime::message> parsed;
        try {
            parsed = parseFile(e.path);
        } catch (const KelvoError&) {
            continue; // taken away by another program meanwhile
        }
        MailSummary s;
        s.id = e.unique;
        vm::readHeader(*parsed->getHeader(), delivered, s);
        s.received = delivered;
        s.attachmentCount = static_cast<int>(vm::attachmentParts(*parsed).size());
        s.seen = seen;
        found.emplace_back(delivered, std::move(s));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<MailSummary> out;
    out.reserve(found.size());
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

vmime::shared_ptr<vmime::message> MaildirStore::message(const QString& id) {
    const auto e = find(id);
    if (!e)
        throw mailError(mailerr::InvalidMessage, id);
    return parseFile(e->path);
}

void MaildirStore::setSeen(const QStringList& ids, bool seen) {
    for (const QString& id : ids) {
        const auto e = find(id);
        if (!e || e->flags.contains(u'S') == seen)
            continue;
        QString flags = e->flags;
        flags.remove(u'S');
        if (seen)
            flags += u'S';
        std::sort(flags.begin(), flags.end());
        const QString target =
            root + QStringLiteral("/cur/") + e->unique + QStringLiteral(":2,") + flags;
        QFile file(e->path);
        if (!file.rename(target))
            throw mailError(mailerr::Failure, failureText(file));
    }
}

} // namespace kelvo
