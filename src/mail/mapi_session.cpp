// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mapi_session.h"

#include "mail/core/mail_error.h"

namespace kelvo {

MapiSession::MapiSession(MailBackend& backend) : backend(backend) {}

MapiSession::~MapiSession() {
    // A session still open at the end is closed without storing its marks: the messages
    // come again, nothing is lost.
    if (conn)
        conn->close();
}

void MapiSession::setErrorReporter(std::function<void(const KelvoError&)> r) {
    reporter = std::move(r);
}

void MapiSession::report(const KelvoError& error) {
    if (reporter)
        reporter(error);
}

void MapiSession::SignOn() {
    if (sessionId != 0)
        throw mailError(mailerr::SessionExists);
    const QString profile = userName;
    const bool download = downLoadMail;
    const QStringList only = accounts;
    conn = call([&] { return backend.signOnAccounts(profile, download, only); });
    policy = conn->commandPolicy();
    lastSessionId = lastSessionId % 0x7fff0000 + 1;
    sessionId = lastSessionId;
}

std::vector<StoreDown> MapiSession::SignOnRest() {
    // The later sign-ons of the same work look at every account too.
    accounts.clear();
    if (!conn)
        return {};
    return call([&] { return conn->lookAtAll(); });
}

void MapiSession::SignOff() {
    if (!conn)
        return;
    storeMarks();
    std::unique_ptr<MailConnection> closing = std::move(conn);
    sessionId = 0;
    call([&] {
        closing->close();
        closing.reset();
    });
}

MailConnection& MapiSession::connection(int id) {
    if (!conn)
        throw mailError(mailerr::NoSession);
    if (id != sessionId)
        throw mailError(mailerr::InvalidSession);
    return *conn;
}

void MapiSession::storeMarks() {
    if (!conn)
        return;
    auto attempt = [&](const QStringList& ids, bool seen) -> bool {
        try {
            call([&] { conn->setSeen(ids, seen); });
            return true;
        } catch (const KelvoError& e) {
            report(mailError(mailerr::MarksNotStored, e.description()));
        } catch (const std::exception& e) {
            report(mailError(mailerr::MarksNotStored, QString::fromLocal8Bit(e.what())));
        }
        return false;
    };
    const QStringList clears = marks.pendingClears();
    if (!clears.isEmpty() && attempt(clears, false))
        marks.clearsDone(clears);
    const QStringList ids = marks.pending();
    if (ids.isEmpty())
        return;
    if (attempt(ids, true))
        marks.stored(ids);
    else
        marks.dropped(ids);
}

void MapiSession::storeMark(const QString& id) {
    if (!conn || !marks.isPending(id))
        return;
    try {
        call([&] { conn->setSeen({id}, true); });
        marks.stored({id});
    } catch (const std::exception&) {
        // The sign-off tries again and reports it then.
    }
}

} // namespace kelvo
