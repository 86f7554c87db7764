// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"

#include <QList>
#include <QString>

namespace kelvo {

// What Kelvo shows of itself on the desktop, from desktop.ini beside profiles.ini:
//
//   [desktop]
//   tray = no            # no tray icon
//   notifications = no   # no desktop notifications
//
// Each is on unless the file says "no"; a missing file leaves both on.
struct DesktopOptions {
    bool トレイ = true;
    bool 通知 = true;
    // One error per line that could not be used, naming the file, the line and the key; the
    // default stands in for what the line meant.
    QList<KelvoError> 誤り;
};

// $XDG_CONFIG_HOME/kelvo/desktop.ini.
QString デスクトップ設定パス();

DesktopOptions デスクトップ設定読込(const QString& path);

} // namespace kelvo
