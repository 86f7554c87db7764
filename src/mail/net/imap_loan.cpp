// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_loan.h"

#include "imap_client.h"

#include <algorithm>

namespace kelvo {

ImapLoan::ImapLoan() = default;
ImapLoan::~ImapLoan() = default;

std::unique_ptr<ImapClient> ImapLoan::borrow(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> hold(lock);
    if (!idling || ended || lent || waiting)
        return nullptr;
    waiting = true;
    if (wake)
        wake();
    changed.notify_all();
    changed.wait_for(hold, wait, [&] { return handed || !waiting || ended; });
    waiting = false;
    return std::move(handed);
}

std::unique_ptr<ImapClient> ImapLoan::giveBack(std::unique_ptr<ImapClient> client) {
    const std::lock_guard<std::mutex> hold(lock);
    if (ended || !lent)
        return client;
    returned = std::move(client);
    changed.notify_all();
    return nullptr;
}

void ImapLoan::open(std::function<void()> waker) {
    const std::lock_guard<std::mutex> hold(lock);
    wake = std::move(waker);
    idling = !ended;
}

bool ImapLoan::asked() const {
    const std::lock_guard<std::mutex> hold(lock);
    return waiting && !ended;
}

bool ImapLoan::awaitAsked(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait_for(hold, wait, [&] { return waiting || ended; });
    return waiting && !ended;
}

std::unique_ptr<ImapClient> ImapLoan::lend(std::unique_ptr<ImapClient> client) {
    std::unique_lock<std::mutex> hold(lock);
    if (!waiting || ended)
        return client;
    handed = std::move(client);
    lent = true;
    changed.notify_all();
    // However long the pass takes: the connection has nothing to do meanwhile.
    changed.wait(hold, [&] { return returned || ended; });
    lent = false;
    return std::move(returned);
}

void ImapLoan::refuse() {
    const std::lock_guard<std::mutex> hold(lock);
    waiting = false;
    changed.notify_all();
}

void ImapLoan::end() {
    const std::lock_guard<std::mutex> hold(lock);
    ended = true;
    idling = false;
    wake = nullptr;
    changed.notify_all();
}

void IdleClients::add(const QString& store, const QString& user,
                      const std::shared_ptr<ImapLoan>& loan) {
    const std::lock_guard<std::mutex> hold(lock);
    std::erase_if(loans, [](const auto& entry) { return entry.second.expired(); });
    loans.emplace_back(store + u'\n' + user, loan);
}

std::shared_ptr<ImapLoan> IdleClients::find(const QString& store, const QString& user) {
    const std::lock_guard<std::mutex> hold(lock);
    const QString key = store + u'\n' + user;
    // The newest first: an older one is on its way out.
    for (auto it = loans.rbegin(); it != loans.rend(); ++it)
        if (it->first == key)
            if (auto loan = it->second.lock())
                return loan;
    return nullptr;
}

} // namespace kelvo
