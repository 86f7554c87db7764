// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

QString プログラムディレクトリ() { return QCoreApplication::applicationDirPath(); }

bool isInstalledLayout(const QString& exeDir) {
    const QDir dir(exeDir);
    return dir.dirName() == QLatin1String("bin") &&
           QFileInfo(dir.absoluteFilePath(QStringLiteral("../share/kelvo"))).isDir();
}

bool isWritableByMode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    mode_t bit = S_IWOTH;
    if (st.st_uid == ::geteuid())
        bit = S_IWUSR;
    else if (st.st_gid == ::getegid())
        bit = S_IWGRP;
    return (st.st_mode & bit) != 0 && ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

QString userConfigDirectory() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/kelvo");
}

QString 設定ディレクトリ(const QString& exeDir) {
    if (!isInstalledLayout(exeDir) && isWritableByMode(exeDir))
        return exeDir;
    return userConfigDirectory();
}

QString ヘルプファイルパス(const QString& exeDir) {
    const QString candidates[] = {
        exeDir + QStringLiteral("/kelvo.html"),
        QDir::cleanPath(exeDir + QStringLiteral("/../share/kelvo/kelvo.html")),
    };
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

} // namespace kelvo
