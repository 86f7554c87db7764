// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "system/network_manager.h"
#include "system/system_control.h"

#include <QDBusConnection>
#include <optional>

namespace kelvo {

// System control on a Linux desktop: programs start without a shell, shutdown goes to
// systemd-logind and the dial-up line to NetworkManager, both on the system bus. The Windows
// dial-up windows do not exist here, so starting one fails and no keystroke is ever sent.
class LinuxSystemControl final : public SystemControl {
public:
    // On the system bus, connected when a request first needs it: a Kelvo that never powers off
    // or dials up keeps no bus, nor the thread that serves one.
    LinuxSystemControl() = default;
    explicit LinuxSystemControl(QDBusConnection bus);

    QString environment(const QString& name) override;
    StartResult startProgram(const QString& commandLine, WindowState state) override;
    bool startDialUpWindow(const QString& commandLine, WindowState state) override;
    bool sendKeys(const QString& keys, bool wait) override;
    PrivilegeResult enableShutdownPrivilege() override;
    bool requestShutdown(ShutdownRequest request) override;
    bool hangUpDialUp() override;
    RedialStart startRedial() override;
    LineState redialState() override;

private:
    QDBusConnection& バス();
    NetworkManagerLine& 回線();

    std::optional<QDBusConnection> bus;
    std::optional<NetworkManagerLine> line;
};

} // namespace kelvo
