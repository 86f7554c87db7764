// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "auth_worker.h"

#include "mail/core/mail_error.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace kelvo {

namespace authdetail {

class Thread final : public QThread {
public:
    Thread() : context(new QObject) {
        setObjectName(QStringLiteral("auth"));
        context->moveToThread(this);
    }
    QObject* const context;                   // the jobs' receiver, on this thread
    QNetworkAccessManager* network = nullptr; // made by the first job that needs it

protected:
    void run() override {
        exec();
        // What the loop leaves goes here, on its own thread: the manager with the replies in
        // flight, and the jobs handed over too late.
        delete context;
    }
};

struct Core {
    std::mutex lock;
    std::condition_variable_any changed;
    enum class State { Idle, Running, Ended } state = State::Idle;
    std::unique_ptr<Thread> thread; // set when running starts, reset once joined
};

void answer(Call& call, const std::function<void()>& store) {
    {
        const std::lock_guard<std::mutex> hold(call.core->lock);
        if (call.answered)
            return;
        store();
        call.answered = true;
    }
    call.core->changed.notify_all();
}

} // namespace authdetail

using authdetail::Core;

AuthWorker::AuthWorker() : core(std::make_shared<Core>()) {}

AuthWorker::~AuthWorker() {
    end();
}

AuthWorker& AuthWorker::shared() {
    // Never destroyed: a thread still asking at the end of the process finds it ended.
    static AuthWorker* const worker = [] {
        auto* w = new AuthWorker;
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QObject::destroyed, [w] { w->end(); });
        else
            w->end();
        return w;
    }();
    return *worker;
}

QNetworkAccessManager& AuthWorker::network() {
    authdetail::Thread& t = *core->thread;
    Q_ASSERT(QThread::currentThread() == &t);
    if (!t.network)
        t.network = new QNetworkAccessManager(t.context);
    return *t.network;
}

void AuthWorker::run(const std::shared_ptr<authdetail::Call>& call, std::function<void()> start,
                     const AuthWait& wait) {
    Core& c = *core;
    call->core = core;
    std::unique_lock<std::mutex> hold(c.lock);
    if (c.state == Core::State::Idle) {
        c.thread = std::make_unique<authdetail::Thread>();
        // Ended and deleted where the application ends it, whichever thread asked first.
        if (QCoreApplication* app = QCoreApplication::instance())
            c.thread->moveToThread(app->thread());
        c.thread->start();
        c.state = Core::State::Running;
    }
    if (c.state != Core::State::Running)
        throw mailError(wait.errorNumber, QStringLiteral("終了しました"));
    Q_ASSERT(QThread::currentThread() != c.thread.get());
    QMetaObject::invokeMethod(
        c.thread->context,
        [call, start = std::move(start)] {
            try {
                start();
            } catch (...) {
                authdetail::answer(*call, [&] { call->failure = std::current_exception(); });
            }
        },
        Qt::QueuedConnection);

    c.changed.wait_for(hold, wait.stop, wait.bound,
                       [&] { return call->answered || c.state != Core::State::Running; });
    if (call->answered) {
        if (call->failure)
            std::rethrow_exception(call->failure);
        return;
    }
    if (c.state != Core::State::Running)
        throw mailError(wait.errorNumber, QStringLiteral("終了しました"));
    QMetaObject::invokeMethod(
        c.thread->context,
        [call] {
            if (call->abandon)
                call->abandon();
        },
        Qt::QueuedConnection);
    if (wait.stop.stop_requested())
        throw mailError(wait.errorNumber, QStringLiteral("中断しました"));
    throw mailError(wait.errorNumber,
                    QStringLiteral("%1秒待っても応答がありません").arg(wait.bound.count()));
}

void AuthWorker::end() {
    Core& c = *core;
    {
        const std::lock_guard<std::mutex> hold(c.lock);
        if (c.state == Core::State::Ended)
            return;
        c.state = Core::State::Ended;
    }
    c.changed.notify_all();
    // Nothing sets the thread once ended. Every job on it waits on the network or the keyring
    // without blocking the loop, so it ends at once.
    if (c.thread) {
        c.thread->quit();
        c.thread->wait();
        c.thread.reset();
    }
}

} // namespace kelvo
