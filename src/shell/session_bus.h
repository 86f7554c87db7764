// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <optional>

namespace kelvo {

// The session bus when there is one; never one started on demand. Without one, no connection is
// made at all (nor the thread that would serve it).
std::optional<QDBusConnection> セッションバス();

} // namespace kelvo
