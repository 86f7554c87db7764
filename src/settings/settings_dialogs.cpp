// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_dialogs.h"

#include "settings/options_dialog.h"
#include "settings/phone_dialog.h"

namespace kelvo {

SettingsDialogs::SettingsDialogs(const DialogContext& context, QWidget* owner)
    : 環境(context), 親(owner) {}

SettingsDialogs::~SettingsDialogs() {
    delete 携帯.data();
    delete オプション値.data();
}

PhoneDialog& SettingsDialogs::携帯電話の設定() {
    if (!携帯)
        携帯 = new PhoneDialog(環境, 親);
    return *携帯;
}

OptionsDialog& SettingsDialogs::オプション() {
    if (!オプション値) {
        オプション値 = new OptionsDialog(環境, 親);
        オプション値->曜日フラグ再作成 = [this] {
            if (曜日フラグ再作成)
                曜日フラグ再作成();
        };
    }
    return *オプション値;
}

void SettingsDialogs::携帯電話の設定表示(bool modal) {
    表示(携帯, 携帯電話の設定(), modal);
}

void SettingsDialogs::オプション表示() {
    表示(オプション値, オプション(), true);
}

template <typename Dialog>
void SettingsDialogs::表示(QPointer<Dialog>& slot, Dialog& dialog, bool modal) {
    if (dialog.isVisible()) {
        dialog.raise();
        dialog.activateWindow();
        return;
    }
    // Closed is gone: the slot lets go at once, the object goes once its events are done.
    QObject::connect(
        &dialog, &QDialog::finished, &dialog,
        [&slot, d = &dialog] {
            if (slot == d)
                slot = nullptr;
            d->deleteLater();
        },
        Qt::SingleShotConnection);
    if (modal)
        dialog.exec();
    else
        dialog.show();
}

} // namespace kelvo
