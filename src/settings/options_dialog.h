// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/settings_dialog.h"

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;

namespace kelvo {

class NumberBox;
class UpDown;

// "オプション": every setting outside the phone's own, on five pages under a tab strip.
// Constructing it is loading it: it reads the settings file and fills its controls.
class OptionsDialog : public SettingsDialog {
    Q_OBJECT
public:
    OptionsDialog(const DialogContext& context, QWidget* parent = nullptr);

    // Called after a successful schedule step so that a running schedule sees the new days.
    std::function<void()> 曜日フラグ再作成;

    void Form_Load();
    void タブストリップ_Click();
    void Command1_Click();
    // The tab strip at the dialog's top left corner, where the main window's start-up puts it.
    void タブストリップを左上へ();

    // Enabling rules; on opening some of them do a little more.
    void chkアドレス帳_Click();
    void chk差出人_Click();
    void chkマルチアカウント_Click();
    void chkスケジュールフラグ_Click(bool opening = false);
    void chk自動終了フラグ_Click(bool opening = false);

    QTabBar* タブストリップ = nullptr;
    QStackedWidget* ページ = nullptr;
    std::array<QWidget*, 5> タブ{};

    // 基本設定
    NumberBox* txtチェック間隔 = nullptr;
    UpDown* updnチェック間隔 = nullptr;
    NumberBox* txt分割文字数 = nullptr;
    UpDown* updn分割文字数 = nullptr;
    QCheckBox* chk自動分割 = nullptr;
    NumberBox* txt最大分割数 = nullptr;
    UpDown* updn最大分割数 = nullptr;
    QGroupBox* frame同時接続 = nullptr;
    QRadioButton* op同時接続はい = nullptr;
    QRadioButton* op同時接続いいえ = nullptr;
    QCheckBox* chkダイヤルアップ = nullptr;

    // 転送メールの内容
    QGroupBox* Frame1 = nullptr;
    QRadioButton* op差出人メールはい = nullptr;
    QRadioButton* op差出人メールいいえ = nullptr;
    QGroupBox* frame宛先フラグ = nullptr;
    QRadioButton* op宛先はい = nullptr;
    QRadioButton* op宛先いいえ = nullptr;
    QGroupBox* frameCCフラグ = nullptr;
    QRadioButton* opCCはい = nullptr;
    QRadioButton* opCCいいえ = nullptr;
    QGroupBox* frame添付フラグ = nullptr;
    QRadioButton* op添付はい = nullptr;
    QRadioButton* op添付いいえ = nullptr;
    QGroupBox* Frame改行 = nullptr;
    QRadioButton* op改行はい = nullptr;
    QRadioButton* op改行いいえ = nullptr;

    // 転送ルール
    QCheckBox* chkアドレス帳 = nullptr;
    QGroupBox* frameアドレス帳 = nullptr;
    QRadioButton* opアドレス帳はい = nullptr;
    QRadioButton* opアドレス帳いいえ = nullptr;
    QCheckBox* chk差出人 = nullptr;
    QGroupBox* frame差出人 = nullptr;
    QRadioButton* op差出人はい = nullptr;
    QRadioButton* op差出人いいえ = nullptr;
    QGroupBox* frame差出人リスト = nullptr;
    std::array<QLineEdit*, 10> しない{};
    QLineEdit* txt件名フィルタ = nullptr;

    // マルチアカウント
    QCheckBox* chkマルチアカウント = nullptr;
    QGroupBox* frameマルチアカウント = nullptr;
    std::array<QCheckBox*, 3> chkアカウント{};
    std::array<QLineEdit*, 3> txtマルチ宛先{};
    std::array<QLineEdit*, 3> txtマルチ転送先{};

    // その他
    QCheckBox* chkスケジュールフラグ = nullptr;
    QGroupBox* Frameスケジュール = nullptr;
    std::array<QCheckBox*, 7> chk曜日{};
    NumberBox* txtスケジュール開始時 = nullptr;
    NumberBox* txtスケジュール開始分 = nullptr;
    NumberBox* txtスケジュール終了時 = nullptr;
    NumberBox* txtスケジュール終了分 = nullptr;
    UpDown* updn開始時 = nullptr;
    UpDown* updn開始分 = nullptr;
    UpDown* updn終了時 = nullptr;
    UpDown* updn終了分 = nullptr;
    QCheckBox* chk自動終了フラグ = nullptr;
    QGroupBox* Frame自動終了 = nullptr;
    NumberBox* txt切断時間 = nullptr;
    UpDown* updn切断時間 = nullptr;
    QCheckBox* chk電源OFF = nullptr;
    QCheckBox* chkログ = nullptr;
    QLineEdit* txtログファイルパス = nullptr;
    QPushButton* Command1 = nullptr;
    QCheckBox* chkプロファイル = nullptr;
    QLineEdit* txtプロファイル名 = nullptr;

    QPushButton* cmdCancel = nullptr;

protected:
    ApplyResult 適用() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building the pages (options_pages.cpp).
    void 部品作成();
    QWidget* 基本設定ページ();
    QWidget* 転送内容ページ();
    QWidget* 転送ルールページ();
    QWidget* マルチアカウントページ();
    QWidget* その他ページ();

    // Steps of the apply step that can stop it.
    bool 数値確認(const QString& text, double min, double max, const QString& message,
                  const QString& hint);
    void 差出人ルール保存();
    void マルチアカウント保存();
    bool 自動終了保存(const QString& hours);
    bool スケジュール保存();
};

using オプション = OptionsDialog;

} // namespace kelvo
