// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/cycle_window.h"

#include <QStringList>

namespace kelvo::test {

// The main window as the forwarding cycle and the self-test see it; records what they ask.
struct FakeCycleWindow final : CycleWindow {
    void ウィンドウの最小化() override { calls << QStringLiteral("minimise"); }
    void 実行モード() override { calls << QStringLiteral("running"); }
    QString 携帯アドレス欄() override {
        calls << QStringLiteral("address box");
        return addressBox;
    }
    void 携帯電話の設定表示() override { calls << QStringLiteral("phone dialog"); }
    bool ウィンドウが見えている() const override { return visible; }

    QStringList calls;
    bool visible = true;
    QString addressBox; // what the phone settings dialog's address box holds
};

} // namespace kelvo::test
