// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QList>

namespace kelvo {

// The toolbar's pictures, numbered 1 to 7 as the buttons and modes refer to them:
// 1 start, 2 stop, 3 phone, 4 properties, 5 help, 6 start (unavailable), 7 stop (unavailable).
// Index 0 is an empty icon.
QList<QIcon> toolbarImages();

} // namespace kelvo
