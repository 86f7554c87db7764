// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/version_text.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(VersionText, ComesFromTheProjectVersion) {
    EXPECT_EQ(製品バージョン(), QStringLiteral(KELVO_PROJECT_VERSION));
    EXPECT_EQ(製品バージョン(), QStringLiteral("3.0"));
    EXPECT_EQ(スプラッシュ版表記(), QStringLiteral("ver3.0"));
    EXPECT_EQ(全角バージョン(), QStringLiteral("３．０"));
}

TEST(VersionText, FullWidthTurnsDigitsAndPointsOnly) {
    EXPECT_EQ(全角表記(QStringLiteral("0123456789")), QStringLiteral("０１２３４５６７８９"));
    EXPECT_EQ(全角表記(QStringLiteral("12.05")), QStringLiteral("１２．０５"));
    EXPECT_EQ(全角表記(QStringLiteral("v3.0-rc1")), QStringLiteral("v３．０-rc１"));
    EXPECT_EQ(全角表記(QStringLiteral("３．０")), QStringLiteral("３．０"));
    EXPECT_EQ(全角表記(QString()), QString());
}
