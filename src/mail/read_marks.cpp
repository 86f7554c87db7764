// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/read_marks.h"

namespace kelvo {

void ReadMarks::markRead(const QString& id) {
    解除待ち.remove(id);
    if (!保存済み.contains(id))
        保存待ち.insert(id);
}

void ReadMarks::stored(const QStringList& ids) {
    for (const QString& id : ids) {
        保存待ち.remove(id);
        保存済み.insert(id);
    }
}

void ReadMarks::dropped(const QStringList& ids) {
    for (const QString& id : ids)
        保存待ち.remove(id);
}

bool ReadMarks::keepUnread(const QString& id) {
    保存待ち.remove(id);
    return 保存済み.contains(id);
}

void ReadMarks::clearsDone(const QStringList& ids) {
    for (const QString& id : ids) {
        解除待ち.remove(id);
        保存済み.remove(id);
    }
}

void ReadMarks::seenUnread(const QString& id) {
    解除待ち.remove(id);
    保存済み.remove(id);
}

} // namespace kelvo
