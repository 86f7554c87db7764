// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace kelvo {

// The read marks of this program's sessions. A message whose text was read is marked at once
// for the program, but the mark goes into the mailbox only when the session signs off (or
// before the next fetch): a pass cut short stores nothing, so its messages come again.
class ReadMarks {
public:
    // The text was read: marked for the rest of the session, stored later.
    void markRead(const QString& id);
    // Read in this session or stored: an unread-only fetch passes it over.
    bool isRead(const QString& id) const { return 保存待ち.contains(id) || 保存済み.contains(id); }
    // The mark waits to be stored.
    bool isPending(const QString& id) const { return 保存待ち.contains(id); }
    // The mark is in the mailbox.
    bool isStored(const QString& id) const { return 保存済み.contains(id); }

    // The marks waiting to be stored.
    QStringList pending() const { return QStringList(保存待ち.cbegin(), 保存待ち.cend()); }
    // The marks were written to the mailbox.
    void stored(const QStringList& ids);
    // The marks could not be written: the messages stay unread.
    void dropped(const QStringList& ids);

    // Keep a message unread: its pending mark is cancelled. Returns true when its mark was
    // already stored and must now be cleared in the mailbox.
    bool keepUnread(const QString& id);
    // The stored mark was cleared again in the mailbox.
    void cleared(const QString& id) { 保存済み.remove(id); }
    // Clearing failed: the mark stays in the mailbox and is kept unread on the next chance.
    void clearLater(const QString& id) { 解除待ち.insert(id); }
    QStringList pendingClears() const { return QStringList(解除待ち.cbegin(), 解除待ち.cend()); }
    void clearsDone(const QStringList& ids);

    // The mailbox shows the message unread (someone cleared the mark): it is not stored.
    void seenUnread(const QString& id);

private:
    QSet<QString> 保存待ち;
    QSet<QString> 保存済み;
    QSet<QString> 解除待ち;
};

} // namespace kelvo
