// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/number_box.h"

#include "common/cp932.h"
#include "common/ui_port.h"
#include "settings/settings_record.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kelvo {

qint16 cp932コード(char32_t ch) {
    const auto bytes = toCp932(QString::fromUcs4(&ch, 1));
    if (!bytes || bytes->isEmpty() || bytes->size() > 2)
        return '?';
    const auto byte = [&](int i) { return static_cast<quint8>(bytes->at(i)); };
    if (bytes->size() == 1)
        return byte(0);
    return static_cast<qint16>(static_cast<quint16>(byte(0) << 8 | byte(1)));
}

NumberBox::NumberBox(UiPort& ui, QWidget* parent) : QLineEdit(parent), ui(ui) {}

QString NumberBox::通す文字(const QString& text) {
    QString kept;
    for (char32_t ch : text.toUcs4()) {
        if (数字欄に通す(cp932コード(ch)))
            kept += QString::fromUcs4(&ch, 1);
        else
            ui.beep();
    }
    return kept;
}

void NumberBox::keyPressEvent(QKeyEvent* event) {
    // Shortcuts (Ctrl+V, Ctrl+Z) and keys that type nothing (arrows, Delete) are no typed
    // characters.
    const bool shortcut =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (shortcut || event->text().isEmpty() || event->key() == Qt::Key_Delete) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (通す文字(event->text()) != event->text()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void NumberBox::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    const QString kept = 通す文字(commit);
    if (kept == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->accept();
}

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), 相手(buddy), 最小(minimum), 最大(maximum), 値(minimum) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto arrow = [&](Qt::ArrowType type, int step) {
        auto* b = new QToolButton(this);
        b->setArrowType(type);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        connect(b, &QToolButton::clicked, this, [this, step] { 進める(step); });
        column->addWidget(b);
        return b;
    };
    upButton = arrow(Qt::UpArrow, 1);
    downButton = arrow(Qt::DownArrow, -1);
    setFixedWidth(16);
}

void UpDown::進める(int step) {
    // The box's number, when it has one, is where the arrows go on from.
    const QString text = 相手->text().trimmed();
    if (!text.isEmpty() && text.at(0) >= u'0' && text.at(0) <= u'9')
        値 = static_cast<int>(std::clamp(std::floor(数値(text)), double(最小), double(最大)));
    値 = std::clamp(値 + step, 最小, 最大);
    相手->setText(QString::number(値));
}

} // namespace kelvo
