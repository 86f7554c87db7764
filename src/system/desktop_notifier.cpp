// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/desktop_notifier.h"

#include <QDBusMessage>
#include <QVariantMap>
#include <utility>

namespace kelvo {
namespace {

constexpr qint64 k同じ番号の間隔ms = 10 * 60 * 1000;

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, const Clock& clock, QObject* parent)
    : QObject(parent), bus(bus), clock(clock) {}

DesktopNotifier::DesktopNotifier(std::function<std::optional<QDBusConnection>()> open,
                                 const Clock& clock, QObject* parent)
    : QObject(parent), バスを開く(std::move(open)), clock(clock) {}

void DesktopNotifier::エラー行(const QString& line, int number) {
    今回のエラー = true;
    回復待ち = true;
    const qint64 now = clock.monotonicMs();
    const auto last = 最後の通知ms.constFind(number);
    if (last != 最後の通知ms.cend() && now - *last < k同じ番号の間隔ms)
        return;
    最後の通知ms.insert(number, now);
    通知(QStringLiteral("Kelvo：エラー"), line.trimmed());
}

void DesktopNotifier::パス開始() { 今回のエラー = false; }

void DesktopNotifier::パス終了() {
    if (今回のエラー || !回復待ち)
        return;
    回復待ち = false;
    通知(QStringLiteral("Kelvo：転送を再開しました"), QString());
}

void DesktopNotifier::通知(const QString& summary, const QString& body) {
    if (バスを開く)
        bus = std::exchange(バスを開く, nullptr)();
    if (!bus || !bus->isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Kelvo") << 0u << QStringLiteral("kelvo") << summary << body
         << QStringList() << QVariantMap() << -1;
    // No answer is awaited: a missing service costs nothing but the bus's error reply.
    call.setAutoStartService(true);
    bus->send(call);
}

} // namespace kelvo
