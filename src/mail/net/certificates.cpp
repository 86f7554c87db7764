// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "certificates.h"

#include "mail/core/mail_error.h"
#include "mail/mime/vmime_text.h"

#include <QFile>
#include <mutex>
#include <vmime/security/cert/X509Certificate.hpp>
#include <vmime/security/cert/certificateException.hpp>
#include <vmime/security/cert/defaultCertificateVerifier.hpp>

namespace kelvo {

namespace {

namespace cert = vmime::security::cert;
using Certificates = std::vector<vmime::shared_ptr<cert::X509Certificate>>;

// Every certificate of a PEM file.
Certificates readCertificates(const QString& path, bool* readable = nullptr) {
    Certificates out;
    QFile file(path);
    const bool ok = file.open(QIODevice::ReadOnly);
    if (readable)
        *readable = ok;
    if (!ok)
        return out;
    const QByteArray all = file.readAll();
    static const QByteArray begin("-----BEGIN CERTIFICATE-----");
    static const QByteArray end("-----END CERTIFICATE-----");
    for (qsizetype from = all.indexOf(begin); from >= 0; from = all.indexOf(begin, from + 1)) {
        const qsizetype to = all.indexOf(end, from);
        if (to < 0)
            break;
        const QByteArray pem = all.mid(from, to + end.size() - from);
        if (auto c = cert::X509Certificate::import(
                reinterpret_cast<const vmime::byte_t*>(pem.constData()),
                static_cast<size_t>(pem.size())))
            out.push_back(c);
    }
    return out;
}

// The system's trust store, read once.
const Certificates& systemCertificates() {
    static Certificates certs;
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char* bundle : {"/etc/ssl/certs/ca-certificates.crt",
                                   "/etc/pki/tls/certs/ca-bundle.crt", "/etc/ssl/cert.pem"}) {
            certs = readCertificates(QString::fromLatin1(bundle));
            if (!certs.empty())
                break;
        }
    });
    return certs;
}

QString chainText(const vmime::exception& e) {
    QString text = QString::fromLocal8Bit(e.what());
    for (const vmime::exception* o = e.other(); o; o = o->other())
        text += QStringLiteral(": ") + QString::fromLocal8Bit(o->what());
    return text;
}

} // namespace

void verifyChain(const std::vector<QByteArray>& der, const QString& host, const QString& caFile) {
    vm::initialize(); // the verifier reads the time through VMime's platform
    Certificates roots = systemCertificates();
    if (!caFile.isEmpty()) {
        bool readable = false;
        const Certificates extra = readCertificates(caFile, &readable);
        if (!readable || extra.empty())
            throw mailError(mailerr::ProfileInvalid,
                            QStringLiteral("CAファイルを読めません：") + caFile);
        roots.insert(roots.end(), extra.begin(), extra.end());
    }
    std::vector<vmime::shared_ptr<cert::certificate>> chain;
    for (const QByteArray& one : der)
        if (auto c = cert::X509Certificate::import(
                reinterpret_cast<const vmime::byte_t*>(one.constData()),
                static_cast<size_t>(one.size())))
            chain.push_back(c);
    if (chain.empty())
        throw mailError(mailerr::CertificateNotTrusted, host);
    cert::defaultCertificateVerifier verifier;
    verifier.setX509RootCAs(roots);
    try {
        verifier.verify(vmime::make_shared<cert::certificateChain>(chain), host.toStdString());
    } catch (const cert::certificateException& e) {
        throw mailError(mailerr::CertificateNotTrusted, chainText(e));
    }
}

} // namespace kelvo
