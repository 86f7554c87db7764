// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "layout_check.h"

#include "settings/number_box.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTextLayout>
#include <QWidget>

namespace kelvo::test {
namespace {

// Qt's own parts of composite widgets (scroll area viewports, tool bar extensions, ...).
bool isQtInternal(const QWidget* w) {
    return w->objectName().startsWith(QLatin1String("qt_"));
}

QString nameOf(const QWidget* w) {
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    if (const auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty())
        name += QStringLiteral(" \"%1\"").arg(label->text());
    else if (const auto* button = qobject_cast<const QAbstractButton*>(w);
             button && !button->text().isEmpty())
        name += QStringLiteral(" \"%1\"").arg(button->text());
    return name;
}

QString pathOf(const QWidget* w, const QWidget* window) {
    QStringList parts;
    for (; w && w != window; w = w->parentWidget())
        parts.prepend(nameOf(w));
    parts.prepend(nameOf(window));
    return parts.join(QStringLiteral(" / "));
}

QString sizeText(QSize s) {
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

bool fits(QSize need, QSize room) {
    return need.width() <= room.width() && need.height() <= room.height();
}

// The room a push button's text needs: the text, the style's button margin (both sides
// together) and frame, as Qt's common style measures it. A push button's size hint also holds
// the style's minimum width, which a small "..." button may well go below without hiding
// anything.
QSize pushButtonNeed(const QPushButton* b) {
    const QStyle* style = b->style();
    const QSize text = b->fontMetrics().size(Qt::TextShowMnemonic, b->text());
    int width = text.width() + style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    if (!b->icon().isNull())
        width += b->iconSize().width() + 4;
    return {width, qMin(b->sizeHint().height(), text.height() + 4)};
}

// The room a text box needs for the given text: the text, Qt's fixed side margin and the
// frame.
int lineEditNeed(const QLineEdit* e, const QString& text) {
    const QMargins m = e->textMargins();
    const int frame =
        e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e) : 0;
    return e->fontMetrics().horizontalAdvance(text) + 2 * 2 + m.left() + m.right() + 2 * frame;
}

// The widest number the up-down beside a number box can write into it.
QString widestNumber(const QLineEdit* box, const QWidget* window) {
    for (const UpDown* u : window->findChildren<UpDown*>()) {
        if (u->buddy() == box)
            return QString::number(qMax(qAbs(u->maximum()), qAbs(u->minimum())));
    }
    return {};
}

void checkText(QWidget* w, QWidget* window, QStringList& out) {
    const QSize room = w->size();
    auto report = [&](const QString& what, QSize need) {
        out << QStringLiteral("%1: %2 needs %3, has %4")
                   .arg(pathOf(w, window), what, sizeText(need), sizeText(room));
    };
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QSize need =
            label->wordWrap() ? QSize(0, label->heightForWidth(room.width())) : label->sizeHint();
        if (!fits(need, room))
            report(QStringLiteral("text"), need);
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
        if (!fits(pushButtonNeed(push), room))
            report(QStringLiteral("caption"), pushButtonNeed(push));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        // Arrow buttons (an up-down's halves) carry no text to fit.
        if (!button->text().isEmpty() && !fits(button->sizeHint(), room))
            report(QStringLiteral("caption"), button->sizeHint());
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QSize need(0, edit->sizeHint().height());
        // A number box shows every number its up-down allows; other boxes scroll their text.
        if (qobject_cast<NumberBox*>(edit)) {
            need.setWidth(qMax(lineEditNeed(edit, widestNumber(edit, window)),
                               lineEditNeed(edit, edit->text())));
        }
        if (!fits(need, room))
            report(QStringLiteral("text box"), need);
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            const QRect r = tabs->tabRect(i);
            const int textWidth = tabs->fontMetrics().horizontalAdvance(tabs->tabText(i));
            if (!tabs->rect().contains(r) || r.width() < textWidth)
                out << QStringLiteral("%1: tab \"%2\" at %3,%4 %5 in a bar of %6")
                           .arg(pathOf(w, window), tabs->tabText(i))
                           .arg(r.x())
                           .arg(r.y())
                           .arg(sizeText(r.size()), sizeText(room));
        }
    }
    if (w->layout() && !fits(w->minimumSizeHint(), room))
        report(QStringLiteral("layout"), w->minimumSizeHint());
}

// The children a user sees: shown, part of this window, not Qt's own.
QList<QWidget*> shownChildren(QWidget* parent, QWidget* window) {
    QList<QWidget*> out;
    for (QWidget* c : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!c->isWindow() && c->isVisibleTo(window) && !isQtInternal(c))
            out << c;
    }
    return out;
}

void checkChildren(QWidget* parent, QWidget* window, QStringList& out) {
    const QList<QWidget*> children = shownChildren(parent, window);
    for (int i = 0; i < children.size(); ++i) {
        QWidget* a = children[i];
        if (!parent->rect().contains(a->geometry()))
            out << QStringLiteral("%1: at %2,%3 %4 sticks out of its parent (%5)")
                       .arg(pathOf(a, window))
                       .arg(a->x())
                       .arg(a->y())
                       .arg(sizeText(a->size()), sizeText(parent->size()));
        for (int j = i + 1; j < children.size(); ++j) {
            QWidget* b = children[j];
            if (a->geometry().intersects(b->geometry()))
                out << QStringLiteral("%1 overlaps %2").arg(pathOf(a, window), pathOf(b, window));
        }
        checkText(a, window, out);
        checkChildren(a, window, out);
    }
}

} // namespace

LaidOutText laidOut(const QLabel* label) {
    // Lines end at the text's line breaks and, in a word-wrapped label, at its width.
    QString text = label->text();
    text.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(text, label->font());
    QTextOption option;
    option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);
    const QRect room = label->contentsRect();
    LaidOutText out;
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label->wordWrap() ? room.width() : 1e6);
        ++out.lines;
        height += line.height();
        out.clipped = out.clipped || line.naturalTextWidth() > room.width();
    }
    layout.endLayout();
    out.clipped = out.clipped || height > room.height() + 0.5;
    return out;
}

QStringList layoutProblems(QWidget* window) {
    QStringList out;
    if (window->layout() && !fits(window->minimumSizeHint(), window->size()))
        out << QStringLiteral("%1: window of %2 is smaller than its layout's %3")
                   .arg(nameOf(window), sizeText(window->size()),
                        sizeText(window->minimumSizeHint()));
    checkChildren(window, window, out);
    return out;
}

} // namespace kelvo::test
