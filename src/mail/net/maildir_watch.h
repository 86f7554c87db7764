// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>

namespace kelvo {

// Watches a Maildir's new/ folder and tells of files added to it; files leaving it (Kelvo's
// own pass moves them to cur/) are no news. When new/ goes away (a mail program or a restore
// makes it anew), it watches the Maildir's own folder until new/ is back.
class MaildirWatch final : public QObject {
    Q_OBJECT
public:
    // False when there is no new/ folder to watch.
    bool watch(const QString& root);

signals:
    void arrived();
    // new/ went away; its return is watched for.
    void gone();
    // new/ is watched again; what came meanwhile is not told of.
    void back();
    // Neither new/ nor the Maildir's folder can be watched any more.
    void failed();

private:
    void changed();
    QSet<QString> names() const;

    QFileSystemWatcher watcher;
    QString root;
    QString folder;
    bool watchingNew = false;
    QSet<QString> known;
};

} // namespace kelvo
