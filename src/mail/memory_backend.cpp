// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/memory_backend.h"

#include "mail/core/mail_error.h"

namespace kelvo {

QString MemoryMailSystem::addMessage(MailSummary summary, const QString& text,
                                     const QStringList& attachmentNames) {
    if (summary.id.isEmpty())
        summary.id = QStringLiteral("m%1").arg(nextId++);
    if (summary.attachmentCount.value_or(0) == 0)
        summary.attachmentCount = static_cast<int>(attachmentNames.size());
    inbox.push_back(Message{summary, text, attachmentNames});
    return summary.id;
}

MemoryMailSystem::Message* MemoryMailSystem::find(const QString& id) {
    for (Message& m : inbox)
        if (m.summary.id == id)
            return &m;
    return nullptr;
}

void MemoryMailSystem::failNext(const QString& call, const KelvoError& error, bool always) {
    failures.insert(call, Failure{error, always});
}

void MemoryMailSystem::enter(const QString& call) {
    calls << call;
    if (onCall)
        onCall(call);
    auto it = failures.find(call);
    if (it == failures.end())
        return;
    const KelvoError error = it->error;
    if (!it->always)
        failures.erase(it);
    throw error;
}

namespace {

class MemoryConnection final : public MailConnection {
public:
    MemoryConnection(MemoryMailSystem& system, const QString& profile)
        : system(system), profile(profile) {
        ++system.openSessions;
    }
    ~MemoryConnection() override { close(); }

    // Everything: a scope is a hint for speed alone.
    std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope&) override {
        system.enter(QStringLiteral("fetch"));
        std::vector<MailSummary> list;
        for (const auto& m : system.inbox)
            if (!unreadOnly || !m.summary.seen)
                list.push_back(m.summary);
        return list;
    }

    QString noteText(const QString& id) override {
        system.enter(QStringLiteral("noteText"));
        return message(id).text;
    }

    int attachmentCount(const QString& id) override {
        system.enter(QStringLiteral("attachmentCount"));
        const auto& m = message(id);
        return m.summary.attachmentCount.value_or(static_cast<int>(m.attachmentNames.size()));
    }

    void setSeen(const QStringList& ids, bool seen) override {
        system.enter(seen ? QStringLiteral("setSeen") : QStringLiteral("clearSeen"));
        for (const QString& id : ids)
            if (auto* m = system.find(id))
                m->summary.seen = seen;
    }

    void send(const OutgoingMail& mail) override {
        system.enter(QStringLiteral("send"));
        QStringList names;
        if (!mail.forwardOf.isEmpty())
            names = message(mail.forwardOf).attachmentNames;
        system.outbox.push_back(MemoryMailSystem::Sent{mail, profile, names});
    }

    MailRecipient resolveName(const QString& name) override {
        system.enter(QStringLiteral("resolveName"));
        if (!system.hasAddressBook)
            throw mailError(mailerr::NoAddressBook, name);
        for (auto it = system.addressBook.cbegin(); it != system.addressBook.cend(); ++it)
            if (it.key() == name || it.value().compare(name, Qt::CaseInsensitive) == 0)
                return MailRecipient{kRecipTo, it.value(), it.key()};
        throw mailError(mailerr::UnknownRecipient, name);
    }

    CommandPolicy commandPolicy() const override { return system.commandPolicy; }
    std::vector<StoreDown> storesDown() const override { return system.storesDown; }

    void close() override {
        if (closed)
            return;
        closed = true;
        --system.openSessions;
        system.calls << QStringLiteral("close");
    }

private:
    MemoryMailSystem::Message& message(const QString& id) {
        auto* m = system.find(id);
        if (!m)
            throw mailError(mailerr::InvalidMessage, id);
        return *m;
    }

    MemoryMailSystem& system;
    QString profile;
    bool closed = false;
};

} // namespace

std::unique_ptr<MailConnection> MemoryMailBackend::signOn(const QString& profileName,
                                                          bool downloadMail) {
    system.enter(QStringLiteral("signOn"));
    if (!profileName.isEmpty() && !system.profiles.contains(profileName))
        throw mailError(mailerr::ProfileMissing, profileName);
    system.signOnProfiles << profileName;
    system.signOnDownloads.push_back(downloadMail);
    return std::make_unique<MemoryConnection>(system, profileName);
}

} // namespace kelvo
