// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"

#include <QString>

namespace kelvo {

// Errors the forwarding raises itself, numbered as the original's runtime numbered them.
namespace engerr {
inline constexpr int InvalidArgument = 5; // a value that cannot be used as it is
inline constexpr int OutOfRange = 9;      // a safety limit of a table was reached
inline constexpr int FileCut = 62;        // a file ends inside its last line
// The state file (state.ini) could not be written. Numbered after the mail layer's own.
inline constexpr int StateNotSaved = 32117;

inline KelvoError tableFull(const QString& what) {
    return KelvoError(OutOfRange,
                      QStringLiteral("インデックスが有効範囲にありません（%1）").arg(what));
}
} // namespace engerr

} // namespace kelvo
