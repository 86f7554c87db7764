// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"
#include "common/window_port.h"

#include <exception>
#include <utility>

namespace kelvo {

// The two ways an operation meets an error.

// Error trap: the first failure abandons the work and becomes one error line; the caller
// goes on. Returns true when the work ran to its end.
template <typename Work> bool エラートラップ(WindowPort& window, Work&& work) {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const KelvoError& e) {
        window.エラー行追加(e.description(), e.number());
    } catch (const std::exception& e) {
        window.エラー行追加(QString::fromLocal8Bit(e.what()), errnum::Unknown);
    } catch (...) {
        window.エラー行追加(QStringLiteral("不明なエラー"), errnum::Unknown);
    }
    return false;
}

// Errors ignored: a failing step is skipped silently. Returns true when it succeeded.
template <typename Step> bool エラー無視(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace kelvo
