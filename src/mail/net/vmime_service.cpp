// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/vmime_service.h"

#include "bearer_sign_on.h"
#include "mail/core/mail_error.h"
#include "mail/mime/vmime_text.h"
#include "wire_socket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QUrl>
#include <memory>
#include <mutex>
#include <vmime/net/smtp/SMTPExceptions.hpp>
#include <vmime/security/cert/X509Certificate.hpp>
#include <vmime/security/cert/certificateException.hpp>
#include <vmime/security/cert/defaultCertificateVerifier.hpp>

namespace kelvo::vm {

namespace {

using Certificates = std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>>;

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
        if (auto cert = vmime::security::cert::X509Certificate::import(
                reinterpret_cast<const vmime::byte_t*>(pem.constData()),
                static_cast<size_t>(pem.size())))
            out.push_back(cert);
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

vmime::shared_ptr<vmime::security::cert::certificateVerifier> verifierFor(const QString& caFile) {
    Certificates roots = systemCertificates();
    if (!caFile.isEmpty()) {
        bool readable = false;
        const Certificates extra = readCertificates(caFile, &readable);
        if (!readable || extra.empty())
            throw mailError(mailerr::ProfileInvalid,
                            QStringLiteral("CAファイルを読めません：") + caFile);
        roots.insert(roots.end(), extra.begin(), extra.end());
    }
    auto verifier = vmime::make_shared<vmime::security::cert::defaultCertificateVerifier>();
    verifier->setX509RootCAs(roots);
    return verifier;
}

// The time a service's server has for the command under way: a whole command and its answer,
// or a whole sign-on. VMime restarts a time-out at every byte it receives, so a server that
// drips its answer would hold a call for ever; here only a command sent after sign-on, or more
// data sent, restarts it.
class Deadline {
public:
    explicit Deadline(int seconds) : limitMs(qint64(seconds) * 1000) { start(); }
    // A new connection.
    void start() {
        std::lock_guard guard(lock);
        timer.start();
        expired = false;
    }
    // A new command. Once the time was up, the goodbyes get none either.
    void restart() {
        std::lock_guard guard(lock);
        if (!expired)
            timer.restart();
    }
    bool passed() {
        std::lock_guard guard(lock);
        expired = expired || timer.elapsed() >= limitMs;
        return expired;
    }

private:
    std::mutex lock;
    QElapsedTimer timer;
    qint64 limitMs;
    bool expired = false;
};

class TimeoutHandler final : public vmime::net::timeoutHandler {
public:
    explicit TimeoutHandler(std::shared_ptr<Deadline> deadline) : deadline(std::move(deadline)) {}
    bool isTimeOut() override { return deadline->passed(); }
    void resetTimeOut() override {} // called for every byte received
    bool handleTimeOut() override { return false; }

private:
    std::shared_ptr<Deadline> deadline;
};

class TimeoutFactory final : public vmime::net::timeoutHandlerFactory {
public:
    explicit TimeoutFactory(std::shared_ptr<Deadline> deadline) : deadline(std::move(deadline)) {}
    // A new connection: its sign-on starts now.
    vmime::shared_ptr<vmime::net::timeoutHandler> create() override {
        deadline->start();
        return vmime::make_shared<TimeoutHandler>(deadline);
    }

private:
    std::shared_ptr<Deadline> deadline;
};

// Restarts the deadline for each command sent once the service is signed on (a service reads
// as connected only then), and passes the command lines on to the options' trace.
class Tracer final : public vmime::net::tracer {
public:
    Tracer(vmime::weak_ptr<vmime::net::service> service, std::shared_ptr<Deadline> deadline,
           std::function<void(const QString&)> sink)
        : service(std::move(service)), deadline(std::move(deadline)), sink(std::move(sink)) {}
    void traceSend(const vmime::string& line) override {
        restartWhenSignedOn();
        if (sink)
            sink(QString::fromStdString(withoutCredentials(line)));
    }
    void traceSendBytes(const size_t, const vmime::string&) override { restartWhenSignedOn(); }
    void traceReceive(const vmime::string&) override {}

private:
    void restartWhenSignedOn() {
        const auto s = service.lock();
        if (s && s->isConnected())
            deadline->restart();
    }

