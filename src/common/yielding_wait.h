// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvo {

// Kelvo's only way of waiting. While it waits, window events, menu commands and modal
// dialogs are handled; it returns once the time is up (a dialog opened inside the wait holds
// it until the dialog closes).
class Waiter {
public:
    virtual ~Waiter() = default;
    // Waits the given number of seconds (fractions allowed).
    virtual void wait(double seconds) = 0;
    // Handles the window events that are pending now, without waiting for more.
    virtual void processEvents() = 0;
    // Waits like wait(), but wake() ends the wait early: the cycle's pause between turns, so
    // that news of new mail is acted on at once.
    virtual void wakeableWait(double seconds) { wait(seconds); }
    // Ends the wakeable wait under way, if any; other waits go on.
    virtual void wake() {}
};

// The real wait: sleeps in the event loop until the next event or the deadline, so an idle
// Kelvo uses no processor time.
class EventLoopWaiter final : public Waiter {
public:
    void wait(double seconds) override;
    void processEvents() override;
    void wakeableWait(double seconds) override;
    void wake() override;

private:
    struct Wakeable;
    void waitFor(double seconds, Wakeable* wakeable);
    Wakeable* current = nullptr;
};

} // namespace kelvo
