// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractItemView>

namespace kelvo {

// The monitor list box: one column of lines of equal height, scrolled a line at a time.
// Adding a line costs the same however many lines there are (a list view lays all its items
// out again on every insertion). Its horizontal scroll range is widened by the caller, line
// by line, and never narrows; lines are drawn whole, never cut short with "…".
class MonitorView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit MonitorView(QWidget* parent = nullptr);

    // Widens the horizontal extent to the given pixels, kept within what a scroll bar
    // accepts; a narrower width leaves it as it is.
    void widen(int pixels);
    // Widens it to the whole of the line at the index, as the view draws it.
    void widenTo(const QModelIndex& index);
    int horizontalExtent() const { return 横幅; }

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    int 行数() const;
    int 先頭行() const;
    int 表示行数() const;
    QModelIndex 行(int row) const;

    int 横幅 = 0;
    int 行高 = 1;
};

} // namespace kelvo
