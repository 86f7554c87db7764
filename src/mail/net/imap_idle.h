// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/push_port.h"
#include "mail/core/profiles.h"

#include <functional>
#include <memory>

namespace kelvo {

// One connection to a profile's IMAP server, on a thread of its own: signs on as the pass
// does (TLS, the certificate checked against the system's store and the ca-file for the host
// name, starttls as the profile says, the password command run once), opens the Inbox
// read-only and waits in IDLE, reporting new mail: more messages than it knew of once the
// expunged ones are counted, or a grown UIDNEXT. While it idles it reads the server's lines one
// by one and keeps none: a line over 64 KB, a literal, or more than 1,000 go-aheads without a
// count of messages lose the connection, as does an answer to DONE slower than the timeout.
class ImapIdle {
public:
    // report is called on the connection's thread, never after close().
    using Report = std::function<void(const PushEvent&)>;
    ImapIdle(const MailProfile& profile, Report report);
    // Closes.
    ~ImapIdle();
    ImapIdle(const ImapIdle&) = delete;
    ImapIdle& operator=(const ImapIdle&) = delete;

    // Ends the IDLE under way and starts another.
    void renew();
    // Ends IDLE and signs off, waiting a moment for the server's answer; a thread still busy
    // connecting ends by itself later, without reporting.
    void close();

    struct Shared;

private:
    std::shared_ptr<Shared> shared;
};

} // namespace kelvo
