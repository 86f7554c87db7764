// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo {

// Ends the program at once, whatever is on the call stack (a forwarding loop included).
// Tests use a double that records the call instead of ending the test runner.
class ProgramExit {
public:
    virtual ~ProgramExit() = default;
    virtual void endProgram() = 0;
};

} // namespace kelvo
