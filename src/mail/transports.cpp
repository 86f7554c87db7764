#include "mail/transports.h"

#include "mail/command_runner.h"
#include "mail/mail_error.h"
#include "mail/vmime_text.h"

namespace kelvo {

void SmtpTransport::send(const std::string& message, const QString& from, const QString& to) {
    vm::initialize();
    vm::guarded(options, mailerr::SendRefused, [&] {
        auto session = vmime::net::session::create();
        auto transport = session->getTransport(vmime::utility::url(vm::utf8(options.url)));
        vm::configure(*transport, options);
        transport->connect();
        vmime::mailboxList recipients;
        recipients.appendMailbox(vmime::make_shared<vmime::mailbox>(vm::utf8(to)));
        // VMime ends the data with its own line break before the final dot.
        std::string data = message;
        if (data.size() >= 2 && data.compare(data.size() - 2, 2, "\r\n") == 0)
            data.resize(data.size() - 2);
        vmime::utility::inputStreamStringAdapter in(data);
        try {
            transport->send(vmime::mailbox(vm::utf8(from)), recipients, in, data.size());
        } catch (...) {
            try {
                transport->disconnect();
            } catch (...) {
            }
            throw;
        }
        transport->disconnect();
    });
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
