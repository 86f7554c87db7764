// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace kelvo::fuzz {

// A folder for the files a fuzz target writes, for the whole run; in memory when the system
// offers it, as every input writes files.
inline QString scratchFolder() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/kelvo-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kelvo-fuzz-XXXXXX"));
    return dir.path();
}

} // namespace kelvo::fuzz
