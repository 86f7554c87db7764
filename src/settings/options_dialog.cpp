// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/options_dialog.h"

#include "settings/narrow_text.h"
#include "settings/number_box.h"
#include "settings/time_of_day.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>

namespace kelvo {
namespace {

constexpr int kWidthTwips = 6200;
constexpr int kHeightTwips = 5950;

void 選択(QRadioButton* yes, QRadioButton* no, const QString& flag) {
    (isOn(flag) ? yes : no)->setChecked(true);
}

// The seven weekday settings, Sunday first.
std::array<QString*, 7> 曜日設定(SettingsRecord& s) {
    return {&s.スケジュール日, &s.スケジュール月, &s.スケジュール火, &s.スケジュール水,
            &s.スケジュール木, &s.スケジュール金, &s.スケジュール土};
}

// The settings of the three multi-account rows.
struct AccountRow {
    QString* 使用;
    QString* 宛先;
    QString* 転送;
};

std::array<AccountRow, 3> アカウント設定(SettingsRecord& s) {
    return {AccountRow{&s.アカウント1, &s.宛先1, &s.転送1},
            AccountRow{&s.アカウント2, &s.宛先2, &s.転送2},
            AccountRow{&s.アカウント3, &s.宛先3, &s.転送3}};
}

} // namespace

OptionsDialog::OptionsDialog(const DialogContext& context, QWidget* parent)
    : SettingsDialog(context, parent) {
    setObjectName(QStringLiteral("オプション"));
    setWindowTitle(QStringLiteral("オプション"));
    部品作成();
    connect(タブストリップ, &QTabBar::currentChanged, this, [this] { タブストリップ_Click(); });
    connect(chkアドレス帳, &QCheckBox::toggled, this, [this] { chkアドレス帳_Click(); });
    connect(chk差出人, &QCheckBox::toggled, this, [this] { chk差出人_Click(); });
    connect(chkマルチアカウント, &QCheckBox::toggled, this,
            [this] { chkマルチアカウント_Click(); });
    connect(chkスケジュールフラグ, &QCheckBox::toggled, this,
            [this] { chkスケジュールフラグ_Click(); });
    connect(chk自動終了フラグ, &QCheckBox::toggled, this, [this] { chk自動終了フラグ_Click(); });
    // Ctrl+Tab is seen before whichever control has the focus gets it.
    qApp->installEventFilter(this);
    Form_Load();
}

void OptionsDialog::Form_Load() {
    resize(twips(kWidthTwips), twips(kHeightTwips));
    全設定読込();

    txtチェック間隔->setText(設定.メールチェック間隔);
    txt分割文字数->setText(設定.分割文字数);
    chk自動分割->setChecked(isOn(設定.自動分割フラグ));
    txt最大分割数->setText(設定.最大分割数);
    選択(op同時接続はい, op同時接続いいえ, 設定.同時接続フラグ);
    chkダイヤルアップ->setChecked(isOn(設定.ダイヤルアップフラグ));

    選択(op差出人メールはい, op差出人メールいいえ, 設定.差出人フラグ);
    選択(op宛先はい, op宛先いいえ, 設定.宛先フラグ);
    選択(opCCはい, opCCいいえ, 設定.CCフラグ);
    選択(op添付はい, op添付いいえ, 設定.添付フラグ);
    選択(op改行はい, op改行いいえ, 設定.改行フラグ);

    chkアドレス帳->setChecked(isOn(設定.アドレス帳フィルタ));
    選択(opアドレス帳はい, opアドレス帳いいえ, 設定.アドレス帳モード);
    chk差出人->setChecked(isOn(設定.差出人フィルタ));
    選択(op差出人はい, op差出人いいえ, 設定.差出人モード);
    for (int i = 0; i < 10; ++i)
        しない[i]->setText(設定.差出人アドレス(i + 1));
    txt件名フィルタ->setText(設定.件名フィルタ);

    chkマルチアカウント->setChecked(isOn(設定.アカウントフィルタ));
    const auto rows = アカウント設定(設定);
    for (int k = 0; k < 3; ++k) {
        chkアカウント[k]->setChecked(isOn(*rows[k].使用));
        if (!rows[k].宛先->isEmpty())
            txtマルチ宛先[k]->setText(*rows[k].宛先);
        if (!rows[k].転送->isEmpty())
            txtマルチ転送先[k]->setText(*rows[k].転送);
    }

    chkスケジュールフラグ->setChecked(isOn(設定.スケジュールフラグ));
    const auto days = 曜日設定(設定);
    for (int d = 0; d < 7; ++d)
        chk曜日[d]->setChecked(isOn(*days[d]));
    txtスケジュール開始時->setText(設定.スケジュール開始時);
    txtスケジュール開始分->setText(設定.スケジュール開始分);
    txtスケジュール終了時->setText(設定.スケジュール終了時);
    txtスケジュール終了分->setText(設定.スケジュール終了分);
    chk自動終了フラグ->setChecked(isOn(設定.自動終了フラグ));
    if (isOn(設定.自動終了フラグ)) {
        txt切断時間->setText(設定.切断時間);
        chk電源OFF->setChecked(isOn(設定.電源OFFフラグ));
    }
    chkログ->setChecked(isOn(設定.ログ出力フラグ));
    txtログファイルパス->setText(設定.ログファイルパス);
    chkプロファイル->setChecked(isOn(設定.プロファイル使用フラグ));
    txtプロファイル名->setText(設定.プロファイル名);

    chkアドレス帳_Click();
    chk差出人_Click();
    chkマルチアカウント_Click();
    chkスケジュールフラグ_Click(true);
    chk自動終了フラグ_Click(true);

    タブストリップ->setCurrentIndex(0);
    タブストリップ_Click();
}

void OptionsDialog::タブストリップ_Click() {
    const int current = タブストリップ->currentIndex();
    ページ->setCurrentIndex(current);
    for (int i = 0; i < static_cast<int>(タブ.size()); ++i)
        タブ[i]->setEnabled(i == current);
}

void OptionsDialog::タブストリップを左上へ() {
    タブストリップ->move(0, 0);
}

void OptionsDialog::chkアドレス帳_Click() {
    frameアドレス帳->setEnabled(chkアドレス帳->isChecked());
}

void OptionsDialog::chk差出人_Click() {
    const bool on = chk差出人->isChecked();
    frame差出人->setEnabled(on);
    frame差出人リスト->setEnabled(on);
}

void OptionsDialog::chkマルチアカウント_Click() {
    const bool on = chkマルチアカウント->isChecked();
    frameマルチアカウント->setEnabled(on);
    for (int k = 0; k < 3; ++k) {
        txtマルチ宛先[k]->setEnabled(on);
        chkアカウント[k]->setEnabled(on);
    }
}

void OptionsDialog::chkスケジュールフラグ_Click(bool opening) {
    const bool on = chkスケジュールフラグ->isChecked();
    Frameスケジュール->setEnabled(on);
    if (on && opening) {
        for (QWidget* box : {txtスケジュール開始時, txtスケジュール開始分, txtスケジュール終了時,
                             txtスケジュール終了分})
            box->setEnabled(true);
    }
}

void OptionsDialog::chk自動終了フラグ_Click(bool opening) {
    const bool on = chk自動終了フラグ->isChecked();
    if (on) {
        Frame自動終了->setEnabled(true);
        if (opening) {
            txt切断時間->setEnabled(true);
            chk電源OFF->setEnabled(true);
        }
        return;
    }
    txt切断時間->clear();
    chk電源OFF->setChecked(false);
    Frame自動終了->setEnabled(false);
}

void OptionsDialog::Command1_Click() {
    ファイルを選んで入れる(txtログファイルパス);
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Tab || key->modifiers() != Qt::ControlModifier)
        return false;
    タブストリップ->setCurrentIndex((タブストリップ->currentIndex() + 1) % タブストリップ->count());
    return true;
}

