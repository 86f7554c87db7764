#include "common/yielding_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>

namespace kelvo {

void EventLoopWaiter::wait(double seconds) {
    if (!(seconds > 0)) {
        processEvents();
        return;
    }
    const auto ms = static_cast<qint64>(std::llround(seconds * 1000.0));
    QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    // A nested loop can be left early by a stray quit; keep waiting for the rest.
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec();
    }
}

void EventLoopWaiter::processEvents() { QCoreApplication::processEvents(); }

} // namespace kelvo
