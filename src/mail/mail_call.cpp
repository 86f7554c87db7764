#include "mail/mail_call.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <exception>
#include <memory>
#include <vector>

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
    // A QThread rather than a bare thread, so that the work may run programs with QProcess.
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    // Queued to this thread: delivered by the loop below once it runs, however early the work
    // ends.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    hold.release();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace kelvo
