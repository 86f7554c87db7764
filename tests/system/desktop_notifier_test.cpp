#include "private_system_bus.h"
#include "standins.h"
#include "system/desktop_notifier.h"
#include "virtual_clock.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
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

} // namespace
} // namespace kelvo
