// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/combined_inbox.h"

#include "mail/core/mail_error.h"

#include <QUrl>
#include <algorithm>
#include <future>
#include <map>
#include <system_error>

namespace kelvo {

namespace {

// What ended an account's task, as the mail layer's error.
KelvoError asMailError(const std::exception& e) {
    if (const auto* error = dynamic_cast<const KelvoError*>(&e))
        return *error;
    return mailError(mailerr::Failure, QString::fromLocal8Bit(e.what()));
}

} // namespace

CombinedConnection::CombinedConnection(std::vector<InboxPart> parts, CommandPolicy policy,
                                       Opener opener)
    : parts(std::move(parts)), opener(std::move(opener)), policy(std::move(policy)) {
    // In ASCII, as list.ini keeps ids in the phone's code page, and without "/".
    for (InboxPart& p : this->parts)
        prefixes.push_back(QString::fromLatin1(QUrl::toPercentEncoding(p.name)));
}

CombinedConnection::~CombinedConnection() {
    close();
}

KelvoError CombinedConnection::naming(const KelvoError& e, const QString& profile) {
    return KelvoError(e.number(), e.description() + u'（' + profile + u'）');
}

void CombinedConnection::signOnAtOnce(const std::vector<InboxPart*>& parts, const Opener& open,
                                      bool download) {
    std::vector<std::future<std::unique_ptr<MailConnection>>> opening;
    for (InboxPart* part : parts)
        opening.push_back(std::async(
            std::launch::async, [&open, part, download] { return open(part->name, download); }));
    for (size_t i = 0; i < parts.size(); ++i) {
        InboxPart& part = *parts[i];
        part.later = false;
        try {
            part.conn = opening[i].get();
            part.down.reset();
        } catch (const std::exception& e) {
            part.down = naming(asMailError(e), part.name);
        }
    }
}

const KelvoError& CombinedConnection::firstDown() const {
    for (const InboxPart& p : parts)
        if (p.down)
            return *p.down;
    static const KelvoError none = mailError(mailerr::NoSession);
    return none;
}

void CombinedConnection::markDown(InboxPart& part, const KelvoError& e) {
    part.down = naming(e, part.name);
    if (part.conn) {
        part.conn->close();
        part.conn.reset();
    }
}

std::vector<MailSummary> CombinedConnection::fetch(bool unreadOnly, const FetchScope& scope) {
    // Every account answers at once: the pass waits for the slowest, not for their sum.
    std::vector<std::future<std::vector<MailSummary>>> asked(parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
        if (MailConnection* conn = parts[i].conn.get())
            asked[i] = std::async(std::launch::async, [conn, unreadOnly, &scope] {
                return conn->fetch(unreadOnly, scope);
            });
    std::vector<MailSummary> merged;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!asked[i].valid())
            continue;
        try {
            std::vector<MailSummary> got = asked[i].get();
            for (MailSummary& s : got) {
                if (!s.id.isEmpty())
                    s.id = prefixes[i] + u'/' + s.id;
                s.account = prefixes[i];
                merged.push_back(std::move(s));
            }
        } catch (const std::exception& e) {
            markDown(parts[i], asMailError(e));
        }
    }
    if (std::none_of(parts.begin(), parts.end(), [](const InboxPart& p) { return bool(p.conn); }))
        throw firstDown();
    // Oldest first; the blank summaries of a scope's leftovers have no time and count as oldest.
    std::stable_sort(merged.begin(), merged.end(), [](const MailSummary& a, const MailSummary& b) {
        if (!a.received.isValid() || !b.received.isValid())
            return !a.received.isValid() && b.received.isValid();
        return a.received < b.received;
    });
    // One mail that reached two accounts is one message of the Inbox: the newest copy stays,
    // and the others share its read mark.
    twins.clear();
    std::map<QString, size_t> kept;
    std::vector<MailSummary> out;
    out.reserve(merged.size());
    for (auto it = merged.rbegin(); it != merged.rend(); ++it) {
        if (!it->messageId.isEmpty() && !it->id.isEmpty()) {
            if (const auto k = kept.find(it->messageId); k != kept.end()) {
                twins[out[k->second].id] << it->id;
                continue;
            }
            kept.emplace(it->messageId, out.size());
        }
        out.push_back(std::move(*it));
    }
    std::reverse(out.begin(), out.end());
    return out;
}

