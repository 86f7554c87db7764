// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo {

class MainForm;
class DesktopNotifier;
class HeadlessWindow;
class ProgramShell;
struct RunState;

// Error lines become desktop notifications while forwarding runs. A pass begins with its
// sign-on at a new check start time (a sign-on again inside the same pass is no new pass) and
// ends with "メールチェック終了".
void 通知を接続(MainForm& window, DesktopNotifier& notifier);
// The same for the service's window without widgets.
void 通知を接続(HeadlessWindow& window, const ProgramShell& shell, const RunState& state,
                DesktopNotifier& notifier);

} // namespace kelvo
