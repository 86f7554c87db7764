// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace kelvo {

// Kelvo's own pictures, drawn from the SVG files built into the program.

// The logo of the start-up window, fitted into the given size (logical pixels) with its
// proportions kept, sharp on high-density screens.
QPixmap ロゴ画像(const QSize& size, qreal devicePixelRatio = 1.0);

// The program icon as a square picture of the given side.
QPixmap アイコン画像(int side, qreal devicePixelRatio = 1.0);

// The program icon in the usual sizes, for the windows' title bars and the task bar.
QIcon プログラムアイコン();

} // namespace kelvo
