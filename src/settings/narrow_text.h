// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace kelvo {

// The text with every full-width character that has a single-byte form in code page 932
// written in that form: full-width digits, letters and signs become ASCII, the ideographic
// space a blank, katakana and Japanese punctuation their half-width forms (a voiced kana
// becomes two characters, ｶﾞ). Everything else stays as it is.
QString 半角変換(const QString& text);

} // namespace kelvo
