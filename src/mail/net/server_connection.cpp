// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "server_connection.h"

#include "certificates.h"
#include "mail/core/mail_error.h"
#include "sasl.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <libetpan/libetpan.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvo {

namespace {

// The stream's buffers: a command, or this much of a message, leaves in one write.
constexpr size_t kStreamBuffer = 64 * 1024;
// A traced line is cut here: the trace counts lines, it does not keep them.
constexpr size_t kLongestTracedLine = 1000;

ServerConnection* connectionOf(mailstream_low* low) {
    return static_cast<ServerConnection*>(low->data);
}

ssize_t lowRead(mailstream_low* low, void* buffer, size_t size) {
    return connectionOf(low)->receive(buffer, size);
}

ssize_t lowWrite(mailstream_low* low, const void* buffer, size_t size) {
    return connectionOf(low)->send(buffer, size, low->privacy != 0);
}

int lowClose(mailstream_low*) {
    return 0; // the connection closes its socket itself
}

int lowFd(mailstream_low*) {
    return -1; // nobody else waits on the socket
}

void lowFree(mailstream_low* low) {
    std::free(low);
}

mailstream_low_driver streamDriver = {
    lowRead, lowWrite, lowClose, lowFd,   lowFree, nullptr,
    nullptr, nullptr,  nullptr,  nullptr, nullptr,
};

QString where(const Endpoint& at) {
    if (at.host.isEmpty())
        return QString();
    return QStringLiteral(" (%1:%2)").arg(at.host, QString::number(at.port));
}

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isAddress(const QString& host) {
    const QByteArray h = host.toLatin1();
    unsigned char any[sizeof(in6_addr)];
    return inet_pton(AF_INET, h.constData(), any) == 1 ||
           inet_pton(AF_INET6, h.constData(), any) == 1;
}

// A name lookup that a deadline or a stop can abandon: the C library answers on a thread of
// its own, which holds the request until it has told the waiting side through the descriptor.
struct Lookup {
    gaicb request{};
    addrinfo hints{};
    std::string host;
    std::string service;
    int done = -1;
    std::atomic<int> holders{2}; // the waiting side and the answer
};

void letGo(Lookup* lookup) {
    if (--lookup->holders > 0)
        return;
    if (lookup->request.ar_result)
        freeaddrinfo(lookup->request.ar_result);
    ::close(lookup->done);
    delete lookup;
}

void answered(sigval value) {
    auto* lookup = static_cast<Lookup*>(value.sival_ptr);
    const uint64_t one = 1;
    if (::write(lookup->done, &one, sizeof one) < 0) {
        // The counter cannot overflow with one answer.
    }
    letGo(lookup);
}

using Addresses = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

} // namespace

Interruption::Interruption() : eventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (eventFd < 0)
        throw mailError(mailerr::Failure, QStringLiteral("eventfd: ") + systemText(errno));
}

Interruption::~Interruption() {
    ::close(eventFd);
}

void Interruption::stop() {
    stopped_ = true;
    const uint64_t one = 1;
    if (::write(eventFd, &one, sizeof one) < 0) {
        // The counter is far from full; the flag is what counts.
    }
}

void Interruption::wake() {
    woken = true;
    const uint64_t one = 1;
    if (::write(eventFd, &one, sizeof one) < 0) {
        // As above.
    }
}

void Interruption::clear() const {
    uint64_t count = 0;
    if (::read(eventFd, &count, sizeof count) < 0) {
        // Already empty.
    }
}

ServerConnection::ServerConnection(const Endpoint& at, bool useTls, const QString& caFile,
                                   int timeoutSeconds, std::function<void(const QString&)> trace,
                                   std::shared_ptr<Interruption> interruption)
    : endpoint(at), caFile(caFile), timeout(std::max(1, timeoutSeconds)),
      interruption(std::move(interruption)), tracer(std::move(trace)) {
    startClock();
    const int error = connectTo(at);
    if (fd < 0) {
        if (stopped())
            throw mailError(mailerr::ConnectionLost, at.host);
        if (timedOut || error == ETIMEDOUT)
            throw mailError(mailerr::TimedOut, systemText(ETIMEDOUT) + where(at));
        if (error == ECONNREFUSED)
            throw mailError(mailerr::ConnectionRefused, systemText(error) + where(at));
        throw mailError(mailerr::Failure, systemText(error) + where(at));
    }
    if (useTls) {
        try {
            secure();
        } catch (...) {
            release();
            throw;
        }
    }
}

