// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "system/redial.h"

#include "common/error.h"
#include "system/system_errors.h"

namespace kelvo {

namespace {

[[noreturn]] void 失敗(const QString& name, const QString& what) {
    throw KelvoError(sysnum::DialUpFailed,
                     QStringLiteral("ダイヤルアップ接続『%1』%2").arg(name, what));
}

} // namespace

void 回線再接続(SystemControl& system, Waiter& waiter, const Clock& clock, int timeoutSeconds) {
    const RedialStart start = system.startRedial();
    switch (start.status) {
    case RedialStatus::NothingRemembered:
    case RedialStatus::AlreadyUp:
        return;
    case RedialStatus::Failed:
        失敗(start.name, start.reason.isEmpty()
                             ? QStringLiteral("に接続できません")
                             : QStringLiteral("に接続できません（%1）").arg(start.reason));
    case RedialStatus::Started:
        break;
    }

    const qint64 begun = clock.monotonicMs();
    for (;;) {
        switch (system.redialState()) {
        case LineState::Up:
            return;
        case LineState::Down:
            失敗(start.name, QStringLiteral("に接続できませんでした"));
        case LineState::Connecting:
            break;
        }
        if (clock.monotonicMs() - begun >= qint64(timeoutSeconds) * 1000)
            失敗(start.name,
                 QStringLiteral("が%1秒以内につながりませんでした").arg(timeoutSeconds));
        waiter.wait(1);
    }
}

} // namespace kelvo
