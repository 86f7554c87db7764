// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo::vm {

// Multiparts nested deeper than this are taken as one opaque part, its contents unread.
constexpr int kMaxNesting = 64;

} // namespace kelvo::vm
