// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kelvo {

// RecipType values.
inline constexpr int kRecipTo = 1;
inline constexpr int kRecipCc = 2;
inline constexpr int kRecipBcc = 3;

struct MailRecipient {
    int type = kRecipTo;
    QString address;
    QString displayName;

    bool isEmpty() const { return address.isEmpty() && displayName.isEmpty(); }
    bool operator==(const MailRecipient&) const = default;
};

// What a fetch learns of one Inbox message; the text is read separately, on demand.
struct MailSummary {
    QString id;      // finds the same message again in a later session, never another one
    QString subject; // decoded to Unicode
    QString origAddress;
    QString origDisplayName; // the sender's name, or the address when the mail names nobody
    QDateTime received;      // when the message reached the mailbox, local time
    std::vector<MailRecipient> recipients; // To, then CC
    // Unknown until the message itself is read, where the fetch does not say.
    std::optional<int> attachmentCount = 0;
    bool seen = false; // the mailbox's own read mark
    // The Authentication-Results fields as written, unfolded, topmost (the newest) first.
    QStringList authenticationResults;
    // More than one From or more than one Subject field: who sent it and what it says depend
    // on the reader, so it is never taken for the phone's mail.
    bool repeatedFromOrSubject = false;
    // The Message-ID field as written, "<...>"; empty without one.
    QString messageId;
    // In an Inbox of several accounts, the account it came from (as its id names it).
    QString account;

    bool operator==(const MailSummary&) const = default;
};

// What a fetch may leave out, for speed alone: the caller still applies its own rules to every
// message it gets, so a fetch may always return more than the scope needs.
struct FetchScope {
    // Unread only: mail received at or after this time is needed; none given: all of it.
    QDateTime reach;
    QDateTime now; // the caller's time when it asked, which the reach is counted back from
    // Unread mail from this address is needed whatever its date.
    QString alsoFrom;
    // All mail: only the newest this many by their received time are needed; every other
    // message may come as a blank summary (no id, no time, seen), counted and never read.
    int newest = 0;
    // No attachment is forwarded: a message is read for its text and its attachment count
    // alone, where the mailbox can tell them without the attachments.
    bool withoutAttachments = false;
};

// The message that Compose or Forward starts and Send delivers.
struct OutgoingMail {
    QString subject;
    QString noteText;
    MailRecipient recipient; // the one recipient; its address is final when the back end sends
    QString forwardOf;       // the original's id when Forward started it: its attachments go along
};

} // namespace kelvo
