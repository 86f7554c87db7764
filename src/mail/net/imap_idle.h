// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/push_port.h"
#include "mail/core/profiles.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace kelvo {

class ImapClient;
class ImapLineReader;
class ImapLoan;
class Interruption;
struct InboxCount;

// One connection to a profile's IMAP server, on a thread of its own that lives as long as this
// object: signs on as the pass does (the same client: TLS, the certificate checked against the
// system's store and the ca-file for the host name, starttls as the profile says, the password
// command run once), opens the Inbox read-only and waits in IDLE, reporting new mail: more
// messages than it knew of once the expunged ones are counted, or a grown UIDNEXT. While it
// idles it reads the server's lines one by one and keeps none: a line over 64 KB, a literal,
// or more than 1,000 go-aheads without a count of messages lose the connection, as does an
// answer to DONE slower than the timeout. Between two IDLEs it lends its client to a pass that
// asks (loan()); the limits above are for idling alone.
class ImapIdle {
public:
    // report is called on the connection's thread, never after stop().
    using Report = std::function<void(const PushEvent&)>;
    ImapIdle(const MailProfile& profile, Report report);
    // Stops.
    ~ImapIdle();
    ImapIdle(const ImapIdle&) = delete;
    ImapIdle& operator=(const ImapIdle&) = delete;

    // Ends the IDLE under way and starts another.
    void renew();
    // Ends IDLE and signs off, waiting a moment for the server's answer; a connection still
    // being made is broken off. The thread has ended when it returns.
    void stop();
    // Where a pass borrows the signed-on client while it idles.
    const std::shared_ptr<ImapLoan>& loan() const { return loan_; }

private:
    enum class Ending { SignOff, Again, News, Lend };
    void run(std::stop_token stop);
    void tell(const PushEvent& event);
    void watch(std::unique_ptr<ImapClient>& client);
    Ending idleOnce(ImapClient& client, ImapLineReader& reader, InboxCount& known);
    // Lends the client to the pass that asked and takes it back; nothing when the pass kept it.
    std::unique_ptr<ImapClient> lend(std::unique_ptr<ImapClient> client, InboxCount& known);
    void signOff(ImapClient& client, ImapLineReader& reader);

    const MailProfile profile;
    const std::shared_ptr<Interruption> interruption;
    const std::shared_ptr<ImapLoan> loan_;
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    Report report;
    std::atomic<bool> idling{false}; // signed on and waiting in IDLE
    std::atomic<bool> quit{false};
    std::atomic<bool> renewAsked{false};
    std::jthread worker; // last: started once everything it uses is there
};

} // namespace kelvo
