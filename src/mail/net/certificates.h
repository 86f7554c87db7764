// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The check of a server's certificate. Private to the network room.

#include <QByteArray>
#include <QString>
#include <vector>

namespace kelvo {

// Checks a server's certificate chain (DER, the server's own first) against the system's trust
// store and the ca-file, for the host name. Raises CertificateNotTrusted, or ProfileInvalid
// for a ca-file that cannot be read.
void verifyChain(const std::vector<QByteArray>& der, const QString& host, const QString& caFile);

} // namespace kelvo
