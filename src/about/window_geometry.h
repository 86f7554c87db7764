// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QWidget;

namespace kelvo {

// Twips are 1/1440 inch; a window designed in twips gets the same size in inches on every
// screen, converted at the screen's logical DPI.
int twipsToPixels(int twips, int dpi);

// Gives the window a fixed size in twips and places it in the middle of its screen.
void twipsで配置(QWidget& window, int widthTwips, int heightTwips);

} // namespace kelvo
