// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class QNetworkAccessManager;

namespace kelvo {

// How long a caller waits for the auth worker, and what ends the wait early.
struct AuthWait {
    std::chrono::seconds bound;
    std::stop_token stop; // requested: the caller is being stopped, and stops waiting at once
    int errorNumber;      // raised when the wait ends without an answer
};

namespace authdetail {
struct Core;
// One job's answer, shared by the waiting caller and the worker thread.
struct Call {
    std::shared_ptr<Core> core;
    bool answered = false; // under the core's lock
    std::exception_ptr failure;
    std::function<void()> abandon; // the worker thread's own
};
// Marks the call answered, after store has put the outcome in place; later answers are dropped.
void answer(Call& call, const std::function<void()>& store);
} // namespace authdetail

// What a job on the auth worker answers with, from that thread.
template <typename T> class AuthAnswer {
public:
    AuthAnswer(std::shared_ptr<authdetail::Call> call, std::shared_ptr<std::optional<T>> slot)
        : call(std::move(call)), slot(std::move(slot)) {}
    // The outcome; the first one counts.
    void give(T value) const {
        authdetail::answer(*call, [&] { slot->emplace(std::move(value)); });
    }
    // What ends the work when the caller no longer waits for it (a request aborted).
    void onAbandon(std::function<void()> abandon) const { call->abandon = std::move(abandon); }

private:
    std::shared_ptr<authdetail::Call> call;
    std::shared_ptr<std::optional<T>> slot;
};

// A thread of its own, with an event loop, for the network and keyring work of signing on: Qt's
// network replies and QtKeychain's jobs finish in the loop of the thread that started them, so
// no caller (the mail worker, the push connection's thread) runs a loop of its own for them.
// A caller hands a job over and waits for its answer without a loop, at most a bound, and
// stops waiting when its stop is requested or the worker ends; the work it no longer waits for
// is abandoned.
class AuthWorker {
public:
    AuthWorker();
    // Ends.
    ~AuthWorker();
    AuthWorker(const AuthWorker&) = delete;
    AuthWorker& operator=(const AuthWorker&) = delete;

    // The application's: started with its first job, ended when the application object goes.
    // Without an application object every job fails.
    static AuthWorker& shared();

    // Runs start on the worker thread, where it begins the work and arranges for its answer,
    // and waits for that answer. Raises KelvoError(wait.errorNumber) when the bound runs out,
    // the stop is requested or the worker has ended, and what start raised.
    template <typename T>
    T ask(const std::function<void(const AuthAnswer<T>&)>& start, const AuthWait& wait) {
        auto call = std::make_shared<authdetail::Call>();
        auto slot = std::make_shared<std::optional<T>>();
        run(
            call, [start, answer = AuthAnswer<T>(call, slot)] { start(answer); }, wait);
        return std::move(**slot);
    }

    // The network access of the worker thread; for jobs only, on that thread.
    QNetworkAccessManager& network();

    // Answers every caller still waiting with an error, drops the work under way and joins the
    // thread. Every later job fails at once.
    void end();

private:
    void run(const std::shared_ptr<authdetail::Call>& call, std::function<void()> start,
             const AuthWait& wait);

    std::shared_ptr<authdetail::Core> core;
};

} // namespace kelvo
