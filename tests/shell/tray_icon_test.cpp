// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "kelvo_instance.h"
#include "shell/autostart.h"
#include "shell/tray_icon.h"
#include "virtual_clock.h"

#include <QAction>
#include <QDir>
#include <QSystemTrayIcon>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        tray = トレイアイコン作成(w, QStringLiteral("/opt/kelvo dir/kelvo"), [] { return true; });
        ASSERT_TRUE(tray);
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QTemporaryDir dir;
    QTemporaryDir config;
    VirtualClock clock;
    KelvoInstance kelvo{dir.path(), clock};
    MainForm& w = *kelvo.window;
    std::unique_ptr<TrayIcon> tray;
};

} // namespace

TEST(TrayIconPresence, NoTrayNoIcon) {
    QTemporaryDir dir;
    VirtualClock clock;
    KelvoInstance kelvo{dir.path(), clock};
    EXPECT_FALSE(トレイアイコン作成(*kelvo.window, QString(), [] { return false; }));
}

TEST_F(TrayIconTest, ItemsRunTheMainMenuCommandsAndFollowTheMode) {
    EXPECT_EQ(tray->開始->text(), w.mnu開始->text());
    EXPECT_EQ(tray->停止->text(), w.mnu停止->text());
    EXPECT_EQ(tray->終了->text(), w.mnu終了->text());
    int starts = 0;
    w.hooks.自動転送開始 = [&] { ++starts; };
    w.停止モード();
    EXPECT_TRUE(tray->開始->isEnabled());
    EXPECT_FALSE(tray->停止->isEnabled());
    tray->開始->trigger();
    EXPECT_EQ(starts, 1);
    w.実行モード();
    EXPECT_FALSE(tray->開始->isEnabled());
    EXPECT_TRUE(tray->停止->isEnabled());
    tray->停止->trigger();
    EXPECT_EQ(w.panelText(kPanel次の接続まで), QStringLiteral("接続を停止中"));
    EXPECT_EQ(kelvo.ctx.状態.停止要求フラグ, 1);

    w.setPanelText(kPanel次の接続まで, QStringLiteral("次の接続まで 10秒"));
    EXPECT_EQ(tray->アイコン->toolTip(),
              QStringLiteral("Kelvo\n次の接続まで 10秒\n新着メール数 :0\n転送メール数 :0"));

    w.showMinimized();
    tray->ウィンドウを表示->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);

    tray->終了->trigger();
    ASSERT_EQ(kelvo.ui.messages.size(), 1u);
    EXPECT_EQ(kelvo.ui.messages[0].text, QStringLiteral("Kelvoを終了します"));
    EXPECT_EQ(kelvo.exit.ends, 1);
}

TEST_F(TrayIconTest, StartAtLoginWritesAndRemovesTheEntryUnlessTheUnitIsEnabled) {
    const QString entry = config.path() + QStringLiteral("/autostart/kelvo.desktop");
    EXPECT_FALSE(tray->ログイン時に開始->isChecked());
    tray->ログイン時に開始->trigger();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"/opt/kelvo dir/kelvo\" /S\n"))) << text.toStdString();
    EXPECT_TRUE(tray->ログイン時に開始->isChecked());
    tray->ログイン時に開始->trigger();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(tray->ログイン時に開始->isChecked());

    // systemctl --user enable kelvo
    const QString wants = config.path() + QStringLiteral("/systemd/user/default.target.wants");
    ASSERT_TRUE(QDir().mkpath(wants));
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/lib/systemd/user/kelvo.service"),
                            wants + QStringLiteral("/kelvo.service")));
    tray->自動起動の表示更新();
    EXPECT_FALSE(tray->ログイン時に開始->isEnabled());
    EXPECT_FALSE(tray->ログイン時に開始->toolTip().isEmpty());
}

TEST_F(TrayIconTest, TipNamesTheTimeOfTheNextCheckWhichTheTurnsDoNotChange) {
    // The virtual clock stands at Monday 7 December, 09:00.
    w.setPanelText(kPanel次の接続まで, QStringLiteral("次の接続まで 29分58秒"));
    const QString tip = tray->アイコン->toolTip();
    EXPECT_EQ(tip, QStringLiteral("Kelvo\n次の接続：09:30\n新着メール数 :0\n転送メール数 :0"));
    clock.advance(2);
    w.setPanelText(kPanel次の接続まで, QStringLiteral("次の接続まで 29分56秒"));
    EXPECT_EQ(tray->アイコン->toolTip(), tip);
    w.setPanelText(kPanel次の接続まで, QStringLiteral("あと 1日2時間3分4秒"));
    EXPECT_EQ(tray->アイコン->toolTip().section(u'\n', 1, 1),
              QStringLiteral("次の稼動開始：12/8 11:03"));
    w.setPanelText(kPanel次の接続まで, QStringLiteral("メールチェック中"));
    EXPECT_EQ(tray->アイコン->toolTip().section(u'\n', 1, 1), QStringLiteral("メールチェック中"));
}
