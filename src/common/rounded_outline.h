// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRegion>
#include <QSize>

class QWidget;

namespace kelvo {

// The outline of a window of the given size: its rectangle with each corner rounded by an
// ellipse of 10 × 10 pixels.
QRegion 角丸領域(const QSize& size);

// Gives the window that outline now and again on every resize.
void 角丸ウィンドウ(QWidget* window);

} // namespace kelvo
