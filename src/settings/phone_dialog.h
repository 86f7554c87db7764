// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/settings_dialog.h"

class QLineEdit;
class QRadioButton;
class QPushButton;

namespace kelvo {

class NumberBox;
class UpDown;

// "携帯端末の設定": the phone's address, how the phone's list command is answered and what
// its finish command does. Constructing it is loading it: it reads the settings file and
// fills its boxes, so the address box can be read without the dialog being shown.
class PhoneDialog : public SettingsDialog {
    Q_OBJECT
public:
    PhoneDialog(const DialogContext& context, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();

    QLineEdit* txtメールアドレス = nullptr;
    NumberBox* txtリスト件数 = nullptr;
    UpDown* UpDnリスト行数 = nullptr;
    NumberBox* txt端末1行文字数 = nullptr;
    UpDown* updn端末1行文字数 = nullptr;
    QRadioButton* op端末電源OFF = nullptr;
    QRadioButton* opプログラム実行 = nullptr;
    QLineEdit* txtプログラム実行 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    ApplyResult 適用() override;

private:
    void 部品作成();
};

using dialogメールアドレス = PhoneDialog;

} // namespace kelvo
