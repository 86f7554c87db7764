// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/maildir_watch.h"

#include <QDir>

namespace kelvo {

bool MaildirWatch::watch(const QString& maildir) {
    root = maildir;
    folder = QDir(root).filePath(QStringLiteral("new"));
    if (!QFileInfo(folder).isDir() || !watcher.addPath(folder))
        return false;
    watchingNew = true;
    known = names();
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &MaildirWatch::changed);
    return true;
}

QSet<QString> MaildirWatch::names() const {
    const QStringList list = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    return QSet<QString>(list.begin(), list.end());
}

void MaildirWatch::changed() {
    const QStringList watched = watcher.directories();
    if (watchingNew && watched.contains(folder)) {
        const QSet<QString> now = names();
        const bool added = !(now - known).isEmpty();
        known = now;
        if (added)
            emit arrived();
        return;
    }
    if (watchingNew) {
        // Deleted or moved away: the watcher has let it go.
        watchingNew = false;
        if (!watcher.addPath(root)) {
            emit failed();
            return;
        }
        emit gone();
    } else if (!watched.contains(root)) {
        emit failed();
        return;
    }
    if (QFileInfo(folder).isDir() && watcher.addPath(folder)) {
        watcher.removePath(root);
        watchingNew = true;
        known = names();
        emit back();
    }
}

} // namespace kelvo
