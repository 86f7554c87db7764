// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kelvo {
namespace {

constexpr int kSize = 32;

template <typename Draw> QIcon paint(Draw draw) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pm);
}

QIcon startIcon(const QColor& fill) {
    return paint([&](QPainter& p) {
        QPainterPath tri;
        tri.moveTo(9, 5);
        tri.lineTo(27, 16);
        tri.lineTo(9, 27);
        tri.closeSubpath();
        p.setPen(QPen(fill.darker(140), 1.5));
        p.setBrush(fill);
        p.drawPath(tri);
    });
}

QIcon stopIcon(const QColor& fill) {
    return paint([&](QPainter& p) {
        p.setPen(QPen(fill.darker(140), 1.5));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(7, 7, 18, 18), 3, 3);
    });
}

QIcon phoneIcon() {
    return paint([](QPainter& p) {
        p.setPen(QPen(QColor(40, 60, 110), 1.5));
        p.setBrush(QColor(90, 130, 210));
        p.drawRoundedRect(QRectF(10, 3, 13, 26), 3, 3);
        p.setBrush(QColor(225, 240, 255));
        p.drawRect(QRectF(12, 6, 9, 9));
        p.setBrush(Qt::white);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                p.drawRect(QRectF(12.5 + c * 3, 17.5 + r * 3.3, 2, 2));
    });
}

QIcon propertiesIcon() {
    return paint([](QPainter& p) {
        p.setPen(QPen(QColor(70, 70, 70), 1.5));
        p.setBrush(QColor(245, 245, 235));
        p.drawRect(QRectF(5, 4, 22, 24));
        for (int i = 0; i < 4; ++i) {
            p.setBrush(i % 2 ? QColor(60, 150, 60) : QColor(200, 200, 200));
            p.drawRect(QRectF(8, 8 + i * 5, 4, 3));
            p.drawLine(QPointF(14, 9.5 + i * 5), QPointF(24, 9.5 + i * 5));
        }
    });
}

QIcon helpIcon() {
    return paint([](QPainter& p) {
        p.setPen(QPen(QColor(30, 80, 160), 1.5));
        p.setBrush(QColor(70, 130, 220));
        p.drawEllipse(QRectF(4, 4, 24, 24));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(18);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(4, 4, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
    });
}

} // namespace

QList<QIcon> toolbarImages() {
    return {
        QIcon(),
        startIcon(QColor(40, 170, 60)),
        stopIcon(QColor(210, 50, 40)),
        phoneIcon(),
        propertiesIcon(),
        helpIcon(),
        startIcon(QColor(185, 185, 185)),
        stopIcon(QColor(185, 185, 185)),
    };
}

} // namespace kelvo
