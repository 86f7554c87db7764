// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/core/mail_types.h"
#include "mail/mail_backend.h"
#include "mail/mime/command_check.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace kelvo {

class MailConnection;
class MapiSession;

// The messages control `mapMess`: the fetched Inbox messages and one outgoing message.
// Properties are getter and setter member functions named as the control's members; every
// member may raise KelvoError (mail_error.h).
//
// - Fetch makes the Inbox messages (only those not yet read while FetchUnreadOnly is true)
//   messages 0 to MsgCount - 1, newest first, and makes message 0 current.
// - Setting MsgIndex makes that message current and its first recipient (RecipIndex 0).
// - Compose and Forward start the outgoing message and make it current (MsgIndex reads -1)
//   until MsgIndex is set again; Subject, NoteText and the Recip... members set on it define
//   it and its one recipient. Send delivers it and makes the message that was current before
//   Compose or Forward current again.
// - Fetched messages, the current index and the outgoing message stay valid when the
//   session signs off and on again; only calls that reach the mailbox (Fetch, the first read
//   of MsgNoteText, ResolveName, Send) need SessionID to name the live session.
//
// Read marks: reading MsgNoteText marks the message read for the rest of the session (an
// unread-only Fetch no longer returns it); the marks are stored in the mailbox when the
// session signs off or before the next Fetch. Two additions serve the forwarding:
// KeepUnread keeps the current message unread, and ReadMarkStored says whether a message's
// mark has reached the mailbox.
class MapiMessages {
public:
    explicit MapiMessages(MapiSession& session);

    int SessionID() const { return sessionId; }
    void setSessionID(int value) { sessionId = value; }

    bool FetchUnreadOnly() const { return fetchUnreadOnly; }
    void setFetchUnreadOnly(bool value) { fetchUnreadOnly = value; }
    // Stores the pending read marks, then reads the Inbox afresh. The scope lets the mail
    // system leave out mail the caller has no use for (FetchScope): with a number of newest,
    // MsgCount counts every message, but only that many of the first can be read.
    void Fetch(const FetchScope& scope = {});

    // The accounts of an Inbox of several whose mail the last Fetch lacks, each error naming
    // its account; empty when it has all of it.
    const std::vector<StoreDown>& StoresDown() const { return storesDown; }
    // The accounts of an Inbox of several that the last Fetch left out as the session did.
    const QStringList& StoresLeftOut() const { return storesLeftOut; }
    // The account of an Inbox of several that the current message came from; empty for one.
    QString MsgAccount() const;

    int MsgCount() const { return static_cast<int>(messages.size()); }
    // The current fetched message, or -1 while the outgoing message is current.
    int MsgIndex() const;
    // 0 to MsgCount - 1; -1 returns to the outgoing message.
    void setMsgIndex(int value);

    QString MsgSubject() const;
    void setMsgSubject(const QString& value);
    // Reading marks the message read (see above). CR LF line breaks.
    QString MsgNoteText();
    void setMsgNoteText(const QString& value);
    QString MsgOrigAddress() const;
    // The sender's name, or the address when the mail names nobody.
    QString MsgOrigDisplayName() const;
    // More than one From or Subject field: readers may differ on who sent it and what it says.
    bool MsgRepeatedFromOrSubject() const;
    // When the message reached the mailbox, local time.
    QDateTime MsgDateReceived() const;
    // Finds the same message again in a later session, never another one.
    QString MsgID() const;
    // Where the fetch left it unknown, the message is read for it (without its read mark).
    int AttachmentCount();

    int RecipIndex() const { return recipIndex; }
    void setRecipIndex(int value);
    // 1 To, 2 CC (3 Bcc on an outgoing message).
    int RecipType() const;
    void setRecipType(int value);
    QString RecipAddress() const;
    void setRecipAddress(const QString& value);
    QString RecipDisplayName() const;
    void setRecipDisplayName(const QString& value);
    // The current message's number of recipients (To, then CC).
    int RecipCount() const;

    // An empty outgoing message.
    void Compose();
    // An outgoing message from the current one: its subject, and its attachments go along.
    void Forward();
    // Looks RecipDisplayName up in the address book (full names, and addresses without regard
    // to letter case) and sets the recipient's address and name from the entry. An unknown
    // name raises an error with a number greater than 0.
    void ResolveName();
    // Delivers the outgoing message. A recipient given only as RecipDisplayName is taken as
    // the address when it is one, and otherwise resolved through the address book.
    void Send();

    // Keeps the current message unread: its pending read mark is cancelled, and a mark this
    // program already stored in the mailbox is cleared again. For a forward that could not
    // be sent, so that the message comes again.
    void KeepUnread();
    // Stores the current message's read mark in the mailbox now, rather than at sign-off, so
    // that a session lost later keeps it. A mark that cannot be stored now waits for the
    // sign-off.
    void StoreReadMark();
    // True when the current message's read mark has been stored in the mailbox.
    bool ReadMarkStored() const;
    bool ReadMarkStored(const QString& msgId) const;
    // Whether the current message, from the phone's address, may give a command under the
    // profile's rule: the receiving server's verdict on its sender, then the PIN in its text
    // (read only when the profile sets one, which marks it read as MsgNoteText does).
    CommandVerdict MsgCommandVerdict(const QString& phoneAddress);

private:
    struct Fetched {
        MailSummary summary;
        std::optional<QString> text;
    };
    struct Outgoing {
        OutgoingMail mail;
        int attachmentCount = 0;
        int returnIndex = -1; // the message current before Compose or Forward
    };

    Fetched& currentFetched();
    // The message's attachment count, read from the mailbox where the fetch did not give it.
    int attachmentsOf(Fetched& m);
    MailRecipient resolved(MailConnection& conn, const QString& name);
    const Fetched& currentFetched() const;
    Outgoing& currentOutgoing();
    const MailRecipient* currentRecipient() const;
    MailRecipient& outgoingRecipient();

    MapiSession& session;
    std::vector<Fetched> messages;
    std::optional<Outgoing> outgoing;
    bool outgoingCurrent = false;
    int index = -1;
    int recipIndex = 0;
    int sessionId = 0;
    bool fetchUnreadOnly = false;
    std::vector<StoreDown> storesDown;
    QStringList storesLeftOut;
};

} // namespace kelvo
