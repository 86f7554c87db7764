// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/phone_dialog.h"

#include "settings/number_box.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kelvo {
namespace {

constexpr int kMinimumAddressLength = 8;

QLabel* label(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

// A command letter the phone sends, set off from the words around it.
QLabel* commandLetter(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

PhoneDialog::PhoneDialog(const DialogContext& context, QWidget* parent)
    : SettingsDialog(context, parent) {
    setObjectName(QStringLiteral("dialogメールアドレス"));
    setWindowTitle(QStringLiteral("携帯端末の設定"));
    部品作成();
    Form_Load();
}

void PhoneDialog::部品作成() {
    auto* page = new QVBoxLayout(this);

    page->addWidget(label(QStringLiteral("① 携帯端末のメールアドレス"), this));
    txtメールアドレス = new QLineEdit(this);
    txtメールアドレス->setObjectName(QStringLiteral("txtメールアドレス"));
    page->addWidget(txtメールアドレス);
    page->addWidget(label(QStringLiteral("（例）xxxxxxxx@docomo.ne.jp"), this));

    txtリスト件数 = 数字欄("txtリスト件数", "UpDnリスト行数", 5, 70, 4, UpDnリスト行数);
    txt端末1行文字数 = 数字欄("txt端末1行文字数", "updn端末1行文字数", 3, 30, 4, updn端末1行文字数);

    page->addSpacing(6);
    page->addLayout(横並び({label(QStringLiteral("②携帯端末よりパソコンへ件名"), this),
                            commandLetter(QStringLiteral(" G"), this),
                            label(QStringLiteral("のメールを送信したとき、"), this)}));
    page->addLayout(
        横並び({label(QStringLiteral("「受信トレイ」から"), this), txtリスト件数, UpDnリスト行数,
                label(QStringLiteral("件のリストを取得する。"), this)}));

    page->addSpacing(6);
    page->addWidget(label(QStringLiteral("③ ②のリスト取得の時、1個の件名につき"), this));
    page->addLayout(横並び({txt端末1行文字数, updn端末1行文字数,
                            label(QStringLiteral("文字分まで取得する。"), this)}));

    page->addSpacing(6);
    page->addLayout(横並び({label(QStringLiteral("④携帯端末から件名"), this),
                            commandLetter(QStringLiteral(" Z"), this),
                            label(QStringLiteral("のメールを受信したとき、"), this)}));
    op端末電源OFF =
        new QRadioButton(QStringLiteral("プログラムを終了し、パソコンの電源を落とす。"), this);
    op端末電源OFF->setObjectName(QStringLiteral("op端末電源OFF"));
    opプログラム実行 = new QRadioButton(QStringLiteral("指定のプログラムを実行"), this);
    opプログラム実行->setObjectName(QStringLiteral("opプログラム実行"));
    auto* group = new QButtonGroup(this);
    group->addButton(op端末電源OFF);
    group->addButton(opプログラム実行);
    page->addWidget(op端末電源OFF);
    page->addWidget(opプログラム実行);
    txtプログラム実行 = new QLineEdit(this);
    txtプログラム実行->setObjectName(QStringLiteral("txtプログラム実行"));
    Command1 = 参照ボタン(this, [this] { Command1_Click(); });
    auto* program = new QHBoxLayout;
    program->addSpacing(20);
    program->addWidget(txtプログラム実行, 1);
    program->addWidget(Command1);
    page->addLayout(program);

    page->addSpacing(6);
    page->addLayout(ボタン行(QStringLiteral("CancelButton")));
    CancelButton = キャンセル;
}

void PhoneDialog::Form_Load() {
    全設定読込();
    txtメールアドレス->setText(設定.メールアドレス);
    txt端末1行文字数->setText(設定.端末1行文字数);
    txtプログラム実行->setText(設定.プログラム名);
    txtリスト件数->setText(設定.リスト取得数);
    if (isOn(設定.端末電源OFF))
        op端末電源OFF->setChecked(true);
    else
        opプログラム実行->setChecked(true);
}

void PhoneDialog::Command1_Click() {
    ファイルを選んで入れる(txtプログラム実行);
}

ApplyResult PhoneDialog::適用() {
    const QString address = txtメールアドレス->text();
    QString reason;
    if (address.size() < kMinimumAddressLength)
        reason = QStringLiteral("①で入力されたメールアドレスが正しくありません");
    else if (!address.contains(u'@'))
        reason = QStringLiteral("メールアドレスにアットマーク「 @ 」 が入力されていません");
    if (!reason.isEmpty())
        お知らせ(reason, QStringLiteral("この設定では、自動転送を開始することはできません！"));

    const double count = 数値(txtリスト件数->text());
    if (count < 5 || count > 70) {
        お知らせ(QStringLiteral("② リストの取得数が正しくありません。"),
                 QStringLiteral("5～70までの数字を入力してください。"));
        return ApplyResult::Stopped;
    }
    設定.リスト取得数 = txtリスト件数->text();

    const double characters = 数値(txt端末1行文字数->text());
    if (characters < 3 || characters > 30) {
        お知らせ(QStringLiteral("③の件名の最大転送文字数が正しくありません"),
                 QStringLiteral("2～30までの数字を入力してください。"));
        return ApplyResult::Stopped;
    }
    設定.端末1行文字数 = txt端末1行文字数->text();
    設定.メールアドレス = address;

    const bool powerOff = op端末電源OFF->isChecked();
    設定.端末電源OFF = フラグ(powerOff);
    設定.端末プログラム実行 = フラグ(!powerOff);
    設定.プログラム名 = txtプログラム実行->text();

    return 全設定書込();
}

} // namespace kelvo
