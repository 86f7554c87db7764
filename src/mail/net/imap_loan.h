// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kelvo {

class ImapClient;

// The push connection's signed-on client, lent to a pass between two IDLEs, so that a notice
// costs no new connection and no sign-on. One owner at a time: the connection's thread while it
// idles, the pass while it holds the loan. Every member may be called from any thread.
class ImapLoan {
public:
    ImapLoan();
    ~ImapLoan();
    ImapLoan(const ImapLoan&) = delete;
    ImapLoan& operator=(const ImapLoan&) = delete;

    // The pass: ends the IDLE and takes the client, within `wait`; nothing when the connection
    // is not idling, is lent already, or does not hand it over in time.
    std::unique_ptr<ImapClient> borrow(std::chrono::milliseconds wait);
    // The pass is done with it. Nothing comes back while the connection idles on; the client
    // itself when the connection has ended meanwhile: the caller then signs it off.
    std::unique_ptr<ImapClient> giveBack(std::unique_ptr<ImapClient> client);

    // The connection's side. `waker` ends the IDLE under way when a pass asks.
    void open(std::function<void()> waker);
    // Whether a pass waits for the client.
    bool asked() const;
    // Waits at most `wait` for a pass to ask; whether one did.
    bool awaitAsked(std::chrono::milliseconds wait);
    // Hands the client to the pass that asked and waits until it comes back: the client, or
    // nothing when the connection ended first (the pass keeps it). Without a pass asking, the
    // client comes back at once.
    std::unique_ptr<ImapClient> lend(std::unique_ptr<ImapClient> client);
    // The client cannot be lent now; a pass that waits goes its own way.
    void refuse();
    // No more loans: a pass that waits goes its own way, and one that holds the client keeps it.
    void end();

private:
    mutable std::mutex lock;
    std::condition_variable changed;
    std::function<void()> wake;
    bool idling = false;
    bool ended = false;
    bool waiting = false; // a pass asked
    bool lent = false;
    std::unique_ptr<ImapClient> handed;   // on its way to the pass
    std::unique_ptr<ImapClient> returned; // on its way back
};

// The push connections open now, by the store and user they signed on to: where a pass of the
// same profile looks for a client to borrow.
class IdleClients {
public:
    void add(const QString& store, const QString& user, const std::shared_ptr<ImapLoan>& loan);
    // The loan of a connection open to the store for the user, if there is one.
    std::shared_ptr<ImapLoan> find(const QString& store, const QString& user);

private:
    std::mutex lock;
    std::vector<std::pair<QString, std::weak_ptr<ImapLoan>>> loans;
};

} // namespace kelvo
