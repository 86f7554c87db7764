// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/push_line.h"

#include "mail/net/imap_idle.h"
#include "mail/net/maildir_watch.h"
#include "mail/core/profiles.h"

#include <QMetaObject>

namespace kelvo {

ProfilePushLine::ProfilePushLine(QString profilesPath) : path(std::move(profilesPath)) {}

ProfilePushLine::~ProfilePushLine() {
    close();
}

bool ProfilePushLine::pushes(const QString& profile) {
    try {
        return selectProfile(path, profile).push;
    } catch (...) {
        return false; // the pass reports what is wrong with the profile
    }
}

void ProfilePushLine::post(int from, const PushEvent& event) {
    QMetaObject::invokeMethod(
        this,
        [this, from, event] {
            if (from == connection && onEvent)
                onEvent(event);
        },
        Qt::QueuedConnection);
}

void ProfilePushLine::open(const QString& profile) {
    close();
    const int id = ++connection;
    try {
        const MailProfile p = selectProfile(path, profile);
        if (p.storeIsImap()) {
            // The object outlives every report: close() ends them first.
            imap = std::make_unique<ImapIdle>(
                p, [this, id](const PushEvent& event) { post(id, event); });
            return;
        }
        maildir = std::make_unique<MaildirWatch>();
        if (maildir->watch(p.store)) {
            connect(maildir.get(), &MaildirWatch::arrived, this, [this, id] {
                post(id, {PushEvent::NewMail, {}, 0});
            });
            connect(maildir.get(), &MaildirWatch::gone, this, [this, id] {
                post(id, {PushEvent::Lost, {}, 0, true});
            });
            connect(maildir.get(), &MaildirWatch::back, this, [this, id] {
                post(id, {PushEvent::Connected, {}, 0});
            });
            connect(maildir.get(), &MaildirWatch::failed, this, [this, id] {
                post(id, {PushEvent::Lost, {}, 0});
            });
            post(id, {PushEvent::Connected, {}, 0});
            return;
        }
        maildir.reset();
    } catch (...) {
    }
    post(id, {PushEvent::Lost, {}, 0});
}

void ProfilePushLine::renew() {
    if (imap)
        imap->renew();
}

void ProfilePushLine::close() {
    ++connection;
    imap.reset();
    maildir.reset();
}

} // namespace kelvo
