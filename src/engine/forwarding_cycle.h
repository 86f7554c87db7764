// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"

namespace kelvo {

class CycleWindow;
class PushWatch;
class SystemControl;
class WeeklySchedule;

// What the forwarding cycle works with besides the engine's context.
struct CycleContext {
    EngineContext& engine;
    SystemControl& システム;
    CycleWindow& 主画面;
    WeeklySchedule& スケジュール;
    // News of new mail between passes, when the profile asks for it; none: passes at the
    // interval alone.
    PushWatch* プッシュ = nullptr;
};

// Automatic forwarding: checks the phone address, then loops until the stop command, running
// a pass whenever the check interval has run out (inside the weekly windows when the schedule
// is on). Returns when the loop has ended, when the start checks failed, or when the program
// has been ended (power-off or the timed finish; only a test's exit double comes back).
void 自動転送開始(CycleContext& c);

// The hang-up sequence of the dial-up mode: three 10-second steps of countdown, the hang-up,
// and one monitor line.
void 回線切断シーケンス(CycleContext& c);

} // namespace kelvo
