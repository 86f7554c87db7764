// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "modal_helper.h"
#include "shell/password_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

QPushButton* buttonOf(PasswordDialog* d, QDialogButtonBox::StandardButton which) {
    return d->findChild<QDialogButtonBox*>()->button(which);
}

} // namespace

TEST(PasswordDialogTest, AsksForTheNamedProfilesPasswordHidingWhatIsTyped) {
    QString caption, prompt;
    whenModal<PasswordDialog>([&](PasswordDialog* d) {
        caption = d->windowTitle();
        prompt = d->findChild<QLabel*>()->text();
        EXPECT_EQ(d->password->echoMode(), QLineEdit::Password);
        d->password->setText(QStringLiteral("s3cret pass"));
        buttonOf(d, QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(askPassword(QStringLiteral("<b>会社</b>")), QStringLiteral("s3cret pass"));
    EXPECT_EQ(caption, QStringLiteral("パスワードの保存"));
    EXPECT_EQ(prompt,
              QStringLiteral("プロファイル「<b>会社</b>」のパスワードを入力してください。"));
}

TEST(PasswordDialogTest, CancelGivesNothing) {
    whenModal<PasswordDialog>([](PasswordDialog* d) {
        d->password->setText(QStringLiteral("typed"));
        EXPECT_EQ(buttonOf(d, QDialogButtonBox::Cancel)->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        buttonOf(d, QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(askPassword(QStringLiteral("p")), std::nullopt);
}
