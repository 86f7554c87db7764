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
#include <exception>

namespace kelvo {

namespace {

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
        if (event->type() != QEvent::Close || !watched->isWindowType())
            return false;
        event->ignore();
        if (!held.contains(watched))
            held.push_back(watched);
        return true;
    }

private:
    QList<QPointer<QObject>> held;
};

// The one thread every mail call runs on, started with the first and living as long as the
// application. Its own event loop lets the work run programs with QProcess.
class Worker final : public QThread {
public:
    explicit Worker(QObject* parent) : QThread(parent) {
        context.moveToThread(this);
        start();
    }
    ~Worker() override {
        quit();
        wait();
    }
    // Runs the work there, after the work handed over before it.
    void post(std::function<void()> work) {
        QMetaObject::invokeMethod(&context, std::move(work), Qt::QueuedConnection);
    }
    static Worker& instance(QCoreApplication* app) {
        static QPointer<Worker> worker;
        if (!worker)
            worker = new Worker(app);
        return *worker;
    }

private:
    QObject context;
};

} // namespace

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
    Worker::instance(app).post([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    hold.release();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace kelvo
