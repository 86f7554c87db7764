// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/desktop_options.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kelvo;

TEST(DesktopOptions, EachIsOnUnlessTheFileSaysNoAndABadLineIsNamedWithTheDefaultKept) {
    struct Case {
        const char* text; // nullptr: no file
        bool tray;
        bool notifications;
        QString error; // after the file's path
    };
    const Case cases[] = {
        {nullptr, true, true, {}},
        {"", true, true, {}},
        {"[desktop]\ntray = no\n", false, true, {}},
        {"# mine\r\n[desktop]\r\nNotifications=NO\r\ntray = yes\r\n", true, false, {}},
        {"[other]\ntray = no\n[desktop]\nnotifications = no\n", true, false, {}},
        {"[desktop]\ntray = no\ntray = off\nnotifications = no\n", true, false,
         "の3行目：trayの値が正しくありません（yesかno）"},
        {"[desktop]\nnotification = no\n", true, true, "の2行目：不明なキー「notification」"},
        {"[desktop]\ntray no\n", true, true, "の2行目：「=」がありません"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("desktop.ini");
        if (c.text) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.text);
        }
        const DesktopOptions o = デスクトップ設定読込(path);
        const std::string label = c.text ? c.text : "(no file)";
        EXPECT_EQ(o.トレイ, c.tray) << label;
        EXPECT_EQ(o.通知, c.notifications) << label;
        if (c.error.isEmpty()) {
            EXPECT_TRUE(o.誤り.isEmpty()) << label;
        } else {
            ASSERT_EQ(o.誤り.size(), 1) << label;
            EXPECT_EQ(o.誤り[0].description(), path + c.error) << label;
            EXPECT_EQ(o.誤り[0].number(), errnum::InvalidFormat);
        }
    }
}
