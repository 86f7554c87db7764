// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// The product's name and version as the windows show them. The version has one source, the
// project version of the build.

inline const QString kProductName = QStringLiteral("Kelvo");

// "3.0"
QString 製品バージョン();

// Digits and the decimal point in their full-width forms ("3.0" gives "３．０"); every other
// character stays as it is.
QString 全角表記(const QString& text);

// "ver3.0", as the start-up window writes it after the product name.
QString スプラッシュ版表記();

// "３．０", as the About window writes it.
QString 全角バージョン();

} // namespace kelvo
