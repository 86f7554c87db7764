// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/settings_record.h"

#include <initializer_list>

namespace kelvo::test {

// The settings of a new setting.ini, with the phone's address filled in.
inline void 初回設定(SettingsRecord& s, const QString& phone) {
    for (const SettingKey& k : settingKeys())
        s.*k.field = k.firstStart ? QString::fromUtf16(k.firstStart) : QString();
    s.メールアドレス = phone;
}

// The weekly schedule on, with its daily window (hour and minute texts as typed) on the given
// weekdays.
inline void 週間スケジュール(SettingsRecord& s, const QString& startHour, const QString& startMinute,
                         const QString& endHour, const QString& endMinute,
                         std::initializer_list<QString SettingsRecord::*> days) {
    s.スケジュールフラグ = QStringLiteral("1");
    s.スケジュール開始時 = startHour;
    s.スケジュール開始分 = startMinute;
    s.スケジュール終了時 = endHour;
    s.スケジュール終了分 = endMinute;
    for (QString SettingsRecord::*day : days)
        s.*day = QStringLiteral("1");
}

} // namespace kelvo::test
