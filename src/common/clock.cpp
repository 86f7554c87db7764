#include "common/clock.h"

#include <QElapsedTimer>

namespace kelvo {

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

qint64 SystemClock::monotonicMs() const {
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

} // namespace kelvo
