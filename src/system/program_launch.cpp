// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/program_launch.h"

#include "common/error.h"
#include "system/system_errors.h"

namespace kelvo {

void funcプログラム実行(SystemControl& system, const SettingsRecord& settings) {
    const QString& commandLine = settings.プログラム名;
    if (commandLine.trimmed().isEmpty())
        throw KelvoError(sysnum::InvalidCall,
                         QStringLiteral("実行するプログラム名が設定されていません"));
    const StartResult result = system.startProgram(commandLine, WindowState::MinimizedActive);
    if (!result.started) {
        QString description = QStringLiteral("プログラム『%1』を起動できません").arg(commandLine);
        if (!result.reason.isEmpty())
            description += QStringLiteral("（%1）").arg(result.reason);
        throw KelvoError(sysnum::CannotStart, description);
    }
}

} // namespace kelvo
