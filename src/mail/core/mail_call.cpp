// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/core/mail_call.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <exception>

namespace kelvo {

namespace {

const char* const kCloseHeld = "kelvoCloseAfterMailCalls";
std::chrono::milliseconds restAfterCalls{30 * 1000};

// Holds back the close requests of windows while a mail call runs.
class CloseHold final : public QObject {
public:
    CloseHold() { QCoreApplication::instance()->installEventFilter(this); }
    ~CloseHold() override { QCoreApplication::instance()->removeEventFilter(this); }

    // Makes every held request again, now that the call has returned.
    void release() {
        for (const QPointer<QObject>& target : held)
            if (target)
                QCoreApplication::postEvent(target, new QCloseEvent);
        held.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Window-level requests only: they carry the whole close, widgets' own come after.
        if (event->type() != QEvent::Close ||
            !(watched->isWindowType() || watched->property(kCloseHeld).toBool()))
            return false;
        event->ignore();
        if (!held.contains(watched))
            held.push_back(watched);
        return true;
    }

private:
    QList<QPointer<QObject>> held;
};

// The one thread every mail call runs on, started with the first call and ended once no call
// has come for a while, so that a Kelvo waiting between passes keeps no idle thread. Its own
// event loop lets the work run programs with QProcess. Started, fed and ended on the
// application's thread alone; nothing of a call outlives it there.
class Worker final : public QThread {
public:
    explicit Worker(QObject* parent) : QThread(parent) {
        setObjectName(QStringLiteral("mail"));
        context.moveToThread(this);
        rest.setSingleShot(true);
        QObject::connect(&rest, &QTimer::timeout, &rest, [this] { end(); });
    }
    ~Worker() override { end(); }
    // Runs the work there, after the work handed over before it.
    void post(std::function<void()> work) {
        rest.stop();
        if (!isRunning())
            start();
        QMetaObject::invokeMethod(&context, std::move(work), Qt::QueuedConnection);
    }
    // The call handed over last has returned.
    void returned() { rest.start(restAfterCalls); }
    static Worker& instance(QCoreApplication* app) {
        static QPointer<Worker> worker;
        if (!worker)
            worker = new Worker(app);
        return *worker;
    }

private:
    void end() {
        quit();
        wait();
    }

    QObject context;
    QTimer rest;
};

} // namespace

void closeAfterMailCalls(QObject& target) {
    target.setProperty(kCloseHeld, true);
}

void setMailCallRest(std::chrono::milliseconds rest) {
    restAfterCalls = rest;
}

void runMailCall(bool offThread, const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!offThread || app == nullptr || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    QEventLoop loop;
    std::exception_ptr failure;
    CloseHold hold;
    // The loop belongs to this thread: the quit is delivered by the loop once it runs, however
    // early the work ends.
    Worker& worker = Worker::instance(app);
    worker.post([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.returned();
    hold.release();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace kelvo
