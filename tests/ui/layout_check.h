// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>

class QLabel;
class QWidget;

namespace kelvo::test {

// What a user would see as broken in a shown window: a label, button, check box, option
// button, text box or tab whose text does not fit the room it was given, a widget that
// sticks out of its parent or overlaps a sibling, a window smaller than its layout needs.
// One line per fault, naming the widget by its path of object names.
QStringList layoutProblems(QWidget* window);

// How many lines the label's text takes at the label's present width, and whether they all
// fit inside it.
struct LaidOutText {
    int lines = 0;
    bool clipped = false;
};
LaidOutText laidOut(const QLabel* label);

} // namespace kelvo::test