    vmime::weak_ptr<vmime::net::service> service;
    std::shared_ptr<Deadline> deadline;
    std::function<void(const QString&)> sink;
};

class TracerFactory final : public vmime::net::tracerFactory {
public:
    TracerFactory(std::shared_ptr<Deadline> deadline, std::function<void(const QString&)> sink)
        : deadline(std::move(deadline)), sink(std::move(sink)) {}
    vmime::shared_ptr<vmime::net::tracer> create(vmime::shared_ptr<vmime::net::service> service,
                                                 const int) override {
        return vmime::make_shared<Tracer>(service, deadline, sink);
    }

private:
    std::shared_ptr<Deadline> deadline;
    std::function<void(const QString&)> sink;
};

bool isSecureScheme(const QString& scheme) {
    return scheme.endsWith(u's');
}

// VMime reports a refused connection as a time-out: a connection of our own tells what
// really happened.
KelvoError classifyConnection(const ServiceOptions& options, const QString& libraryText) {
    const Endpoint ep = endpointOf(options.url);
    QTcpSocket probe;
    probe.connectToHost(ep.host, static_cast<quint16>(ep.port));
    const int waitMs = std::clamp(options.timeoutSeconds, 1, 10) * 1000;
    const bool connected = probe.waitForConnected(waitMs);
    const QString where = QStringLiteral(" (%1:%2)").arg(ep.host, QString::number(ep.port));
    if (connected) {
        probe.abort();
        return mailError(mailerr::ConnectionLost, libraryText + where);
    }
    switch (probe.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return mailError(mailerr::ConnectionRefused, probe.errorString() + where);
    case QAbstractSocket::HostNotFoundError:
        return mailError(mailerr::HostNotFound, probe.errorString() + where);
    case QAbstractSocket::SocketTimeoutError:
        return mailError(mailerr::TimedOut, probe.errorString() + where);
    default:
        return mailError(mailerr::Failure, libraryText + where);
    }
}

QString chainText(const vmime::exception& e) {
    QString text = QString::fromLocal8Bit(e.what());
    for (const vmime::exception* o = e.other(); o; o = o->other())
        text += QStringLiteral(": ") + QString::fromLocal8Bit(o->what());
    return text;
}

KelvoError classify(std::exception_ptr error, const ServiceOptions& options, int commandNumber) {
    namespace ex = vmime::exceptions;
    try {
        std::rethrow_exception(error);
    } catch (const KelvoError& e) {
        return e;
    } catch (const vmime::security::cert::certificateException& e) {
        return mailError(mailerr::CertificateNotTrusted, chainText(e));
    } catch (const ex::authentication_error& e) {
        return mailError(mailerr::LoginFailed, QString::fromStdString(e.response()).trimmed());
    } catch (const ex::operation_timed_out& e) {
        return mailError(mailerr::TimedOut, chainText(e));
    } catch (const ex::connection_greeting_error& e) {
        return mailError(mailerr::Failure, chainText(e));
    } catch (const ex::socket_exception& e) {
        return classifyConnection(options, chainText(e));
    } catch (const vmime::net::smtp::SMTPCommandError& e) {
        // A 4xx answer asks to try again later: the mail itself was not refused.
        const int code = e.statusCode();
        return mailError(code >= 400 && code < 500 ? mailerr::SendDeferred : commandNumber,
                         QString::number(code) + u' ' +
                             QString::fromStdString(e.response()).trimmed());
    } catch (const ex::command_error& e) {
        return mailError(commandNumber, QString::fromStdString(e.response()).trimmed());
    } catch (const ex::folder_not_found& e) {
        return mailError(mailerr::MailboxMissing, chainText(e));
    } catch (const vmime::exception& e) {
        // A certificate the verifier was never asked about (no verifier) lands here too.
        return mailError(mailerr::Failure, chainText(e));
    } catch (const std::exception& e) {
        return mailError(mailerr::Failure, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return mailError(mailerr::Failure);
    }
}

} // namespace

Endpoint endpointOf(const QString& text) {
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    int port = 143;
    if (scheme == u"imaps")
        port = 993;
    else if (scheme == u"smtp")
        port = 25;
    else if (scheme == u"smtps")
        port = 465;
    return Endpoint{url.host(), url.port(port)};
}

void verifyChain(const std::vector<QByteArray>& der, const QString& host, const QString& caFile) {
    namespace cert = vmime::security::cert;
    std::vector<vmime::shared_ptr<cert::certificate>> certs;
    for (const QByteArray& one : der)
        if (auto c = cert::X509Certificate::import(
                reinterpret_cast<const vmime::byte_t*>(one.constData()),
                static_cast<size_t>(one.size())))
            certs.push_back(c);
    if (certs.empty())
        throw mailError(mailerr::CertificateNotTrusted, host);
    try {
        verifierFor(caFile)->verify(vmime::make_shared<cert::certificateChain>(certs), utf8(host));
    } catch (const cert::certificateException& e) {
        throw mailError(mailerr::CertificateNotTrusted, chainText(e));
    }
}

void configure(vmime::net::service& service, const ServiceOptions& options) {
    const QString scheme = QUrl(options.url).scheme().toLower();
    setSignOn(service, options);
    bool usesTls = true;
    if (!isSecureScheme(scheme)) {
        QString mode = options.starttls;
        if (mode.isEmpty())
            mode = endpointOf(options.url).port == 587 ? QStringLiteral("required")
                                                       : QStringLiteral("optional");
        service.setProperty("connection.tls", mode != u"no");
        service.setProperty("connection.tls.required", mode == u"required");
        usesTls = mode != u"no";
    }
    // The trust store is large: read only where a certificate may come.
    if (usesTls || !options.caFile.isEmpty())
        service.setCertificateVerifier(verifierFor(options.caFile));
    service.setSocketFactory(vmime::make_shared<WireSocketFactory>());
    auto deadline = std::make_shared<Deadline>(std::max(1, options.timeoutSeconds));
    service.setTimeoutHandlerFactory(vmime::make_shared<TimeoutFactory>(deadline));
    service.setTracerFactory(vmime::make_shared<TracerFactory>(deadline, options.trace));
}

KelvoError translate(std::exception_ptr error, const ServiceOptions& options, int commandNumber) {
    const KelvoError e = classify(error, options, commandNumber);
    return KelvoError(e.number(), redacted(e.description(), {options.password}));
}

} // namespace kelvo::vm
