// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/private_folder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <sys/stat.h>

namespace kelvo {

namespace {

bool isFolder(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool makePrivateFolder(const QString& path) {
    const QByteArray target = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    if (isFolder(target))
        return true;
    // Top down: each missing folder is made by us, so each gets our mode.
    for (qsizetype slash = target.indexOf('/', 1);; slash = target.indexOf('/', slash + 1)) {
        const QByteArray folder = slash < 0 ? target : target.left(slash);
        if (::mkdir(folder.constData(), 0700) != 0 && !(errno == EEXIST && isFolder(folder)))
            return false;
        if (slash < 0)
            return true;
    }
}

} // namespace kelvo
