#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>

namespace kelvo {

// Watches a Maildir's new/ folder and tells of files added to it; files leaving it (Kelvo's
// own pass moves them to cur/) are no news.
class MaildirWatch final : public QObject {
    Q_OBJECT
public:
    // False when there is no new/ folder to watch.
    bool watch(const QString& root);

signals:
    void arrived();

private:
    void changed();
    QSet<QString> names() const;

    QFileSystemWatcher watcher;
    QString folder;
    QSet<QString> known;
};

} // namespace kelvo
