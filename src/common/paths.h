// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// Where Kelvo keeps its files.

// The directory that holds the running executable.
QString プログラムディレクトリ();

// True when Kelvo runs installed: its executable sits in a bin directory with
// ../share/kelvo beside it.
bool isInstalledLayout(const QString& exeDir);

// True when the directory's mode lets this process write into it. Judged from the mode bits
// rather than access(), which says yes to everything for root.
bool isWritableByMode(const QString& path);

// The directory for setting.ini, list.ini, the lock and the default log: the executable's own
// directory, or the per-user configuration directory ($XDG_CONFIG_HOME/kelvo) when Kelvo is
// installed or its directory is not writable.
QString 設定ディレクトリ(const QString& exeDir);

// The per-user configuration directory of Kelvo, $XDG_CONFIG_HOME/kelvo (~/.config/kelvo).
QString userConfigDirectory();

// The help document: beside the executable, else in the installed data directory. Empty when
// neither exists.
QString ヘルプファイルパス(const QString& exeDir);

} // namespace kelvo