ServerConnection::ServerConnection(int connectedFd, int timeoutSeconds,
                                   std::shared_ptr<Interruption> interruption)
    : fd(connectedFd), timeout(std::max(0, timeoutSeconds)), interruption(std::move(interruption)) {
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

ServerConnection::~ServerConnection() {
    release();
}

void ServerConnection::release() {
    if (tls) {
        if (!broken)
            gnutls_bye(tls, GNUTLS_SHUT_WR); // once, without waiting for the server
        gnutls_deinit(std::exchange(tls, nullptr));
    }
    if (credentials)
        gnutls_certificate_free_credentials(std::exchange(credentials, nullptr));
    if (fd >= 0)
        ::close(std::exchange(fd, -1));
}

int ServerConnection::connectTo(const Endpoint& at) {
    const QByteArray host = at.host.toUtf8();
    const std::string service = std::to_string(at.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.constData(), service.c_str(), &hints, &found) != 0) {
        // A name: asked of the resolver while the deadline and a stop are watched.
        auto* lookup = new Lookup;
        lookup->host = host.toStdString();
        lookup->service = service;
        lookup->hints.ai_family = AF_UNSPEC;
        lookup->hints.ai_socktype = SOCK_STREAM;
        lookup->hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
        lookup->request.ar_name = lookup->host.c_str();
        lookup->request.ar_service = lookup->service.c_str();
        lookup->request.ar_request = &lookup->hints;
        lookup->done = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD;
        event.sigev_notify_function = answered;
        event.sigev_value.sival_ptr = lookup;
        gaicb* list[] = {&lookup->request};
        if (lookup->done < 0 || ::getaddrinfo_a(GAI_NOWAIT, list, 1, &event) != 0) {
            lookup->holders = 1;
            letGo(lookup);
            throw mailError(mailerr::HostNotFound, at.host);
        }
        const bool ready = waitOn(lookup->done, POLLIN);
        const int status = ready ? ::gai_error(&lookup->request) : EAI_INPROGRESS;
        if (status == EAI_INPROGRESS) {
            if (::gai_cancel(&lookup->request) == EAI_CANCELED)
                letGo(lookup); // the answer will not come
            letGo(lookup);
            return ETIMEDOUT;
        }
        if (status != 0) {
            letGo(lookup);
            throw mailError(mailerr::HostNotFound,
                            QString::fromLocal8Bit(::gai_strerror(status)) + where(at));
        }
        found = std::exchange(lookup->request.ar_result, nullptr);
        letGo(lookup);
    }
    const Addresses addresses(found, freeaddrinfo);
    int error = ECONNREFUSED;
    for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            error = errno;
            continue;
        }
        // Each command leaves at once: the server's delayed acknowledgement never holds the
        // last piece of one back.
        const int on = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        fd = s;
        if (::connect(s, a->ai_addr, a->ai_addrlen) == 0)
            return 0;
        error = errno;
        if (error == EINPROGRESS) {
            if (!waitFor(POLLOUT)) {
                ::close(std::exchange(fd, -1));
                return ETIMEDOUT;
            }
            socklen_t length = sizeof error;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                error = errno;
            if (error == 0)
                return 0;
        }
        ::close(std::exchange(fd, -1));
    }
    return error;
}

