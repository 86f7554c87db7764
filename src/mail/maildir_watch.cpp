#include "mail/maildir_watch.h"

#include <QDir>

namespace kelvo {

bool MaildirWatch::watch(const QString& root) {
    folder = QDir(root).filePath(QStringLiteral("new"));
    if (!QFileInfo(folder).isDir() || !watcher.addPath(folder))
        return false;
    known = names();
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &MaildirWatch::changed);
    return true;
}

QSet<QString> MaildirWatch::names() const {
    const QStringList list = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    return QSet<QString>(list.begin(), list.end());
}

void MaildirWatch::changed() {
    const QSet<QString> now = names();
    const bool added = !(now - known).isEmpty();
    known = now;
    if (added)
        emit arrived();
}

} // namespace kelvo
