// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "selftest/self_test_dialog.h"

#include "common/error_trap.h"
#include "common/ui_port.h"
#include "engine/engine_context.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QVBoxLayout>

namespace kelvo {
namespace {

QLabel* ラベル(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromUtf8(name));
    return l;
}

QRadioButton* 選択肢(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QRadioButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

QPushButton* ボタン(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    // Enter presses nothing, as in the rest of the program.
    b->setAutoDefault(false);
    return b;
}

} // namespace

SelfTestDialog::SelfTestDialog(const SelfTestContext& context, QWidget* parent)
    : QDialog(parent), c(context) {
    setObjectName(QStringLiteral("testform"));
    setWindowTitle(QStringLiteral("自動転送のテスト"));
    部品作成();
    // As the dialog loads, before it is shown.
    中央に配置();
}

void SelfTestDialog::部品作成() {
    auto* page = new QVBoxLayout(this);

    Frame1 = new QGroupBox(
        QStringLiteral("実施するテストを選んで、「テスト実行」ボタンを押してください・"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1);
    const auto row = [&](int r, QLabel*& number, QRadioButton*& option) {
        grid->addWidget(number, r, 0);
        grid->addWidget(option, r, 1);
    };
    Label1 = ラベル("Label1", QStringLiteral("①"), Frame1);
    op新着メールチェック =
        選択肢("op新着メールチェック", QStringLiteral("新着メールのチェック"), Frame1);
    Label2 = ラベル("Label2", QStringLiteral("②"), Frame1);
    opメール転送 = 選択肢("opメール転送", QStringLiteral("メール転送のテスト"), Frame1);
    Label3 = ラベル("Label3", QStringLiteral("③"), Frame1);
    op回線切断 =
        選択肢("op回線切断", QStringLiteral("ダイヤルアップユーザー用の回線切断のテスト"), Frame1);
    Label4 = ラベル("Label4", QStringLiteral("④"), Frame1);
    op電源OFFテスト =
        選択肢("op電源OFFテスト", QStringLiteral("パソコンの電源OFFのテスト"), Frame1);
    row(0, Label1, op新着メールチェック);
    row(1, Label2, opメール転送);
    row(2, Label3, op回線切断);
    row(3, Label4, op電源OFFテスト);
    grid->setColumnStretch(1, 1);
    page->addWidget(Frame1);

    Label6 = ラベル("Label6",
                    QStringLiteral("※ダイヤルアップ用自動転送システムを使用する方は、"
                                   "必ず③のテストを実行してください。"),
                    this);
    Label5 = ラベル("Label5",
                    QStringLiteral("※LAN（常時接続）の方は、①、②のテストが自動で実行できることを"
                                   "確認してください。"),
                    this);
    page->addWidget(Label6);
    page->addWidget(Label5);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttonテスト = ボタン("buttonテスト", QStringLiteral("テスト実行"), this);
    CancelButton = ボタン("CancelButton", QStringLiteral("ｷｬﾝｾﾙ"), this);
    buttons->addWidget(buttonテスト);
    buttons->addWidget(CancelButton);
    page->addLayout(buttons);

    connect(buttonテスト, &QPushButton::clicked, this, [this] { buttonテスト_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
}

void SelfTestDialog::中央に配置() {
    adjustSize();
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        const QSize room = area.size() - size();
        move(area.x() + room.width() / 2, area.y() + room.height() / 2);
    }
}

void SelfTestDialog::CancelButton_Click() {
    reject();
}

void SelfTestDialog::reject() {
    // A test waits with window events running; closing under it would leave it half done.
    if (!実行中)
        QDialog::reject();
}

void SelfTestDialog::buttonテスト_Click() {
    // A second click during a test's waits must not start another test inside it.
    if (実行中)
        return;
    実行中 = true;
    buttonテスト->setEnabled(false);
    CancelButton->setEnabled(false);
    const auto ended = qScopeGuard([this] {
        実行中 = false;
        buttonテスト->setEnabled(true);
        CancelButton->setEnabled(true);
    });
    // Whatever a test meets ends as one error line; Kelvo goes on.
    エラートラップ(c.engine.画面, [this] { 選択したテスト(); });
}

void SelfTestDialog::選択したテスト() {
    if (op新着メールチェック->isChecked())
        新着メールチェックテスト();
    else if (opメール転送->isChecked())
        メール転送テスト();
    else if (op回線切断->isChecked())
        回線切断テスト();
    else if (op電源OFFテスト->isChecked())
        電源OFFテスト();
    else
        お知らせ(QStringLiteral("テストする項目を選択してください。"));
}

bool SelfTestDialog::確認(const QString& text) {
    return c.ui.messageBox(this, text, MsgButtons::YesNo, kAppTitle) == MsgResult::Yes;
}

void SelfTestDialog::お知らせ(const QString& text) {
    c.ui.messageBox(this, text, MsgButtons::Ok, kAppTitle);
}

void SelfTestDialog::パネル(const QString& text) {
    c.engine.画面.setPanelText(kPanel次の接続まで, text);
}

} // namespace kelvo
