// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The settings the pass benchmarks run the engine with.

#include "first_start_settings.h"

namespace kelvo::bench {

// Every filter on; none lets a message through.
inline void filterEverything(SettingsRecord& s) {
    test::初回設定(s, QStringLiteral("phone@docomo.ne.jp"));
    s.件名フィルタ = QStringLiteral("広告"); // in no subject: every message is looked at further
    s.アドレス帳フィルタ = QStringLiteral("1");
    s.アドレス帳モード = QStringLiteral("0"); // skip the senders the address book lists: none
    s.差出人フィルタ = QStringLiteral("1");
    s.差出人モード = QStringLiteral("1"); // forward only the listed senders: none
    s.差出人フィルタ1 = QStringLiteral("friend@example.jp");
}

} // namespace kelvo::bench
