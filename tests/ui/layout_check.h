#pragma once

#include <QStringList>

class QWidget;

namespace kelvo::test {

// What a user would see as broken in a shown window: a label, button, check box, option
// button, text box or tab whose text does not fit the room it was given, a widget that
// sticks out of its parent or overlaps a sibling, a window smaller than its layout needs.
// One line per fault, naming the widget by its path of object names.
QStringList layoutProblems(QWidget* window);

} // namespace kelvo::test
