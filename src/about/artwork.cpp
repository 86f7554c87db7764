// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/artwork.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources live in a static library; nothing would pull them into the program unless
// they are registered by hand.
static void registerArtwork() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace kelvo {
namespace {

QPixmap render(const QString& resource, const QSize& box, qreal ratio) {
    registerArtwork();
    QSvgRenderer svg(resource);
    QSize size = svg.defaultSize();
    size.scale(box, Qt::KeepAspectRatio);
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return picture;
}

} // namespace

QPixmap ロゴ画像(const QSize& size, qreal devicePixelRatio) {
    return render(QStringLiteral(":/kelvo/kelvo-logo.svg"), size, devicePixelRatio);
}

QPixmap アイコン画像(int side, qreal devicePixelRatio) {
    return render(QStringLiteral(":/kelvo/kelvo.svg"), QSize(side, side), devicePixelRatio);
}

QIcon プログラムアイコン() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(アイコン画像(side));
    return icon;
}

} // namespace kelvo
