// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/rounded_outline.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(RoundedOutline, CutsTheFourCornersOnly) {
    const QRegion r = 角丸領域(QSize(100, 50));
    EXPECT_EQ(r.boundingRect(), QRect(0, 0, 100, 50));
    for (QPoint p : {QPoint(50, 25), QPoint(50, 0), QPoint(0, 25), QPoint(99, 25), QPoint(50, 49),
                     QPoint(5, 0), QPoint(0, 5), QPoint(2, 2)})
        EXPECT_TRUE(r.contains(p)) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(99, 49)})
        EXPECT_FALSE(r.contains(p)) << p.x() << "," << p.y();
    EXPECT_TRUE(角丸領域(QSize()).isEmpty());
}

TEST(RoundedOutline, FollowsTheWindowOnEveryResize) {
    QWidget w;
    w.resize(120, 80);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    角丸ウィンドウ(&w);
    角丸ウィンドウ(&w); // a second call changes nothing
    EXPECT_EQ(w.mask(), 角丸領域(QSize(120, 80)));
    w.resize(300, 200);
    EXPECT_EQ(w.mask(), 角丸領域(QSize(300, 200)));
    EXPECT_EQ(w.findChildren<QObject*>(QStringLiteral("角丸")).size(), 1);
}

} // namespace
} // namespace kelvo
