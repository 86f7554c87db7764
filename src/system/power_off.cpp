// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/power_off.h"

#include "common/error_trap.h"

namespace kelvo {

namespace {

// How long the system gets to end the program after each shutdown request.
constexpr double kShutdownGraceSeconds = 10;

} // namespace

bool EnableShutdownPrivilege(SystemControl& system, WindowPort& window) {
    switch (system.enableShutdownPrivilege()) {
    case PrivilegeResult::Enabled:
        return true;
    case PrivilegeResult::NoProcessToken:
        window.messageBox(QStringLiteral("OpenProcessToken エラー"), MsgButtons::Ok,
                          QStringLiteral("ExitWindowEx"));
        return false;
    case PrivilegeResult::NotEnabled:
        break;
    }
    return false;
}

void 電源OFF(const SystemContext& context, const SettingsRecord& settings, int& 終了フラグ) {
    SystemControl& system = context.システム;
    WindowPort& window = context.画面;

    QString windir;
    エラー無視([&] { windir = system.environment(QStringLiteral("windir")); });
    // Set first, so that the close the shutdown sends ends the program without a question.
    終了フラグ = 1;
    エラー無視([&] { window.モニター行追加(QStringLiteral(" 電源を切ります")); });
    if (isOn(settings.ログ出力フラグ))
        エラー無視([&] { window.ログファイル書込(settings.ログファイルパス); });

    const auto requestAndWait = [&](ShutdownRequest request) {
        エラー無視([&] { system.requestShutdown(request); });
        エラー無視([&] { context.待機.wait(kShutdownGraceSeconds); });
    };
    requestAndWait(ShutdownRequest::ShutDown);
    if (windir.toUpper().contains(QLatin1String("WINNT"))) {
        エラー無視([&] { EnableShutdownPrivilege(system, window); });
        requestAndWait(ShutdownRequest::PowerOff);
        requestAndWait(ShutdownRequest::ShutDown);
    }

    // Added after the log was written, so it never reaches the log file.
    エラー無視([&] { window.モニター行追加(QStringLiteral("電源OFFしました。"), false); });
    context.終了.endProgram();
}

} // namespace kelvo
