// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// Creates the folder and whatever is missing above it, each one readable and writable by the
// user alone (0700, as the XDG base directories ask), whatever the umask. Folders that exist
// keep their mode. True when the path is a folder afterwards.
bool makePrivateFolder(const QString& path);

} // namespace kelvo
