// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;

namespace kelvo {

// "パスワードの保存": asks once for a profile's password, which then goes into the keyring.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(const QString& profileName, QWidget* parent = nullptr);

    QLineEdit* password = nullptr;
};

// Shows the dialog modally: the password entered, or nothing when the person cancels.
std::optional<QString> askPassword(const QString& profileName, QWidget* parent = nullptr);

} // namespace kelvo
