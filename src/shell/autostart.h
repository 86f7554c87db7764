// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// Start at login through XDG Autostart: $XDG_CONFIG_HOME/autostart/kelvo.desktop runs the
// given program with "/S".
QString 自動起動ファイルパス();
bool 自動起動あり();
// Writes or removes the entry; false with the reason when that failed.
bool 自動起動設定(bool on, const QString& program, QString* reason);

// The user unit kelvo.service is enabled (systemctl --user enable): it starts Kelvo on the
// same settings folder, so start at login would start a second one.
bool ユーザーユニット有効();

} // namespace kelvo
