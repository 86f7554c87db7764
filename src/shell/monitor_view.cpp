#include "shell/monitor_view.h"

#include <QScrollBar>

namespace kelvo {

MonitorView::MonitorView(QWidget* parent) : QListView(parent) {
    setUniformItemSizes(true); // many lines stay cheap
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void MonitorView::setHorizontalExtent(int pixels) {
    横幅 = std::max(0, pixels);
    updateGeometries();
}

void MonitorView::updateGeometries() {
    QListView::updateGeometries();
    const int range = std::max(0, 横幅 - viewport()->width());
    horizontalScrollBar()->setRange(0, range);
    horizontalScrollBar()->setPageStep(viewport()->width());
}

} // namespace kelvo
