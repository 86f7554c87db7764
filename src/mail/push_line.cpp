// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/push_line.h"

#include "mail/core/profiles.h"
#include "mail/net/imap_idle.h"
#include "mail/net/imap_loan.h"
#include "mail/net/maildir_watch.h"

#include <QMetaObject>
#include <QObject>
#include <optional>

namespace kelvo {

namespace {

// Hands events to the line's onEvent on the thread that made it, for as long as it lives:
// what is still on its way when it goes is dropped with it.
class EventPost {
public:
    EventPost(PushLine& line, QString store) : line(line), store(std::move(store)) {}
    void operator()(const PushEvent& event) {
        QMetaObject::invokeMethod(
            &context,
            [this, event] {
                if (line.onEvent)
                    line.onEvent(store, event);
            },
            Qt::QueuedConnection);
    }

private:
    PushLine& line;
    const QString store;
    QObject context;
};

// IDLE on the profile's IMAP server; its thread ends with it. A pass may borrow its client.
class ImapPush final : public PushConnection {
public:
    ImapPush(PushLine& line, const QString& name, const MailProfile& profile, IdleClients& clients)
        : post(line, name), idle(profile, [this](const PushEvent& event) { post(event); }) {
        clients.add(profile.store, profile.user, idle.loan());
    }
    void renew() override { idle.renew(); }

private:
    EventPost post; // first: it outlives the connection's thread
    ImapIdle idle;
};

// The Maildir's new/ folder watched; or, when it cannot be, a connection that is lost at once.
class MaildirPush final : public PushConnection {
public:
    MaildirPush(PushLine& line, const QString& name, const QString& folder) : post(line, name) {
        if (!watch.watch(folder)) {
            post({PushEvent::Lost, {}, 0});
            return;
        }
        QObject::connect(&watch, &MaildirWatch::arrived, &watch, [this] {
            post({PushEvent::NewMail, {}, 0});
        });
        QObject::connect(&watch, &MaildirWatch::gone, &watch, [this] {
            post({PushEvent::Lost, {}, 0, true});
        });
        QObject::connect(&watch, &MaildirWatch::back, &watch, [this] {
            post({PushEvent::Connected, {}, 0});
        });
        QObject::connect(&watch, &MaildirWatch::failed, &watch, [this] {
            post({PushEvent::Lost, {}, 0});
        });
        post({PushEvent::Connected, {}, 0});
    }
    void renew() override {}

private:
    EventPost post;
    MaildirWatch watch;
};

// A profile that cannot be read: lost at once (the pass reports what is wrong with it).
class NoPush final : public PushConnection {
public:
    NoPush(PushLine& line, const QString& name) : post(line, name) {
        post({PushEvent::Lost, {}, 0});
    }
    void renew() override {}

private:
    EventPost post;
};

} // namespace

ProfilePushLine::ProfilePushLine(QString profilesPath)
    : path(std::move(profilesPath)), clients(std::make_shared<IdleClients>()) {}

bool ProfilePushLine::pushes(const QString& profile) {
    return !pushStores(profile).isEmpty();
}

QStringList ProfilePushLine::pushStores(const QString& profile) {
    try {
        const MailProfile p = selectProfile(path, profile);
        QStringList out;
        for (const MailProfile& store : p.stores)
            if (store.push)
                out << store.name;
        if (!p.combines() && p.push)
            out << profile;
        return out;
    } catch (...) {
        return {}; // the pass reports what is wrong with the profile
    }
}

std::unique_ptr<PushConnection> ProfilePushLine::open(const QString& store) {
    std::optional<MailProfile> p;
    try {
        p = selectProfile(path, store);
    } catch (...) {
        return std::make_unique<NoPush>(*this, store);
    }
    if (p->storeIsImap())
        return std::make_unique<ImapPush>(*this, store, *p, *clients);
    return std::make_unique<MaildirPush>(*this, store, p->store);
}

} // namespace kelvo
