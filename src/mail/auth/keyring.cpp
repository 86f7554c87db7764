// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "keyring.h"

#include "mail/core/mail_error.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QThread>
#include <functional>
#include <future>
#include <memory>
#include <qt6keychain/keychain.h>

namespace kelvo::keyring {

namespace {

const QString serviceName = QStringLiteral("kelvo");

// QtKeychain queues its jobs on one object that lives in the thread which used it first, and
// finishes each job in that thread's event loop: jobs from the mail thread, the push thread and
// the main thread would wait on one another's loops. So every job runs on one thread of its own.
class KeyringThread {
public:
    KeyringThread() : thread(new QThread), context(new QObject) {
        thread->setObjectName(QStringLiteral("keyring"));
        context->moveToThread(thread);
        thread->start();
    }
    ~KeyringThread() {
        thread->quit();
        // A thread held up in a library call is left to the end of the process.
        if (thread->wait(3000)) {
            delete context;
            delete thread;
        }
    }
    QThread* thread;
    QObject* context;
};

QObject* keyringContext() {
    static KeyringThread keyringThread;
    return keyringThread.context;
}

struct Outcome {
    QKeychain::Error error = QKeychain::OtherError;
    QString errorText;
    QString secret;
};

// Runs the job made by make on the keyring thread and waits for its outcome.
Outcome run(std::function<QKeychain::Job*()> make, std::chrono::seconds bound) {
    auto promise = std::make_shared<std::promise<Outcome>>();
    std::future<Outcome> outcome = promise->get_future();
    QMetaObject::invokeMethod(
        keyringContext(),
        [make, promise] {
            QKeychain::Job* job = make();
            job->setAutoDelete(true);
            job->setInsecureFallback(false);
            QObject::connect(job, &QKeychain::Job::finished, [promise](QKeychain::Job* done) {
                Outcome o{done->error(), done->errorString(), {}};
                if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(done))
                    o.secret = reading->textData();
                promise->set_value(std::move(o));
            });
            job->start();
        },
        Qt::QueuedConnection);
    if (outcome.wait_for(bound) != std::future_status::ready)
        throw mailError(mailerr::KeyringUnavailable,
                        QStringLiteral("%1秒待っても応答がありません").arg(bound.count()));
    return outcome.get();
}

// libsecret reports what a locked keyring holds as not found: asks the Secret Service itself
// whether the keyring the secrets go to is locked.
bool keyringLocked(std::chrono::seconds bound) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"),
        QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        get, QDBus::Block, static_cast<int>(std::chrono::milliseconds(bound).count()));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

[[noreturn]] void fail(const Outcome& o) {
    throw mailError(mailerr::KeyringUnavailable, o.errorText);
}

} // namespace

std::optional<QString> read(const QString& key, std::chrono::seconds bound) {
    const Outcome o = run(
        [key]() -> QKeychain::Job* {
            auto* job = new QKeychain::ReadPasswordJob(serviceName);
            job->setKey(key);
            return job;
        },
        bound);
    if (o.error == QKeychain::EntryNotFound) {
        if (keyringLocked(bound))
            throw mailError(mailerr::KeyringUnavailable, QStringLiteral("ロックされています"));
        return std::nullopt;
    }
    if (o.error != QKeychain::NoError)
        fail(o);
    return o.secret;
}

void write(const QString& key, const QString& secret, std::chrono::seconds bound) {
    const Outcome o = run(
        [key, secret]() -> QKeychain::Job* {
            auto* job = new QKeychain::WritePasswordJob(serviceName);
            job->setKey(key);
            job->setTextData(secret);
            return job;
        },
        bound);
    if (o.error != QKeychain::NoError)
        fail(o);
}

void remove(const QString& key, std::chrono::seconds bound) {
    const Outcome o = run(
        [key]() -> QKeychain::Job* {
            auto* job = new QKeychain::DeletePasswordJob(serviceName);
            job->setKey(key);
            return job;
        },
        bound);
    if (o.error != QKeychain::NoError && o.error != QKeychain::EntryNotFound)
        fail(o);
}

} // namespace kelvo::keyring