std::pair<MailConnection*, QString> CombinedConnection::route(const QString& id) const {
    const qsizetype slash = id.indexOf(u'/');
    const auto at = std::find(prefixes.begin(), prefixes.end(), id.left(slash));
    // An id of a single account (one written before its profile combined others) is none of
    // these.
    if (slash < 0 || at == prefixes.end() || !parts[size_t(at - prefixes.begin())].conn)
        throw mailError(mailerr::InvalidMessage, id);
    return {parts[size_t(at - prefixes.begin())].conn.get(), id.mid(slash + 1)};
}

MailConnection& CombinedConnection::anyLive() {
    for (InboxPart& p : parts)
        if (p.conn)
            return *p.conn;
    throw firstDown();
}

QString CombinedConnection::noteText(const QString& id) {
    const auto [conn, local] = route(id);
    return conn->noteText(local);
}

int CombinedConnection::attachmentCount(const QString& id) {
    const auto [conn, local] = route(id);
    return conn->attachmentCount(local);
}

void CombinedConnection::setSeen(const QStringList& ids, bool seen) {
    std::map<MailConnection*, QStringList> byAccount;
    // Every account gets its marks even when one fails; the first failure is raised after.
    std::optional<KelvoError> failed;
    for (const QString& id : ids) {
        for (const QString& one : QStringList{id} + twins.value(id)) {
            const auto at = std::find(prefixes.begin(), prefixes.end(), one.section(u'/', 0, 0));
            const InboxPart* part =
                at == prefixes.end() ? nullptr : &parts[size_t(at - prefixes.begin())];
            // An id of no account of this profile is passed over, as a gone message is; one of
            // an account that went down or is left out is not marked, and must not pass for
            // marked.
            if (part && !part->conn && !failed)
                failed =
                    part->down ? *part->down : naming(mailError(mailerr::NoSession), part->name);
            if (!part || !part->conn || !one.contains(u'/'))
                continue;
            byAccount[part->conn.get()] << one.mid(one.indexOf(u'/') + 1);
        }
    }
    for (auto& [conn, local] : byAccount) {
        try {
            conn->setSeen(local, seen);
        } catch (const KelvoError& e) {
            if (!failed)
                failed = e;
        }
    }
    if (failed)
        throw *failed;
}

void CombinedConnection::send(const OutgoingMail& mail) {
    if (mail.forwardOf.isEmpty()) {
        anyLive().send(mail);
        return;
    }
    // The forward is made where its original is, for its attachments.
    const auto [conn, local] = route(mail.forwardOf);
    OutgoingMail own = mail;
    own.forwardOf = local;
    conn->send(own);
}

MailRecipient CombinedConnection::resolveName(const QString& name) {
    return anyLive().resolveName(name);
}

CommandPolicy CombinedConnection::commandPolicy(const QString& id) const {
    try {
        return route(id).first->commandPolicy();
    } catch (const KelvoError&) {
        return policy;
    }
}

std::vector<StoreDown> CombinedConnection::storesDown() const {
    std::vector<StoreDown> out;
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].down)
            out.push_back({prefixes[i], *parts[i].down});
    return out;
}

QStringList CombinedConnection::storesLeftOut() const {
    QStringList out;
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].later)
            out << prefixes[i];
    return out;
}

std::vector<StoreDown> CombinedConnection::lookAtAll() {
    std::vector<InboxPart*> left;
    for (InboxPart& p : parts)
        if (p.later)
            left.push_back(&p);
    if (left.empty() || !opener)
        return {};
    // Only to read: new mail is fetched into a mailbox by the pass that looks at it.
    signOnAtOnce(left, opener, false);
    std::vector<StoreDown> failed;
    for (const InboxPart* p : left)
        if (p->down)
            failed.push_back({prefixes[size_t(p - parts.data())], *p->down});
    return failed;
}

void CombinedConnection::close() {
    // Every account signs off at once, as it signed on.
    std::vector<std::future<void>> closing;
    for (InboxPart& p : parts) {
        if (!p.conn)
            continue;
        try {
            closing.push_back(
                std::async(std::launch::async, [conn = p.conn.get()] { conn->close(); }));
        } catch (const std::system_error&) {
            p.conn->close(); // no thread to spare: one after another
        }
    }
    for (std::future<void>& f : closing)
        f.wait();
    for (InboxPart& p : parts)
        p.conn.reset();
}

} // namespace kelvo
