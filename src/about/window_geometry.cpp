// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/window_geometry.h"

#include <QScreen>
#include <QWidget>

namespace kelvo {

int twipsToPixels(int twips, int dpi) {
    return twips * dpi / 1440;
}

void twipsで配置(QWidget& window, int widthTwips, int heightTwips) {
    window.setFixedSize(twipsToPixels(widthTwips, window.logicalDpiX()),
                        twipsToPixels(heightTwips, window.logicalDpiY()));
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->geometry();
        window.move(area.x() + (area.width() - window.width()) / 2,
                    area.y() + (area.height() - window.height()) / 2);
    }
}

} // namespace kelvo
