// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/autostart.h"

#include "common/private_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace kelvo {
namespace {

QString 設定フォルダ() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// A program path as an Exec field argument: quoted when it holds anything beyond the plain.
QString Exec引数(const QString& path) {
    static const QString plain = QStringLiteral(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-");
    bool quote = false;
    for (const QChar c : path)
        quote = quote || !plain.contains(c);
    if (!quote)
        return path;
    QString escaped;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    // "%" is a field code even inside quotes.
    escaped.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return u'"' + escaped + u'"';
}

} // namespace

QString 自動起動ファイルパス() { return 設定フォルダ() + QStringLiteral("/autostart/kelvo.desktop"); }

bool 自動起動あり() { return QFileInfo::exists(自動起動ファイルパス()); }

bool 自動起動設定(bool on, const QString& program, QString* reason) {
    const QString path = 自動起動ファイルパス();
    if (!on) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *reason = file.errorString();
        return false;
    }
    makePrivateFolder(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QString entry = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Kelvo\n"
                                             "Exec=%1 /S\n"
                                             "Icon=kelvo\n"
                                             "Terminal=false\n"
                                             "X-GNOME-Autostart-enabled=true\n")
                                  .arg(Exec引数(program));
        file.write(entry.toUtf8());
        if (file.commit())
            return true;
    }
    *reason = file.errorString();
    return false;
}

bool ユーザーユニット有効() {
    const QString units = 設定フォルダ() + QStringLiteral("/systemd/user");
    QDirIterator wants(units, {QStringLiteral("*.wants")}, QDir::Dirs | QDir::NoDotAndDotDot);
    while (wants.hasNext()) {
        const QFileInfo link(wants.next() + QStringLiteral("/kelvo.service"));
        if (link.exists() || link.isSymLink())
            return true;
    }
    return false;
}

} // namespace kelvo
