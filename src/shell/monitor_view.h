#pragma once

#include <QListView>

namespace kelvo {

// The monitor list box. Its horizontal scroll range is set by the caller (the extent of the
// line most recently added with widening), not by the widest line.
class MonitorView : public QListView {
    Q_OBJECT
public:
    explicit MonitorView(QWidget* parent = nullptr);

    void setHorizontalExtent(int pixels);
    int horizontalExtent() const { return 横幅; }

protected:
    void updateGeometries() override;

private:
    int 横幅 = 0;
};

} // namespace kelvo
