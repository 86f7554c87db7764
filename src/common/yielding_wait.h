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
};

// The real wait: sleeps in the event loop until the next event or the deadline, so an idle
// Kelvo uses no processor time.
class EventLoopWaiter final : public Waiter {
public:
    void wait(double seconds) override;
    void processEvents() override;
};

} // namespace kelvo
