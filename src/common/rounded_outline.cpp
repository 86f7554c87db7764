// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/rounded_outline.h"

#include <QEvent>
#include <QPainterPath>
#include <QWidget>

namespace kelvo {
namespace {

constexpr qreal kCornerEllipse = 10;

// Lives as a child of the window it shapes, so it goes when the window goes.
class OutlineKeeper final : public QObject {
public:
    explicit OutlineKeeper(QWidget* window) : QObject(window), 窓(window) {
        setObjectName(QStringLiteral("角丸"));
        window->installEventFilter(this);
        窓->setMask(角丸領域(窓->size()));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == 窓 && event->type() == QEvent::Resize)
            窓->setMask(角丸領域(窓->size()));
        return false;
    }

private:
    QWidget* 窓;
};

} // namespace

QRegion 角丸領域(const QSize& size) {
    if (size.isEmpty())
        return QRegion();
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, size.width(), size.height()), kCornerEllipse / 2,
                        kCornerEllipse / 2);
    return QRegion(path.toFillPolygon().toPolygon());
}

void 角丸ウィンドウ(QWidget* window) {
    if (!window || window->findChild<QObject*>(QStringLiteral("角丸"), Qt::FindDirectChildrenOnly))
        return;
    new OutlineKeeper(window);
}

} // namespace kelvo