void ServerConnection::secure() {
    if (gnutls_certificate_allocate_credentials(&credentials) < 0 ||
        gnutls_init(&tls, GNUTLS_CLIENT | GNUTLS_NO_SIGNAL) < 0)
        throw mailError(mailerr::Failure, QStringLiteral("TLS"));
    gnutls_set_default_priority(tls);
    gnutls_credentials_set(tls, GNUTLS_CRD_CERTIFICATE, credentials);
    // The name the server is asked for, which a server of many names needs.
    if (!isAddress(endpoint.host)) {
        const QByteArray name = endpoint.host.toUtf8();
        gnutls_server_name_set(tls, GNUTLS_NAME_DNS, name.constData(), size_t(name.size()));
    }
    gnutls_transport_set_int(tls, fd);
    for (;;) {
        const int r = gnutls_handshake(tls);
        if (r == GNUTLS_E_SUCCESS)
            break;
        if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) {
            if (!waitFor(gnutls_record_get_direction(tls) ? POLLOUT : POLLIN)) {
                broken = true;
                throw lost(QStringLiteral("TLS"));
            }
            continue;
        }
        if (!gnutls_error_is_fatal(r))
            continue;
        if (r == GNUTLS_E_PREMATURE_TERMINATION || r == GNUTLS_E_PULL_ERROR ||
            r == GNUTLS_E_PUSH_ERROR) {
            broken = true;
            throw lost(QStringLiteral("TLS"));
        }
        throw mailError(mailerr::Failure, QStringLiteral("TLS: ") +
                                              QString::fromLatin1(gnutls_strerror(r)) +
                                              where(endpoint));
    }
    unsigned int count = 0;
    const gnutls_datum_t* peers = gnutls_certificate_get_peers(tls, &count);
    std::vector<QByteArray> chain;
    for (unsigned int i = 0; peers && i < count; ++i)
        chain.emplace_back(reinterpret_cast<const char*>(peers[i].data), qsizetype(peers[i].size));
    verifyChain(chain, endpoint.host, caFile);
}

void ServerConnection::startTls() {
    secure();
}

mailstream* ServerConnection::openStream() {
    mailstream_low* low = mailstream_low_new(this, &streamDriver);
    mailstream* stream = low ? mailstream_new(low, kStreamBuffer) : nullptr;
    if (!stream) {
        if (low)
            mailstream_low_free(low);
        throw mailError(mailerr::Failure, QStringLiteral("mailstream"));
    }
    return stream;
}

void ServerConnection::startClock() {
    deadline = Clock::now() + timeout;
}

int ServerConnection::pollTimeout() const {
    if (!deadline)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

bool ServerConnection::waitFor(short events) {
    return waitOn(fd, events);
}

bool ServerConnection::waitOn(int descriptor, short events) {
    for (;;) {
        if (stopped())
            return false;
        // Once the time is up, what is there already is still taken.
        const int wait = pollTimeout();
        pollfd fds[2] = {{descriptor, events, 0},
                         {interruption ? interruption->fd() : -1, POLLIN, 0}};
        const int r = ::poll(fds, 2, wait);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0) {
            if (wait == 0) {
                timedOut = true;
                return false;
            }
            continue;
        }
        if (fds[1].revents != 0) {
            // A wake is for the wait for the next line alone; it stays noted for that.
            interruption->clear();
            if (fds[0].revents == 0)
                continue;
        }
        return true; // ready, or failed: the read or write tells which
    }
}

ServerConnection::Ready ServerConnection::waitReadable(mailstream* stream) {
    if (broken)
        return Ready::Lost;
    if (stream->read_buffer_len > 0 || (tls && gnutls_record_check_pending(tls) > 0))
        return Ready::Data;
    for (;;) {
        if (stopped())
            return Ready::Lost;
        if (interruption && interruption->takeWake())
            return Ready::Woken;
        const int wait = pollTimeout();
        pollfd fds[2] = {{fd, POLLIN, 0}, {interruption ? interruption->fd() : -1, POLLIN, 0}};
        const int r = ::poll(fds, 2, wait);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Ready::Lost;
        if (r == 0 && wait == 0) {
            timedOut = true;
            return Ready::TimedOut;
        }
        if (r > 0 && fds[1].revents != 0)
            interruption->clear();
        if (r > 0 && fds[0].revents != 0)
            return Ready::Data;
    }
}

ssize_t ServerConnection::fail() {
    broken = true;
    return -1;
}

void ServerConnection::limitNesting(int most) {
    nesting = NestingWatch{};
    nesting.most = most;
}