bool OptionsDialog::数値確認(const QString& text, double min, double max, const QString& message,
                             const QString& hint) {
    const double n = 数値(text);
    if (n >= min && n <= max)
        return true;
    お知らせ(message, hint);
    return false;
}

ApplyResult OptionsDialog::適用() {
    const QString split = 半角変換(txt分割文字数->text());
    const QString parts = 半角変換(txt最大分割数->text());
    const QString interval = 半角変換(txtチェック間隔->text());
    const QString hours = 半角変換(txt切断時間->text());

    if (!数値確認(interval, 0, 3600,
                  QStringLiteral("[基本設定]の ① メールチェック間隔が正しくありません。"),
                  QStringLiteral("0～3600までの数字を入力してください。")))
        return ApplyResult::Stopped;
    設定.メールチェック間隔 = interval;
    if (!数値確認(split, 30, 7000, QStringLiteral("[基本設定]の ② 分割文字数が正しくありません。"),
                  QStringLiteral("50～7000までの数字を入力してください。")))
        return ApplyResult::Stopped;
    設定.分割文字数 = split;
    if (!数値確認(parts, 2, 30, QStringLiteral("[基本設定]の ③ 最大分割数が正しくありません。"),
                  QStringLiteral("2～30までの数字を入力してください。")))
        return ApplyResult::Stopped;
    設定.最大分割数 = parts;

    設定.同時接続フラグ = フラグ(op同時接続はい->isChecked());
    設定.差出人フラグ = フラグ(op差出人メールはい->isChecked());
    設定.宛先フラグ = フラグ(op宛先はい->isChecked());
    設定.CCフラグ = フラグ(opCCはい->isChecked());
    設定.改行フラグ = フラグ(op改行はい->isChecked());
    設定.添付フラグ = フラグ(op添付はい->isChecked());

    設定.件名フィルタ = txt件名フィルタ->text();
    設定.アドレス帳フィルタ = フラグ(chkアドレス帳->isChecked());
    設定.アドレス帳モード = フラグ(opアドレス帳はい->isChecked());
    差出人ルール保存();
    設定.差出人モード = フラグ(op差出人はい->isChecked());

    設定.アカウントフィルタ = フラグ(chkマルチアカウント->isChecked());
    マルチアカウント保存();

    if (!自動終了保存(hours) || !スケジュール保存())
        return ApplyResult::Stopped;

    設定.プロファイル使用フラグ = フラグ(chkプロファイル->isChecked());
    設定.プロファイル名 = txtプロファイル名->text();
    設定.ログ出力フラグ = フラグ(chkログ->isChecked());
    設定.ダイヤルアップフラグ = フラグ(chkダイヤルアップ->isChecked());
    設定.自動分割フラグ = フラグ(chk自動分割->isChecked());
    設定.ログファイルパス = txtログファイルパス->text();
    return 全設定書込();
}

