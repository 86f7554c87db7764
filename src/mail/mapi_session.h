// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"
#include "mail/mail_backend.h"
#include "mail/core/mail_call.h"
#include "mail/read_marks.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace kelvo {

// The session control `mapSess`: signs on to the mail system with a profile and off again.
// Properties are getter and setter member functions named as the control's members.
//
// Every member may raise KelvoError (mail_error.h). Signing off and on again leaves the
// messages control's fetched messages, its current index and its outgoing message valid.
class MapiSession {
public:
    explicit MapiSession(MailBackend& backend);
    ~MapiSession();
    MapiSession(const MapiSession&) = delete;
    MapiSession& operator=(const MapiSession&) = delete;

    // True: the sign-on first fetches new mail into the mailbox (the profile's download
    // command, for a mailbox another program fills).
    bool DownLoadMail() const { return downLoadMail; }
    void setDownLoadMail(bool value) { downLoadMail = value; }

    // Kelvo never shows a sign-on dialog; the value is kept for callers that set it.
    bool LogonUI() const { return logonUI; }
    void setLogonUI(bool value) { logonUI = value; }

    // The profile to sign on with; empty: the default profile.
    const QString& UserName() const { return userName; }
    void setUserName(const QString& value) { userName = value; }

    // The accounts of a combining profile that the sign-on looks at, by their profiles' names;
    // empty: every account.
    const QStringList& Accounts() const { return accounts; }
    void setAccounts(const QStringList& value) { accounts = value; }

    // 0 while not signed on; a new non-zero number for each sign-on.
    int SessionID() const { return sessionId; }

    // Opens the session with the profile UserName names. Raises an error when signed on.
    void SignOn();
    // Signs on to the accounts the session left out (Accounts), so that the next fetch has the
    // whole Inbox, and clears Accounts; the accounts that could not be reached, each error naming
    // its account.
    std::vector<StoreDown> SignOnRest();
    // Stores the read marks of the session, then ends it. Does nothing when not signed on.
    // Marks that cannot be stored leave their messages unread and go to the error reporter;
    // the session ends all the same.
    void SignOff();

    // The caller's own marker that it signed on.
    bool NewSession() const { return newSession; }
    void setNewSession(bool value) { newSession = value; }

    // Where failures go that do not end the call they happen in (read marks that could not be
    // stored). Without a reporter they are dropped.
    void setErrorReporter(std::function<void(const KelvoError&)> reporter);

    // For the messages control.
    // The open connection when sessionId names the live session; raises an error otherwise.
    MailConnection& connection(int sessionId);
    bool isLive(int sessionId) const { return sessionId != 0 && sessionId == this->sessionId; }
    ReadMarks& readMarks() { return marks; }
    const ReadMarks& readMarks() const { return marks; }
    // Writes the pending read marks and clears, reporting a failure.
    void storeMarks();
    // Writes one message's pending read mark now. A mark that cannot be written stays pending
    // for the sign-off; nothing is raised.
    void storeMark(const QString& id);
    // Runs a call into the back end, off the user-interface thread when it may block.
    template <typename Work> auto call(Work&& work) {
        return mailCall(backend.mayBlock(), std::forward<Work>(work));
    }
    void report(const KelvoError& error);
    // The rule for the phone's commands of the profile last signed on with.
    const CommandPolicy& commandPolicy() const { return policy; }

private:
    MailBackend& backend;
    std::unique_ptr<MailConnection> conn;
    ReadMarks marks;
    CommandPolicy policy;
    std::function<void(const KelvoError&)> reporter;
    QString userName;
    QStringList accounts;
    int sessionId = 0;
    int lastSessionId = 0;
    bool downLoadMail = false;
    bool logonUI = true;
    bool newSession = false;
};

} // namespace kelvo