bool ServerConnection::NestingWatch::feed(const char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (skip > 0) {
            --skip;
        } else if (beforeLiteral) {
            if (c == '\n') {
                beforeLiteral = false;
                skip = count;
            }
        } else if (counting) {
            if (c >= '0' && c <= '9' && count < (quint64(1) << 48)) {
                count = count * 10 + quint64(c - '0');
            } else if (c == '}') {
                counting = false;
                beforeLiteral = true;
            } else if (c != '+') {
                counting = false;
            }
        } else if (quoted) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"' || c == '\n')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{') {
            counting = true;
            count = 0;
        } else if (c == '(') {
            if (++depth > most)
                return false;
        } else if (c == ')') {
            depth = std::max(0, depth - 1);
        } else if (c == '\n') {
            depth = 0; // the answer's line ended
        }
    }
    return true;
}

ssize_t ServerConnection::receive(void* buffer, size_t size) {
    const ssize_t r = receiveRaw(buffer, size);
    if (r > 0 && nesting.most > 0 && !nesting.feed(static_cast<const char*>(buffer), size_t(r))) {
        nesting.tooDeep = true;
        return fail();
    }
    return r;
}

ssize_t ServerConnection::receiveRaw(void* buffer, size_t size) {
    if (broken)
        return -1;
    for (;;) {
        if (tls) {
            const ssize_t r = gnutls_record_recv(tls, buffer, size);
            if (r > 0)
                return r;
            if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) {
                if (!waitFor(gnutls_record_get_direction(tls) ? POLLOUT : POLLIN))
                    return fail();
                continue;
            }
            if (r < 0 && !gnutls_error_is_fatal(int(r)))
                continue;  // a warning, or a renegotiation refused
            return fail(); // the server hung up, or the line broke
        }
        const ssize_t r = ::recv(fd, buffer, size, 0);
        if (r > 0)
            return r;
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(POLLIN))
                return fail();
            continue;
        }
        // The end of the stream is a failure too: the library would read it again and again.
        return fail();
    }
}

ssize_t ServerConnection::send(const void* buffer, size_t size, bool publicData) {
    if (broken)
        return -1;
    for (;;) {
        ssize_t r;
        if (tls) {
            r = gnutls_record_send(tls, buffer, size);
            if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) {
                if (!waitFor(gnutls_record_get_direction(tls) ? POLLOUT : POLLIN))
                    return fail();
                continue;
            }
            if (r < 0)
                return fail();
        } else {
            r = ::send(fd, buffer, size, MSG_NOSIGNAL);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!waitFor(POLLOUT))
                    return fail();
                continue;
            }
            if (r <= 0)
                return fail();
        }
        if (sendRestarts && deadline)
            startClock();
        traceBytes(static_cast<const char*>(buffer), size_t(r), publicData);
        return r;
    }
}

void ServerConnection::traceBytes(const char* bytes, size_t size, bool publicData) {
    if (!tracer || !tracing)
        return;
    for (size_t i = 0; i < size; ++i) {
        partialPrivate = partialPrivate || !publicData;
        if (bytes[i] != '\n') {
            if (partialLine.size() < kLongestTracedLine)
                partialLine += bytes[i];
            continue;
        }
        if (!partialLine.empty() && partialLine.back() == '\r')
            partialLine.pop_back();
        std::string line = std::move(partialLine);
        if (partialPrivate) {
            // A password or token: only the command that carries it may show.
            const std::string shown = sasl::withoutCredentials(line);
            std::fill(line.begin(), line.end(), '\0');
            line = shown.find("{credentials}") != std::string::npos ? shown : "{credentials}";
        }
        trace(QString::fromStdString(line));
        partialLine.clear();
        partialPrivate = false;
    }
}

void ServerConnection::trace(const QString& line) const {
    if (tracer)
        tracer(line);
}

KelvoError ServerConnection::lost(const QString& what) const {
    if (timedOut && !stopped())
        return mailError(mailerr::TimedOut, what + where(endpoint));
    return mailError(mailerr::ConnectionLost, what + where(endpoint));
}

} // namespace kelvo
