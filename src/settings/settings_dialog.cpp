// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_dialog.h"

#include "common/rounded_outline.h"
#include "common/ui_port.h"
#include "common/window_port.h"
#include "settings/number_box.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace kelvo {
namespace {

const FileFilter kTextFiles{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.TXT)"), QStringLiteral("*.txt")};

} // namespace

SettingsDialog::SettingsDialog(const DialogContext& context, QWidget* parent)
    : QDialog(parent), 設定(context.設定), 既定ディレクトリ(context.既定ディレクトリ),
      ui(context.ui) {
    角丸ウィンドウ(this);
}

QBoxLayout* SettingsDialog::ボタン行(const QString& cancelName) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto button = [&](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        // Enter in a box types nothing and presses nothing, as in the rest of the program.
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    cmdOK = button(QStringLiteral("OK"), QStringLiteral("cmdOK"));
    キャンセル = button(QStringLiteral("ｷｬﾝｾﾙ"), cancelName);
    cmdApply = button(QStringLiteral("適用"), QStringLiteral("cmdApply"));
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(キャンセル, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdApply, &QPushButton::clicked, this, [this] { cmdApply_Click(); });
    return row;
}

QHBoxLayout* SettingsDialog::横並び(std::initializer_list<QWidget*> widgets) {
    auto* r = new QHBoxLayout;
    for (QWidget* w : widgets)
        r->addWidget(w);
    r->addStretch();
    return r;
}

NumberBox* SettingsDialog::数字欄(const char* name, const char* upDownName, int min, int max,
                                  int digits, UpDown*& upDown) {
    auto* box = new NumberBox(ui, this);
    box->setObjectName(QString::fromUtf8(name));
    box->setFixedWidth(fontMetrics().horizontalAdvance(u'0') * digits + 12);
    upDown = new UpDown(box, min, max, this);
    upDown->setObjectName(QString::fromUtf8(upDownName));
    return box;
}

QPushButton* SettingsDialog::参照ボタン(QWidget* parent, std::function<void()> handler) {
    auto* b = new QPushButton(QStringLiteral("..."), parent);
    b->setObjectName(QStringLiteral("Command1"));
    b->setAutoDefault(false);
    b->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    connect(b, &QPushButton::clicked, this, std::move(handler));
    return b;
}

ApplyResult SettingsDialog::cmdApply_Click() {
    return 適用();
}

void SettingsDialog::cmdOK_Click() {
    if (適用() != ApplyResult::SaveFailed)
        accept();
}

void SettingsDialog::お知らせ(const QString& text) {
    ui.messageBox(this, text, MsgButtons::Ok, kAppTitle);
}

void SettingsDialog::お知らせ(const QString& first, const QString& second) {
    お知らせ(first + QStringLiteral("\r\n") + second);
}

QString SettingsDialog::保存ダイアログ表示() {
    return ファイル選択 ? ファイル選択(this, kTextFiles, 設定.ログファイルパス) : QString();
}

void SettingsDialog::ファイルを選んで入れる(QLineEdit* box) {
    const QString path = 保存ダイアログ表示();
    if (!path.isEmpty())
        box->setText(QDir::toNativeSeparators(path));
}

void SettingsDialog::全設定読込() {
    設定読込(設定, 既定ディレクトリ);
}

ApplyResult SettingsDialog::全設定書込() {
    QString reason;
    if (!設定書込(設定, &reason)) {
        const QString file = QDir::toNativeSeparators(設定.設定ファイルパス);
        if (!reason.contains(file))
            reason = file + QStringLiteral("：") + reason;
        お知らせ(QStringLiteral("設定を保存できませんでした。"), reason);
        return ApplyResult::SaveFailed;
    }
    全設定読込();
    return ApplyResult::Saved;
}

int SettingsDialog::twips(int value) const {
    return value * logicalDpiX() / 1440;
}

void SettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (配置済)
        return;
    配置済 = true;
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

} // namespace kelvo
