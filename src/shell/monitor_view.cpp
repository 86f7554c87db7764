// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/monitor_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace kelvo {

MonitorView::MonitorView(QWidget* parent) : QAbstractItemView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTextElideMode(Qt::ElideNone);
}

void MonitorView::widen(int pixels) {
    constexpr int kMaxExtent = 1'000'000;
    const int extent = std::min(pixels, kMaxExtent);
    if (extent <= 横幅)
        return;
    横幅 = extent;
    updateGeometries();
}

void MonitorView::widenTo(const QModelIndex& index) {
    // The delegate measures the line with the font and margins it draws it with.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    widen(itemDelegateForIndex(index)->sizeHint(option, index).width());
}

int MonitorView::行数() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int MonitorView::先頭行() const {
    return verticalScrollBar()->value();
}

int MonitorView::表示行数() const {
    return std::max(1, viewport()->height() / 行高);
}

QModelIndex MonitorView::行(int row) const {
    return row >= 0 && row < 行数() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

QRect MonitorView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.column() != 0 || index.parent() != rootIndex())
        return {};
    return QRect(-horizontalOffset(), (index.row() - 先頭行()) * 行高,
                 std::max(横幅, viewport()->width()), 行高);
}

void MonitorView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const int row = index.row();
    const int shown = 表示行数();
    int first = 先頭行();
    switch (hint) {
    case PositionAtTop:
        first = row;
        break;
    case PositionAtBottom:
        first = row - shown + 1;
        break;
    case PositionAtCenter:
        first = row - shown / 2;
        break;
    case EnsureVisible:
        if (row < first)
            first = row;
        else if (row >= first + shown)
            first = row - shown + 1;
        break;
    }
    verticalScrollBar()->setValue(first);
}

QModelIndex MonitorView::indexAt(const QPoint& point) const {
    if (point.y() < 0)
        return {};
    return 行(先頭行() + point.y() / 行高);
}

QModelIndex MonitorView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int count = 行数();
    if (count == 0)
        return {};
    int row = currentIndex().isValid() ? currentIndex().row() : 0;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= 表示行数();
        break;
    case MovePageDown:
        row += 表示行数();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    default:
        break;
    }
    return 行(std::clamp(row, 0, count - 1));
}

int MonitorView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int MonitorView::verticalOffset() const {
    return 先頭行() * 行高;
}

bool MonitorView::isIndexHidden(const QModelIndex&) const {
    return false;
}

void MonitorView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int last = 行数() - 1;
    if (last < 0)
        return;
    const QRect r = rect.normalized();
    const int top = std::clamp(先頭行() + std::max(0, r.top()) / 行高, 0, last);
    const int bottom = std::clamp(先頭行() + std::max(0, r.bottom()) / 行高, 0, last);
    selectionModel()->select(QItemSelection(行(top), 行(bottom)), command);
}

QRegion MonitorView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const int top = std::max(range.top(), 先頭行());
        const int bottom = std::min(range.bottom(), 先頭行() + 表示行数());
        if (top <= bottom)
            region += visualRect(行(top)).united(visualRect(行(bottom)));
    }
    return region;
}

void MonitorView::updateGeometries() {
    // Every line is as high as the first; a line of the font when there is none yet.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    行高 = 行数() > 0 ? itemDelegateForIndex(行(0))->sizeHint(option, 行(0)).height()
                      : option.fontMetrics.height();
    行高 = std::max(1, 行高);
    const int shown = 表示行数();
    // A view showing the newest line keeps showing it when the lines or its size change.
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    bar->setSingleStep(1);
    bar->setPageStep(shown);
    bar->setRange(0, std::max(0, 行数() - shown));
    if (atEnd)
        bar->setValue(bar->maximum());
    const int width = viewport()->width();
    horizontalScrollBar()->setSingleStep(std::max(1, 行高));
    horizontalScrollBar()->setPageStep(width);
    horizontalScrollBar()->setRange(0, std::max(0, 横幅 - width));
    QAbstractItemView::updateGeometries();
}

void MonitorView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int first = std::max(先頭行() + area.top() / 行高, 0);
    const int last = std::min(先頭行() + area.bottom() / 行高, 行数() - 1);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State base = option.state;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = 行(row);
        option.rect = visualRect(index);
        option.state = base;
        if (selectionModel() && selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == currentIndex() && hasFocus())
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void MonitorView::scrollContentsBy(int, int) {
    // Repainted once when the window next paints, however many lines came meanwhile.
    viewport()->update();
}

void MonitorView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    updateGeometries();
    if (start <= 先頭行() + 表示行数())
        viewport()->update();
}

} // namespace kelvo
