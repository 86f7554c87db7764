// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The sockets of every mail connection. Private to the mail layer.

#include <vmime/net/socket.hpp>

namespace kelvo::vm {

// Makes TCP sockets that hold what is sent until the program next waits for the server, so
// that a command, or a message and its end, leaves in one write rather than in the pieces
// VMime writes it in; and that send at once (TCP_NODELAY), so that the server's delayed
// acknowledgement never holds the last piece back. TLS sits above them and gains the same.
class WireSocketFactory final : public vmime::net::socketFactory {
public:
    vmime::shared_ptr<vmime::net::socket> create() override;
    vmime::shared_ptr<vmime::net::socket>
    create(vmime::shared_ptr<vmime::net::timeoutHandler> handler) override;
};

} // namespace kelvo::vm
