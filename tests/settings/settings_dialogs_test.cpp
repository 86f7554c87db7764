// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_dialogs.h"

#include "dialog_fixture.h"
#include "modal_helper.h"
#include "settings/number_box.h"
#include "settings/options_dialog.h"
#include "settings/phone_dialog.h"

#include <QCheckBox>

#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>

namespace kelvo {
namespace {

class SettingsDialogsTest : public test::DialogTest {
protected:
    QMainWindow owner;
};

TEST_F(SettingsDialogsTest, OptionsLoadWithoutShowingAndTheFirstShowUsesThatLoad) {
    SettingsDialogs dialogs(context(), &owner);
    EXPECT_FALSE(dialogs.オプション読込済());
    OptionsDialog& loaded = dialogs.オプション();
    loaded.タブストリップを左上へ();
    EXPECT_FALSE(loaded.isVisible());
    EXPECT_EQ(loaded.parentWidget(), &owner);
    EXPECT_EQ(&dialogs.オプション(), &loaded);
    // The file changes after the load; the loaded dialog keeps what it loaded.
    store("基本設定", "メールチェック間隔", QStringLiteral("7"));

    QString shownInterval;
    bool modal = false;
    test::whenModal<OptionsDialog>([&](OptionsDialog* d) {
        shownInterval = d->txtチェック間隔->text();
        modal = d->isModal();
        d->cmdCancel->click();
    });
    QPointer<OptionsDialog> watch(&loaded);
    dialogs.オプション表示();
    EXPECT_TRUE(modal);
    EXPECT_EQ(shownInterval, QStringLiteral("30"));
    EXPECT_FALSE(dialogs.オプション読込済());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    // The next request loads afresh.
    EXPECT_EQ(dialogs.オプション().txtチェック間隔->text(), QStringLiteral("7"));
}

TEST_F(SettingsDialogsTest, ScheduleDaysReachTheScheduleAfterAnApply) {
    SettingsDialogs dialogs(context(), &owner);
    int rebuilt = 0;
    dialogs.曜日フラグ再作成 = [&] { ++rebuilt; };
    OptionsDialog& d = dialogs.オプション();
    d.chkスケジュールフラグ->setChecked(true);
    d.chk曜日[3]->setChecked(true);
    d.cmdApply->click();
    EXPECT_EQ(rebuilt, 1);
}

TEST_F(SettingsDialogsTest, PhoneDialogIsReadableUnshownAndShowsModalOrNot) {
    store("携帯電話の設定", "メールアドレス", QStringLiteral("phone.docomo.ne.jp"));
    SettingsDialogs dialogs(context(), &owner);
    PhoneDialog& phone = dialogs.携帯電話の設定();
    EXPECT_FALSE(phone.isVisible());
    EXPECT_FALSE(phone.txtメールアドレス->text().contains(u'@'));

    dialogs.携帯電話の設定表示(false);
    EXPECT_TRUE(phone.isVisible());
    EXPECT_FALSE(phone.isModal());
    EXPECT_EQ(&dialogs.携帯電話の設定(), &phone);
    phone.CancelButton->click();
    EXPECT_FALSE(dialogs.携帯電話の設定読込済());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    bool modal = false;
    test::whenModal<PhoneDialog>([&](PhoneDialog* d) {
        modal = d->isModal();
        d->txtリスト件数->setText(QStringLiteral("12"));
        d->cmdOK->click();
    });
    dialogs.携帯電話の設定表示(true);
    EXPECT_TRUE(modal);
    EXPECT_EQ(stored().リスト取得数, QStringLiteral("12"));
    EXPECT_FALSE(dialogs.携帯電話の設定読込済());
}

} // namespace
} // namespace kelvo
