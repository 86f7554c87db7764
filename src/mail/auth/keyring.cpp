// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "keyring.h"

#include "auth_worker.h"
#include "mail/core/mail_error.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QObject>
#include <functional>
#include <qt6keychain/keychain.h>

namespace kelvo::keyring {

namespace {

const QString serviceName = QStringLiteral("kelvo");

struct Outcome {
    QKeychain::Error error = QKeychain::OtherError;
    QString errorText;
    QString secret;
};

AuthWait waitOf(std::chrono::seconds bound, std::stop_token stop) {
    return {bound, std::move(stop), mailerr::KeyringUnavailable};
}

// Runs the job made by make on the auth worker and waits for its outcome. QtKeychain queues
// its jobs on one object that lives in the thread which used it first, and finishes each job
// in that thread's event loop: jobs from the mail thread, the push thread and the main thread
// would wait on one another's loops. So every job runs on that one thread.
Outcome run(std::function<QKeychain::Job*()> make, std::chrono::seconds bound,
            std::stop_token stop) {
    return AuthWorker::shared().ask<Outcome>(
        [make](const AuthAnswer<Outcome>& answer) {
            QKeychain::Job* job = make();
            job->setAutoDelete(true);
            job->setInsecureFallback(false);
            QObject::connect(job, &QKeychain::Job::finished, [answer](QKeychain::Job* done) {
                Outcome o{done->error(), done->errorString(), {}};
                if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(done))
                    o.secret = reading->textData();
                answer.give(std::move(o));
            });
            job->start();
        },
        waitOf(bound, std::move(stop)));
}

// Whether the Secret Service's answer says the collection is locked.
bool lockedIn(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

// libsecret reports what a locked keyring holds as not found: asks the Secret Service itself
// whether the keyring the secrets go to is locked.
bool keyringLocked(std::chrono::seconds bound, std::stop_token stop) {
    const int boundMs = static_cast<int>(std::chrono::milliseconds(bound).count());
    return AuthWorker::shared().ask<bool>(
        [boundMs](const AuthAnswer<bool>& answer) {
            QDBusMessage get = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.secrets"),
                QStringLiteral("/org/freedesktop/secrets/aliases/default"),
                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
            auto* call =
                new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, boundMs));
            QObject::connect(call, &QDBusPendingCallWatcher::finished, call,
                             [answer](QDBusPendingCallWatcher* done) {
                                 answer.give(lockedIn(done->reply()));
                                 done->deleteLater();
                             });
        },
        waitOf(bound, std::move(stop)));
}

[[noreturn]] void fail(const Outcome& o) {
    throw mailError(mailerr::KeyringUnavailable, o.errorText);
}

} // namespace

std::optional<QString> read(const QString& key, std::chrono::seconds bound, std::stop_token stop) {
    const Outcome o = run(
        [key]() -> QKeychain::Job* {
            auto* job = new QKeychain::ReadPasswordJob(serviceName);
            job->setKey(key);
            return job;
        },
        bound, stop);
    if (o.error == QKeychain::EntryNotFound) {
        if (keyringLocked(bound, stop))
            throw mailError(mailerr::KeyringUnavailable, QStringLiteral("ロックされています"));
        return std::nullopt;
    }
    if (o.error != QKeychain::NoError)
        fail(o);
    return o.secret;
}

void write(const QString& key, const QString& secret, std::chrono::seconds bound,
           std::stop_token stop) {
    const Outcome o = run(
        [key, secret]() -> QKeychain::Job* {
            auto* job = new QKeychain::WritePasswordJob(serviceName);
            job->setKey(key);
            job->setTextData(secret);
            return job;
        },
        bound, std::move(stop));
    if (o.error != QKeychain::NoError)
        fail(o);
}

void remove(const QString& key, std::chrono::seconds bound, std::stop_token stop) {
    const Outcome o = run(
        [key]() -> QKeychain::Job* {
            auto* job = new QKeychain::DeletePasswordJob(serviceName);
            job->setKey(key);
            return job;
        },
        bound, std::move(stop));
    if (o.error != QKeychain::NoError && o.error != QKeychain::EntryNotFound)
        fail(o);
}

} // namespace kelvo::keyring
