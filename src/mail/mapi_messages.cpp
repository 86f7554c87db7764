// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mapi_messages.h"

#include "mail/core/mail_error.h"
#include "mail/mapi_session.h"

#include <QRegularExpression>
#include <algorithm>

namespace kelvo {

namespace {

bool isMailAddress(const QString& text) {
    static const QRegularExpression address(QStringLiteral(R"(^[^\s@<>(),;:"]+@[^\s@<>(),;:"]+$)"));
    return address.match(text).hasMatch();
}

} // namespace

MapiMessages::MapiMessages(MapiSession& session) : session(session) {}

void MapiMessages::Fetch(const FetchScope& scope) {
    MailConnection& conn = session.connection(sessionId);
    session.storeMarks();
    const bool unreadOnly = fetchUnreadOnly;
    std::vector<MailSummary> fetched =
        session.call([&] { return conn.fetch(unreadOnly, scope); });
    storesDown = conn.storesDown();
    storesLeftOut = conn.storesLeftOut();

    ReadMarks& marks = session.readMarks();
    std::vector<Fetched> list;
    list.reserve(fetched.size());
    // Newest first; among equal times the later arrival first.
    for (auto it = fetched.rbegin(); it != fetched.rend(); ++it) {
        if (!it->seen)
            marks.seenUnread(it->id);
        if (unreadOnly && marks.isRead(it->id))
            continue;
        list.push_back(Fetched{std::move(*it), std::nullopt});
    }
    // A large Inbox is held once at a time: the fetched list goes before the sort, which
    // needs room of its own only when the arrival order is not already newest first.
    std::vector<MailSummary>().swap(fetched);
    const auto newerFirst = [](const Fetched& a, const Fetched& b) {
        return a.summary.received > b.summary.received;
    };
    if (!std::is_sorted(list.begin(), list.end(), newerFirst))
        std::stable_sort(list.begin(), list.end(), newerFirst);
    messages = std::move(list);
    outgoing.reset();
    outgoingCurrent = false;
    index = messages.empty() ? -1 : 0;
    recipIndex = 0;
}

QString MapiMessages::MsgAccount() const {
    return currentFetched().summary.account;
}

int MapiMessages::MsgIndex() const {
    return outgoingCurrent ? -1 : index;
}

void MapiMessages::setMsgIndex(int value) {
    if (value == -1 && outgoing) {
        outgoingCurrent = true;
    } else if (value >= 0 && value < MsgCount()) {
        index = value;
        outgoingCurrent = false;
    } else {
        throw mailError(mailerr::InvalidMessage, QStringLiteral("MsgIndex %1").arg(value));
    }
    recipIndex = 0;
}

MapiMessages::Fetched& MapiMessages::currentFetched() {
    return const_cast<Fetched&>(std::as_const(*this).currentFetched());
}

const MapiMessages::Fetched& MapiMessages::currentFetched() const {
    if (outgoingCurrent || index < 0 || index >= MsgCount())
        throw mailError(mailerr::InvalidMessage);
    return messages[static_cast<size_t>(index)];
}

MapiMessages::Outgoing& MapiMessages::currentOutgoing() {
    if (!outgoingCurrent) {
        // Confirms there is a current message at all before saying it cannot be changed.
        currentFetched();
        throw mailError(mailerr::ReadOnly);
    }
    return *outgoing;
}

QString MapiMessages::MsgSubject() const {
    return outgoingCurrent ? outgoing->mail.subject : currentFetched().summary.subject;
}

void MapiMessages::setMsgSubject(const QString& value) {
    currentOutgoing().mail.subject = value;
}

QString MapiMessages::MsgNoteText() {
    if (outgoingCurrent)
        return outgoing->mail.noteText;
    Fetched& m = currentFetched();
    if (!m.text) {
        MailConnection& conn = session.connection(sessionId);
        const QString id = m.summary.id;
        std::optional<int>& count = m.summary.attachmentCount;
        // The count comes from the message just read, so that a forward reads it once.
        m.text = session.call([&] {
            QString text = conn.noteText(id);
            if (!count)
                count = conn.attachmentCount(id);
            return text;
        });
    }
    session.readMarks().markRead(m.summary.id);
    return *m.text;
}

void MapiMessages::setMsgNoteText(const QString& value) {
    currentOutgoing().mail.noteText = value;
}

QString MapiMessages::MsgOrigAddress() const {
    return outgoingCurrent ? QString() : currentFetched().summary.origAddress;
}

QString MapiMessages::MsgOrigDisplayName() const {
    return outgoingCurrent ? QString() : currentFetched().summary.origDisplayName;
}

bool MapiMessages::MsgRepeatedFromOrSubject() const {
    return !outgoingCurrent && currentFetched().summary.repeatedFromOrSubject;
}

QDateTime MapiMessages::MsgDateReceived() const {
    return outgoingCurrent ? QDateTime() : currentFetched().summary.received;
}

QString MapiMessages::MsgID() const {
    return outgoingCurrent ? QString() : currentFetched().summary.id;
}

int MapiMessages::AttachmentCount() {
    return outgoingCurrent ? outgoing->attachmentCount : attachmentsOf(currentFetched());
}

int MapiMessages::attachmentsOf(Fetched& m) {
    std::optional<int>& count = m.summary.attachmentCount;
    if (!count) {
        MailConnection& conn = session.connection(sessionId);
        const QString id = m.summary.id;
        count = session.call([&] { return conn.attachmentCount(id); });
    }
    return *count;
}

int MapiMessages::RecipCount() const {
    if (outgoingCurrent)
        return outgoing->mail.recipient.isEmpty() ? 0 : 1;
    return static_cast<int>(currentFetched().summary.recipients.size());
}

void MapiMessages::setRecipIndex(int value) {
    const int count = RecipCount();
    if (value != 0 && (value < 0 || value >= count))
        throw mailError(mailerr::InvalidRecipient, QStringLiteral("RecipIndex %1").arg(value));
    recipIndex = value;
}

// The current recipient, or null when the current message has none at RecipIndex.
const MailRecipient* MapiMessages::currentRecipient() const {
    if (outgoingCurrent)
        return &outgoing->mail.recipient;
    const auto& list = currentFetched().summary.recipients;
    return recipIndex < static_cast<int>(list.size()) ? &list[static_cast<size_t>(recipIndex)]
                                                      : nullptr;
}

MailRecipient& MapiMessages::outgoingRecipient() {
    return currentOutgoing().mail.recipient;
}

int MapiMessages::RecipType() const {
    const MailRecipient* r = currentRecipient();
    return r ? r->type : 0;
}

void MapiMessages::setRecipType(int value) {
    if (value < kRecipTo || value > kRecipBcc)
        throw mailError(mailerr::InvalidRecipient, QStringLiteral("RecipType %1").arg(value));
    outgoingRecipient().type = value;
}

QString MapiMessages::RecipAddress() const {
    const MailRecipient* r = currentRecipient();
    return r ? r->address : QString();
}

void MapiMessages::setRecipAddress(const QString& value) {
    outgoingRecipient().address = value;
}

QString MapiMessages::RecipDisplayName() const {
    const MailRecipient* r = currentRecipient();
    return r ? r->displayName : QString();
}

void MapiMessages::setRecipDisplayName(const QString& value) {
    outgoingRecipient().displayName = value;
}

void MapiMessages::Compose() {
    outgoing = Outgoing{OutgoingMail{}, 0, outgoingCurrent ? outgoing->returnIndex : index};
    outgoingCurrent = true;
    recipIndex = 0;
}

void MapiMessages::Forward() {
    Fetched& current = currentFetched();
    const int attachments = attachmentsOf(current);
    const MailSummary& original = current.summary;
    Outgoing next{OutgoingMail{}, attachments, index};
    next.mail.subject = original.subject;
    next.mail.forwardOf = original.id;
    outgoing = std::move(next);
    outgoingCurrent = true;
    recipIndex = 0;
}

void MapiMessages::ResolveName() {
    MailRecipient& recipient = outgoingRecipient();
    MailConnection& conn = session.connection(sessionId);
    const MailRecipient entry = resolved(conn, recipient.displayName);
    recipient.address = entry.address;
    if (!entry.displayName.isEmpty())
        recipient.displayName = entry.displayName;
}

MailRecipient MapiMessages::resolved(MailConnection& conn, const QString& name) {
    if (conn.resolvesLocally())
        return conn.resolveName(name);
    return session.call([&] { return conn.resolveName(name); });
}

void MapiMessages::Send() {
    Outgoing& out = currentOutgoing();
    MailConnection& conn = session.connection(sessionId);
    OutgoingMail mail = out.mail;
    MailRecipient& to = mail.recipient;
    if (to.address.isEmpty()) {
        if (to.displayName.isEmpty())
            throw mailError(mailerr::NoRecipient);
        if (isMailAddress(to.displayName.trimmed())) {
            to.address = to.displayName.trimmed();
            to.displayName.clear();
        } else {
            const MailRecipient entry = resolved(conn, to.displayName);
            to.address = entry.address;
            if (!entry.displayName.isEmpty())
                to.displayName = entry.displayName;
        }
    }
    session.call([&] { conn.send(mail); });
    const int back = out.returnIndex;
    outgoing.reset();
    outgoingCurrent = false;
    index = back;
    recipIndex = 0;
}

void MapiMessages::KeepUnread() {
    const QString id = currentFetched().summary.id;
    ReadMarks& marks = session.readMarks();
    if (!marks.keepUnread(id))
        return;
    if (!session.isLive(sessionId)) {
        marks.clearLater(id);
        return;
    }
    MailConnection& conn = session.connection(sessionId);
    try {
        session.call([&] { conn.setSeen({id}, false); });
        marks.cleared(id);
    } catch (const std::exception&) {
        // Tried again when the session signs off or fetches next.
        marks.clearLater(id);
    }
}

void MapiMessages::StoreReadMark() {
    const QString id = currentFetched().summary.id;
    if (session.isLive(sessionId))
        session.storeMark(id);
}

bool MapiMessages::ReadMarkStored() const {
    return ReadMarkStored(currentFetched().summary.id);
}

bool MapiMessages::ReadMarkStored(const QString& msgId) const {
    return session.readMarks().isStored(msgId);
}

CommandVerdict MapiMessages::MsgCommandVerdict(const QString& phoneAddress) {
    const QString& id = currentFetched().summary.id;
    const CommandPolicy policy = session.isLive(sessionId)
                                     ? session.connection(sessionId).commandPolicy(id)
                                     : session.commandPolicy();
    const CommandVerdict sender =
        senderVerdict(policy, currentFetched().summary.authenticationResults, phoneAddress);
    if (sender != CommandVerdict::Accepted || !policy.needsText())
        return sender;
    return pinMatches(policy.pin, MsgNoteText()) ? CommandVerdict::Accepted
                                                 : CommandVerdict::WrongPin;
}

} // namespace kelvo
