// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"
#include "engine/forwarding_cycle.h"
#include "engine/push_watch.h"
#include "mail/push_line.h"
#include "system/linux_system_control.h"

#include <QString>
#include <functional>

namespace kelvo {

struct AppContext;
struct MainFormHooks;
class CycleWindow;
class ProcessExit;
class ProfileBackend;
class ServiceNotifier;
class WeeklySchedule;
class WindowPort;

// Automatic forwarding over the program's mail system and window: the system control, the
// engine, and push on a connection the passes borrow while it idles (it ends with the program's
// mail session). The desktop program and the service differ in their windows alone.
class ForwardingWiring {
public:
    // Connects the hooks: forwarding started, the sign-off of an end that was asked for (終了, a
    // signal, the session's end), and what runs just before any end.
    ForwardingWiring(AppContext& context, WindowPort& window, ProcessExit& exit,
                     ServiceNotifier& notifier, ProfileBackend& mailSystem,
                     CycleWindow& cycleWindow, WeeklySchedule& schedule, MainFormHooks& hooks,
                     std::function<QString()> listPath);
    ForwardingWiring(const ForwardingWiring&) = delete;
    ForwardingWiring& operator=(const ForwardingWiring&) = delete;

    LinuxSystemControl system;
    EngineContext engine;
    ProfilePushLine pushLine;
    PushWatch push; // after the line it listens to
    CycleContext cycle;
};

} // namespace kelvo
