// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/password_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvo {

PasswordDialog::PasswordDialog(const QString& profileName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("passwordDialog"));
    setWindowTitle(QStringLiteral("パスワードの保存"));
    auto* prompt = new QLabel(this);
    // A profile name is shown as it is, never read as markup.
    prompt->setTextFormat(Qt::PlainText);
    prompt->setText(
        QStringLiteral("プロファイル「%1」のパスワードを入力してください。").arg(profileName));
    password = new QLineEdit(this);
    password->setEchoMode(QLineEdit::Password);
    auto* answers = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    answers->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    answers->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    connect(answers, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(answers, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addWidget(prompt);
    column->addWidget(password);
    column->addWidget(answers);
}

std::optional<QString> askPassword(const QString& profileName, QWidget* parent) {
    PasswordDialog dialog(profileName, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.password->text();
}

} // namespace kelvo
