// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/yielding_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>

namespace kelvo {

// The wakeable wait in progress: wake() marks it and leaves its loop.
struct EventLoopWaiter::Wakeable {
    bool woken = false;
    QEventLoop* loop = nullptr;
};

void EventLoopWaiter::wait(double seconds) {
    waitFor(seconds, nullptr);
}

void EventLoopWaiter::wakeableWait(double seconds) {
    Wakeable self;
    Wakeable* const outer = current;
    current = &self;
    waitFor(seconds, &self);
    current = outer;
}

void EventLoopWaiter::wake() {
    if (!current)
        return;
    current->woken = true;
    if (current->loop)
        current->loop->quit();
}

void EventLoopWaiter::waitFor(double seconds, Wakeable* wakeable) {
    if (!(seconds > 0)) {
        processEvents();
        return;
    }
    const auto ms = static_cast<qint64>(std::llround(seconds * 1000.0));
    QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    // A nested loop can be left early by a stray quit; keep waiting for the rest.
    while (!deadline.hasExpired() && !(wakeable && wakeable->woken)) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
        if (wakeable)
            wakeable->loop = &loop;
        loop.exec();
        if (wakeable)
            wakeable->loop = nullptr;
    }
}

void EventLoopWaiter::processEvents() { QCoreApplication::processEvents(); }

} // namespace kelvo
