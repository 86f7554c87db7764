// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/transports.h"

#include "system/command_runner.h"
#include "mail/core/mail_error.h"
#include "mail/mime/vmime_text.h"

#include <vmime/utility/inputStreamByteBufferAdapter.hpp>

namespace kelvo {

namespace {

// Servers may end a session that waits this long between commands (they must wait five
// minutes at least): an older one is not worth the risk of a message failing on it.
constexpr qint64 kReuseWithinMs = 60 * 1000;

} // namespace

void SmtpTransport::send(const std::string& message, const QString& from, const QString& to) {
    // A token may run out between the sign-on of the pass and its first send.
    vm::withRenewedToken(options, [&] { sendOnce(message, from, to); });
}

void SmtpTransport::sendOnce(const std::string& message, const QString& from, const QString& to) {
    vm::initialize();
    if (transport && idle.isValid() && idle.elapsed() > kReuseWithinMs)
        close();
    vm::guarded(options, mailerr::SendRefused, [&] {
        try {
            if (!transport) {
                auto session = vmime::net::session::create();
                transport = session->getTransport(vmime::utility::url(vm::utf8(options.url)));
                vm::configure(*transport, options);
            }
            if (!transport->isConnected())
                transport->connect();
            vmime::mailboxList recipients;
            recipients.appendMailbox(vmime::make_shared<vmime::mailbox>(vm::utf8(to)));
            // VMime ends the data with its own line break before the final dot.
            size_t size = message.size();
            if (size >= 2 && message.compare(size - 2, 2, "\r\n") == 0)
                size -= 2;
            vmime::utility::inputStreamByteBufferAdapter in(
                reinterpret_cast<const vmime::byte_t*>(message.data()), size);
            transport->send(vmime::mailbox(vm::utf8(from)), recipients, in, size);
            idle.start();
        } catch (...) {
            close();
            throw;
        }
    });
}

void SmtpTransport::close() {
    if (!transport)
        return;
    try {
        if (transport->isConnected())
            transport->disconnect();
    } catch (...) {
        // The connection may already be gone; nothing is lost by not saying goodbye.
    }
    transport.reset();
    idle.invalidate();
}

void SendmailTransport::send(const std::string& message, const QString& from, const QString& to) {
    // The local submission programs take lines ending in LF.
    QByteArray bytes = QByteArray::fromStdString(message);
    bytes.replace("\r\n", "\n");
    runProgram(commandLine + QStringList{QStringLiteral("-i"), QStringLiteral("-f"), from,
                                         QStringLiteral("--"), to},
               bytes, timeoutSeconds, mailerr::SendRefused);
}

} // namespace kelvo
