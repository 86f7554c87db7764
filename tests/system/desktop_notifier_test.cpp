// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "kelvo_instance.h"
#include "private_system_bus.h"
#include "shell/notification_link.h"
#include "standins.h"
#include "system/desktop_notifier.h"
#include "virtual_clock.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvo {
namespace {

const QString kError = QStringLiteral("Kelvo：エラー|");
const QString kResumed = QStringLiteral("Kelvo：転送を再開しました|");

// A stand-in notification server on a session bus of the test's own, and Kelvo's notifier on
// a second connection to it.
class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(bus.start(&error)) << error.toStdString();
        server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("notify-server"));
        ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                                          QDBusConnection::ExportScriptableSlots));
        ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
        client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("notify-client"));
        notifier = std::make_unique<DesktopNotifier>(client, clock);
    }
    void TearDown() override {
        notifier.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-server"));
    }
    // What the server has shown once the calls have arrived (bounded wait).
    QStringList shown(qsizetype expected) {
        QDeadlineTimer deadline(5000);
        while (standIn.shown.size() < expected && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        // Anything beyond what is expected would have arrived by now as well.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return standIn.shown;
    }

    test::PrivateSystemBus bus;
    QDBusConnection server{QString()};
    QDBusConnection client{QString()};
    test::NotificationStandIn standIn;
    test::VirtualClock clock;
    std::unique_ptr<DesktopNotifier> notifier;
};

TEST_F(DesktopNotifierTest, OnePerErrorNumberInTenMinutesThenOneForTheRecovery) {
    const QString a = QStringLiteral("   09:00    エラー！「接続できません(10061)」");
    const QString b = QStringLiteral("   09:00    エラー！「認証に失敗しました(535)」");
    notifier->パス開始();
    notifier->エラー行(a, 10061);
    notifier->エラー行(b, 535);
    notifier->パス終了();
    clock.advance(9 * 60 + 59);
    notifier->パス開始();
    notifier->エラー行(a, 10061); // the same number within 10 minutes: no second one
    notifier->パス終了();
    EXPECT_EQ(shown(2), (QStringList{kError + a.trimmed(), kError + b.trimmed()}));
    clock.advance(1);
    notifier->パス開始();
    notifier->エラー行(a, 10061);
    notifier->パス終了();
    notifier->パス開始();
    notifier->パス終了(); // the first clean pass
    notifier->パス開始();
    notifier->パス終了(); // and no more after it
    EXPECT_EQ(shown(4).mid(2), (QStringList{kError + a.trimmed(), kResumed}));
}

TEST_F(DesktopNotifierTest, CleanPassesAloneNotifyNothing) {
    notifier->パス開始();
    notifier->パス終了();
    EXPECT_TRUE(shown(0).isEmpty());
}

// The main window's lines and panels as the notifier sees them: only while forwarding runs, a
// pass begun by its sign-on at a new check start, a sign-on again inside it no new pass.
TEST_F(DesktopNotifierTest, TheWindowsErrorLinesAndPassesReachTheNotifier) {
    QTemporaryDir dir;
    test::KelvoInstance kelvo(dir.path(), clock);
    MainForm& w = *kelvo.window;
    通知を接続(w, *notifier);
    auto signOn = [&](bool newPass) {
        if (newPass)
            kelvo.ctx.状態.チェック開始時刻 = clock.now().addSecs(1);
        clock.advance(1);
        w.setPanelText(kPanel次の接続まで, QStringLiteral("サーバーへ接続中・・・"));
    };
    w.停止モード();
    w.エラー行追加(QStringLiteral("停止中のエラー"), 1); // forwarding does not run
    w.実行モード();
    signOn(true);
    w.エラー行追加(QStringLiteral("接続できません"), 10061); // the sign-on failed
    signOn(true);
    w.setPanelText(kPanel次の接続まで, QStringLiteral("メールチェック中"));
    w.エラー行追加(QStringLiteral("送信できません"), 554);
    signOn(false); // the profile's sign-on again after a send
    w.setPanelText(kPanel次の接続まで, QStringLiteral("メールチェック終了"));
    EXPECT_EQ(shown(2).size(), 2); // that pass had an error line: no recovery yet
    signOn(true);
    w.setPanelText(kPanel次の接続まで, QStringLiteral("メールチェック終了"));
    const QStringList got = shown(3);
    ASSERT_EQ(got.size(), 3) << got.join(u'\n').toStdString();
    EXPECT_TRUE(got[0].startsWith(kError) &&
                got[0].endsWith(QStringLiteral("接続できません(10061)」")));
    EXPECT_TRUE(got[1].endsWith(QStringLiteral("送信できません(554)」")));
    EXPECT_EQ(got[2], kResumed);
}

} // namespace
} // namespace kelvo
