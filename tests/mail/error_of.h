// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"

#include <QString>

namespace kelvo::test {

// The number of the error the call raises, 0 when it raises none; its description too when
// asked for.
template <typename Call> int errorOf(Call&& call, QString* description = nullptr) {
    try {
        call();
    } catch (const KelvoError& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace kelvo::test
