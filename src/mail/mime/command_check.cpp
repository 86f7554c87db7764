// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/command_check.h"

#include "auth_results.h"

namespace kelvo {

namespace {

QString domainOf(const QString& address) {
    QString d = address.mid(address.lastIndexOf(u'@') + 1).trimmed().toLower();
    if (d.endsWith(u'.'))
        d.chop(1);
    return d;
}

// The signing domain is the phone's own or a parent of it (a provider signing for its
// subdomains).
bool coversDomain(const QString& signer, const QString& phoneDomain) {
    const QString d = domainOf(signer);
    return !d.isEmpty() && (d == phoneDomain || phoneDomain.endsWith(u'.' + d));
}

bool shows(SenderCheck check, const AuthResult& r, const QString& phoneDomain) {
    if (check == SenderCheck::Dmarc) {
        const auto from = r.value(u"header", u"from");
        return from && domainOf(*from) == phoneDomain;
    }
    for (const char16_t* property : {u"d", u"i"}) {
        const auto signer = r.value(u"header", property);
        if (signer && coversDomain(*signer, phoneDomain))
            return true;
    }
    return false;
}

// A result beside a pass that the pass cannot stand with. A message has one DMARC verdict, so
// any other is a contradiction; DKIM verdicts are per signature, so only a failed one for the
// phone's domain (or one naming no domain) is.
bool contradicts(SenderCheck check, const AuthResult& r, const QString& phoneDomain) {
    if (check == SenderCheck::Dmarc)
        return !(r.result == u"pass" && shows(check, r, phoneDomain));
    if (r.result == u"pass")
        return false;
    return shows(check, r, phoneDomain) || (!r.value(u"header", u"d") && !r.value(u"header", u"i"));
}

// Full-width digits and Latin letters as ASCII; everything else as it is.
QString narrowed(QString text) {
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0xFF10 && u <= 0xFF19) || (u >= 0xFF21 && u <= 0xFF3A) ||
            (u >= 0xFF41 && u <= 0xFF5A))
            c = QChar(static_cast<char16_t>(u - 0xFEE0));
    }
    return text;
}

} // namespace

CommandVerdict senderVerdict(const CommandPolicy& policy, const QStringList& authResults,
                             const QString& phoneAddress) {
    if (policy.check == SenderCheck::None)
        return CommandVerdict::Accepted;
    if (authResults.isEmpty())
        return CommandVerdict::Unverified;
    const auto field = parseAuthenticationResults(authResults.first());
    if (!field)
        return CommandVerdict::Unverified;
    if (policy.authservId != u"-" &&
        field->authservId.compare(policy.authservId, Qt::CaseInsensitive) != 0)
        return CommandVerdict::Unverified;
    const QString method =
        policy.check == SenderCheck::Dkim ? QStringLiteral("dkim") : QStringLiteral("dmarc");
    const QString phoneDomain = domainOf(phoneAddress);
    bool judged = false;
    bool passed = false;
    bool contradicted = false;
    for (const AuthResult& r : field->results) {
        if (r.method != method)
            continue;
        judged = true;
        passed = passed || (r.result == u"pass" && shows(policy.check, r, phoneDomain));
        contradicted = contradicted || contradicts(policy.check, r, phoneDomain);
    }
    if (!judged)
        return CommandVerdict::Unverified;
    // Conflicting verdicts mean that some of them are not the server's.
    return passed && !contradicted ? CommandVerdict::Accepted : CommandVerdict::Failed;
}

bool pinMatches(const QString& pin, const QString& text) {
    const QString wanted = narrowed(pin.trimmed());
    for (const QString& line : text.split(u'\n')) {
        const QString t = line.trimmed();
        if (!t.isEmpty())
            return narrowed(t) == wanted;
    }
    return false;
}

} // namespace kelvo
