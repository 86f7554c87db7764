// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo::sysnum {

// Error numbers raised by system control.
inline constexpr int InvalidCall = 5;     // nothing to run: the program name is empty
inline constexpr int CannotStart = 53;    // the program could not be found or started
inline constexpr int DialUpFailed = 1101; // the remembered dial-up line did not come back

} // namespace kelvo::sysnum
