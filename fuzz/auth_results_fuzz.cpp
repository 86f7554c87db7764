// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzz target: an Authentication-Results field value as a receiving server (or a forger, in
// the fields below the topmost) may write it, parsed and judged for a command of the phone.
// The input is the field's value; a NUL byte separates the fields, topmost first.

#include "auth_results.h"
#include "mail/mime/command_check.h"

#include <QStringList>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvo;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList fields;
    for (const QByteArray& part : input.split('\0'))
        fields << QString::fromUtf8(part);
    if (const auto parsed = parseAuthenticationResults(fields.first())) {
        // What was read is well formed: every result has its method and its verdict.
        for (const AuthResult& r : parsed->results)
            if (r.method.isEmpty() || r.result.isEmpty())
                std::abort();
    }
    const QString phone = QStringLiteral("taro@docomo.ne.jp");
    for (SenderCheck check : {SenderCheck::Dkim, SenderCheck::Dmarc}) {
        for (const char* id : {"mx.kelvo.jp", "-"}) {
            const CommandPolicy policy{check, QString::fromLatin1(id), {}};
            const CommandVerdict topmost = senderVerdict(policy, fields.mid(0, 1), phone);
            // Fields below the topmost never change the verdict.
            if (senderVerdict(policy, fields, phone) != topmost)
                std::abort();
            // Nor does a pass win over the server's own failed verdict for the phone's domain.
            const QString failed = check == SenderCheck::Dkim
                                       ? QStringLiteral("; dkim=fail header.d=docomo.ne.jp")
                                       : QStringLiteral("; dmarc=fail header.from=docomo.ne.jp");
            if (senderVerdict(policy, {fields.first() + failed}, phone) == CommandVerdict::Accepted)
                std::abort();
        }
    }
    pinMatches(QStringLiteral("４６４９"), fields.last());
    return 0;
}
