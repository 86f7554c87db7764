// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_window.h"

#include "about/artwork.h"
#include "about/version_text.h"
#include "about/window_geometry.h"
#include "common/rounded_outline.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace kelvo {
namespace {

const QString kDisclaimer = QStringLiteral(
    "本ソフトウェアは無保証です。使用によって生じたいかなる損害についても、作者は一切の責任を"
    "負いません。携帯電話からの命令メールは差出人のアドレスだけで判断されます。ヘルプの"
    "「注意事項」をお読みください。");
const QString kAuthorLine = QStringLiteral("作者：Kelvo開発チーム");
const QString kWebLine = QStringLiteral("Web：https://kelvo.example.org/");

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("バージョン"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(アイコン画像(48, devicePixelRatioF()));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lblTitle = new QLabel(kProductName + QStringLiteral("バージョン") + 全角バージョン(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblDisclaimer = new QLabel(kDisclaimer, this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = lblDisclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lblDisclaimer->setFont(small);

    Label1 = new QLabel(kAuthorLine, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(kWebLine, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    for (std::size_t i = 0; i < Line1.size(); ++i) {
        Line1[i] = separator(this);
        Line1[i]->setObjectName(QStringLiteral("Line1_%1").arg(i));
    }

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 12);
    grid->addWidget(picIcon, 0, 0, 2, 1);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(Line1[0], 1, 1);
    grid->addWidget(lblDisclaimer, 2, 1);
    grid->addWidget(Line1[1], 3, 0, 1, 2);
    grid->addWidget(Label1, 4, 0, 1, 2);
    grid->addWidget(Label2, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);

    角丸ウィンドウ(this);
    twipsで配置(*this, 6300, 4200);
}

void AboutWindow::cmdOK_Click() {
    close();
}

AboutWindow* AboutOpener::表示() {
    if (!窓) {
        窓 = new AboutWindow;
        窓->setAttribute(Qt::WA_DeleteOnClose);
    }
    窓->show();
    窓->raise();
    窓->activateWindow();
    return 窓;
}

} // namespace kelvo
