#pragma once

#include "settings/settings_record.h"

namespace kelvo::test {

// The settings of a new setting.ini, with the phone's address filled in.
inline void 初回設定(SettingsRecord& s, const QString& phone) {
    for (const SettingKey& k : settingKeys())
        s.*k.field = k.firstStart ? QString::fromUtf16(k.firstStart) : QString();
    s.メールアドレス = phone;
}

} // namespace kelvo::test
