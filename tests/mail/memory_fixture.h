// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "error_of.h"
#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"

#include <QDateTime>
#include <vector>

namespace kelvo::test {

// The two controls over an in-memory mailbox, with the reported errors collected.
struct MemoryMail {
    MemoryMailSystem system;
    MemoryMailBackend backend{system};
    MapiSession mapSess{backend};
    MapiMessages mapMess{mapSess};
    std::vector<KelvoError> reported;

    MemoryMail() {
        mapSess.setErrorReporter([this](const KelvoError& e) { reported.push_back(e); });
    }

    // A message received the given number of minutes after 9:00 on 1 December 2026.
    QString add(const QString& subject, int minute, const QString& text = QStringLiteral("本文"),
                bool seen = false, const QStringList& attachments = {}) {
        MailSummary s;
        s.subject = subject;
        s.origAddress = subject.toLower() + QStringLiteral("@example.jp");
        s.origDisplayName = subject;
        s.received = QDateTime(QDate(2026, 12, 1), QTime(9, 0)).addSecs(minute * 60);
        s.recipients = {
            MailRecipient{kRecipTo, QStringLiteral("me@example.jp"), QStringLiteral("Me")},
            MailRecipient{kRecipCc, QStringLiteral("cc@example.jp"), QStringLiteral("Cc")}};
        s.seen = seen;
        return system.addMessage(s, text, attachments);
    }

    void signOn() {
        mapSess.SignOn();
        mapMess.setSessionID(mapSess.SessionID());
    }

    void fetch(bool unreadOnly) {
        mapMess.setFetchUnreadOnly(unreadOnly);
        mapMess.Fetch();
    }

    // One unread message whose text was read in a session that is still open.
    QString addAndRead(const QString& subject) {
        const QString id = add(subject, 1);
        signOn();
        fetch(true);
        mapMess.MsgNoteText();
        return id;
    }

    QStringList subjects() {
        QStringList out;
        for (int i = 0; i < mapMess.MsgCount(); ++i) {
            mapMess.setMsgIndex(i);
            out << mapMess.MsgSubject();
        }
        return out;
    }
};

} // namespace kelvo::test