void OptionsDialog::差出人ルール保存() {
    if (chk差出人->isChecked()) {
        qsizetype total = 0;
        for (const QLineEdit* box : しない)
            total += box->text().size();
        if (total > 0) {
            設定.差出人フィルタ = フラグ(true);
            for (int p = 1; p <= 10; ++p) {
                const QString text = しない[p - 1]->text();
                if (!text.isEmpty() && !text.contains(u'@'))
                    お知らせ(
                        QStringLiteral("[転送ルール]のメール差出人のアドレス（%1番目）が不正です。")
                            .arg(p));
            }
        } else {
            お知らせ(QStringLiteral("転送ルールのメール差出人のアドレスが１つも入力されていません。"
                                    "メール差出人による振分機能は無効になります。"));
            設定.差出人フィルタ = フラグ(false);
        }
    } else {
        設定.差出人フィルタ = フラグ(false);
    }
    for (int p = 1; p <= 10; ++p)
        設定.差出人アドレス(p) = しない[p - 1]->text();
}

void OptionsDialog::マルチアカウント保存() {
    const auto rows = アカウント設定(設定);
    const char16_t* const marks[] = {u"１", u"２", u"３"};
    for (int k = 0; k < 3; ++k) {
        const bool addresses =
            txtマルチ転送先[k]->text().contains(u'@') && txtマルチ宛先[k]->text().contains(u'@');
        if (chkアカウント[k]->isChecked() && !addresses) {
            お知らせ(QStringLiteral("メールアドレスが入力されていません。マルチアカウント%"
                                    "1のチェックをはずします。")
                         .arg(QString::fromUtf16(marks[k])));
            chkアカウント[k]->setChecked(false);
        }
        *rows[k].使用 = フラグ(chkアカウント[k]->isChecked());
    }
    for (int k = 0; k < 3; ++k) {
        *rows[k].宛先 = txtマルチ宛先[k]->text();
        *rows[k].転送 = txtマルチ転送先[k]->text();
    }
}

bool OptionsDialog::自動終了保存(const QString& hours) {
    if (!chk自動終了フラグ->isChecked()) {
        設定.自動終了フラグ = フラグ(false);
        設定.切断時間 = hours;
        設定.電源OFFフラグ = フラグ(false);
        return true;
    }
    if (!数値確認(hours, 1, 400, QStringLiteral("[その他]の 終了時刻が正しくありません。"),
                  QStringLiteral("0～400までの数字を入力してください。")))
        return false;
    設定.自動終了フラグ = フラグ(true);
    設定.切断時間 = hours;
    設定.電源OFFフラグ = フラグ(chk電源OFF->isChecked());
    return true;
}

bool OptionsDialog::スケジュール保存() {
    if (!chkスケジュールフラグ->isChecked()) {
        設定.スケジュールフラグ = フラグ(false);
        return true;
    }
    const auto from = 時刻(txtスケジュール開始時->text(), txtスケジュール開始分->text());
    const auto to = 時刻(txtスケジュール終了時->text(), txtスケジュール終了分->text());
    if (!from || !to || !(*to > *from)) {
        お知らせ(QStringLiteral("[その他]の 開始/停止時刻が正しくありません。"),
                 QStringLiteral("正しい時刻を入力してください。"));
        return false;
    }
    設定.スケジュールフラグ = フラグ(true);
    設定.スケジュール開始時 = txtスケジュール開始時->text();
    設定.スケジュール開始分 = txtスケジュール開始分->text();
    設定.スケジュール終了時 = txtスケジュール終了時->text();
    設定.スケジュール終了分 = txtスケジュール終了分->text();
    const auto days = 曜日設定(設定);
    bool any = false;
    for (int d = 0; d < 7; ++d) {
        *days[d] = フラグ(chk曜日[d]->isChecked());
        any = any || chk曜日[d]->isChecked();
    }
    if (!any) {
        お知らせ(QStringLiteral("スケジュールの曜日がチェックされていません。"),
                 QStringLiteral("日～土までの少なくとも１つチェックして下さい。"));
        return false;
    }
    if (曜日フラグ再作成)
        曜日フラグ再作成();
    return true;
}

} // namespace kelvo
