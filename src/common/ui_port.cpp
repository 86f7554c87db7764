// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui_port.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace kelvo {

// Qt's own message box wraps every line wider than about 500 pixels. This one breaks lines
// only where the text does (CR LF) and grows to its longest line; only a line wider than the
// screen is wrapped.
MsgResult QtUiPort::messageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                               const QString& title) {
    QDialog box(owner);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowTitle(title);
    auto* message = new QLabel(&box);
    message->setObjectName(QStringLiteral("message"));
    // Outside text (subjects, paths) is shown as it is, never read as markup.
    message->setTextFormat(Qt::PlainText);
    message->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const bool question = buttons == MsgButtons::YesNo;
    auto* answers = new QDialogButtonBox(
        question ? (QDialogButtonBox::Yes | QDialogButtonBox::No) : QDialogButtonBox::Ok, &box);
    answers->setCenterButtons(
        box.style()->styleHint(QStyle::SH_MessageBox_CenterButtons, nullptr, &box));
    // Yes and OK accept; No, Esc and the close box reject.
    QObject::connect(answers, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(answers, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* column = new QVBoxLayout(&box);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addWidget(message);
    column->addWidget(answers);

    const QScreen* screen = owner ? owner->screen() : box.screen();
    const QMargins margins = column->contentsMargins();
    const int room = screen->availableGeometry().width() - margins.left() - margins.right();
    if (message->sizeHint().width() > room) {
        message->setWordWrap(true);
        message->setFixedWidth(room);
    }
    const bool accepted = box.exec() == QDialog::Accepted;
    if (!question)
        return MsgResult::Ok;
    return accepted ? MsgResult::Yes : MsgResult::No;
}

void QtUiPort::beep() { QApplication::beep(); }

bool QtUiPort::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace kelvo
