// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/sendmail_transport.h"

#include "mail/core/mail_error.h"
#include "system/command_runner.h"

namespace kelvo {

void SendmailTransport::send(const std::string& message, const QString& from, const QString& to) {
    // The local submission programs take lines ending in LF.
    QByteArray bytes = QByteArray::fromStdString(message);
    bytes.replace("\r\n", "\n");
    runProgram(commandLine + QStringList{QStringLiteral("-i"), QStringLiteral("-f"), from,
                                         QStringLiteral("--"), to},
               bytes, timeoutSeconds, mailerr::SendRefused);
}

} // namespace kelvo
