// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/settings_dialog.h"

#include <QPointer>
#include <functional>

class QWidget;

namespace kelvo {

class PhoneDialog;
class OptionsDialog;

// The two settings dialogs as the rest of the program reaches them. A dialog is loaded when
// it is first asked for, whether to be shown or only to be read, keeps what it loaded until
// it is shown, and is destroyed when it closes; the next request loads it anew.
class SettingsDialogs {
public:
    SettingsDialogs(const DialogContext& context, QWidget* owner);
    ~SettingsDialogs();
    SettingsDialogs(const SettingsDialogs&) = delete;
    SettingsDialogs& operator=(const SettingsDialogs&) = delete;

    // Tells a running schedule that the options dialog stored new weekdays.
    std::function<void()> 曜日フラグ再作成;

    // The phone settings dialog, loaded if need be, not shown.
    PhoneDialog& 携帯電話の設定();
    // Shows it: modal (waits until it closes), or not (returns at once).
    void 携帯電話の設定表示(bool modal);

    // The options dialog, loaded if need be, not shown.
    OptionsDialog& オプション();
    // Shows it modally.
    void オプション表示();

    bool 携帯電話の設定読込済() const { return !携帯.isNull(); }
    bool オプション読込済() const { return !オプション値.isNull(); }

private:
    template <typename Dialog> void 表示(QPointer<Dialog>& slot, Dialog& dialog, bool modal);

    DialogContext 環境;
    QWidget* 親;
    QPointer<PhoneDialog> 携帯;
    QPointer<OptionsDialog> オプション値;
};

} // namespace kelvo
