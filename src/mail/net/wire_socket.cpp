// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wire_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vmime/exception.hpp>
#include <vmime/net/tracer.hpp>

namespace kelvo::vm {

namespace {

namespace ex = vmime::exceptions;

// What is held back before it is written anyway: a large message leaves in pieces this size.
constexpr size_t kHoldAtMost = 64 * 1024;
// How often a wait looks at the time-out.
constexpr int kSliceMs = 10;

[[noreturn]] void throwError(int error) {
    throw ex::socket_exception(std::strerror(error));
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == EINPROGRESS;
}

class WireSocket final : public vmime::net::socket {
public:
    explicit WireSocket(vmime::shared_ptr<vmime::net::timeoutHandler> handler)
        : handler(std::move(handler)) {}
    ~WireSocket() override { closeNow(); }

    void connect(const vmime::string& address, const vmime::port_t port) override {
        closeNow();
        if (tracer)
            tracer->traceSend("Connecting to " + address + ", port " + std::to_string(port));
        serverAddress = address;
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICSERV;
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
            throw ex::connection_error("Cannot resolve address.");
        int error = ECONNREFUSED;
        for (addrinfo* a = found; a && fd < 0; a = a->ai_next)
            error = tryConnect(*a);
        ::freeaddrinfo(found);
        if (fd < 0)
            throw ex::connection_error("Error while connecting socket.",
                                       ex::socket_exception(std::strerror(error)));
    }

    bool isConnected() const override {
        char c;
        return fd >= 0 && ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) != 0;
    }

    void disconnect() override {
        if (fd < 0)
            return;
        if (tracer)
            tracer->traceSend("Disconnecting");
        try {
            flush();
        } catch (...) {
            // A goodbye that cannot be said changes nothing.
        }
        closeNow();
    }

    bool waitForRead(const int msecs) override {
        flush();
        return waitFor(POLLIN, msecs);
    }
    bool waitForWrite(const int msecs) override { return waitFor(POLLOUT, msecs); }

    void receive(vmime::string& buffer) override {
        const size_t n = receiveRaw(incoming, sizeof incoming);
        buffer.assign(reinterpret_cast<const char*>(incoming), n);
    }

    size_t receiveRaw(vmime::byte_t* buffer, const size_t count) override {
        flush();
        status &= ~STATUS_WOULDBLOCK;
        if (!waitFor(POLLIN, 50)) {
            status |= STATUS_WOULDBLOCK;
            return 0;
        }
        const ssize_t n = ::recv(fd, buffer, count, 0);
        if (n < 0) {
            if (!wouldBlock(errno))
                throwError(errno);
            status |= STATUS_WOULDBLOCK;
            return 0;
        }
        if (n == 0)
            throwError(ENOTCONN); // the server closed the connection
        if (handler)
            handler->resetTimeOut();
        return static_cast<size_t>(n);
    }

    void send(const vmime::string& buffer) override { hold(buffer.data(), buffer.size()); }
    void send(const char* str) override { hold(str, std::strlen(str)); }
    void sendRaw(const vmime::byte_t* buffer, const size_t count) override {
        hold(reinterpret_cast<const char*>(buffer), count);
    }
    size_t sendRawNonBlocking(const vmime::byte_t* buffer, const size_t count) override {
        hold(reinterpret_cast<const char*>(buffer), count);
        return count;
    }

    size_t getBlockSize() const override { return 16384; }
    unsigned int getStatus() const override { return status; }

    // The name the server was asked for by; for an address, the name it has, as VMime's own
    // sockets give it (certificates are checked against it).
    const vmime::string getPeerName() const override {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
            throwError(errno);
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST;
        addrinfo* numeric = nullptr;
        if (::getaddrinfo(serverAddress.c_str(), nullptr, &hints, &numeric) != 0)
            return serverAddress;
        ::freeaddrinfo(numeric);
        char host[NI_MAXHOST];
        if (::getnameinfo(reinterpret_cast<sockaddr*>(&peer), length, host, sizeof host, nullptr, 0,
                          NI_NAMEREQD) == 0)
            return host;
        return serverAddress;
    }

    const vmime::string getPeerAddress() const override {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
            throwError(errno);
        char text[NI_MAXHOST];
        if (::getnameinfo(reinterpret_cast<sockaddr*>(&peer), length, text, sizeof text, nullptr, 0,
                          NI_NUMERICHOST) != 0)
            throwError(EINVAL);
        return text;
    }

    vmime::shared_ptr<vmime::net::timeoutHandler> getTimeoutHandler() override { return handler; }
    void setTracer(vmime::shared_ptr<vmime::net::tracer> t) override { tracer = std::move(t); }
    vmime::shared_ptr<vmime::net::tracer> getTracer() override { return tracer; }

private:
    // 0 when connected (fd set), else the error.
    int tryConnect(const addrinfo& a) {
        if (a.ai_family != AF_INET && a.ai_family != AF_INET6)
            return EAFNOSUPPORT;
        const int s =
            ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
        if (s < 0)
            return errno;
        const int on = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        int error = 0;
        if (handler)
            handler->resetTimeOut();
        if (::connect(s, a.ai_addr, a.ai_addrlen) < 0) {
            error = errno;
            if (error == EINPROGRESS) {
                error = ETIMEDOUT;
                for (;;) {
                    pollfd p{s, POLLOUT, 0};
                    if (::poll(&p, 1, kSliceMs) > 0) {
                        socklen_t length = sizeof error;
                        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                            error = errno;
                        break;
                    }
                    if (timedOut())
                        break;
                }
            }
        }
        if (error != 0) {
            ::close(s);
            return error;
        }
        fd = s;
        return 0;
    }

    bool timedOut() {
        if (!handler || !handler->isTimeOut())
            return false;
        if (handler->handleTimeOut()) {
            handler->resetTimeOut();
            return false;
        }
        return true;
    }

    // Throws when the time is up before the socket is ready.
    bool waitFor(short events, int msecs) {
        for (int waited = 0; waited <= msecs; waited += kSliceMs) {
            pollfd p{fd, events, 0};
            const int ready = ::poll(&p, 1, kSliceMs);
            if (ready < 0 && errno != EINTR && errno != EAGAIN)
                throwError(errno);
            if (ready > 0)
                return true;
            if (timedOut())
                throw ex::operation_timed_out();
        }
        return false;
    }

    void hold(const char* data, size_t size) {
        status &= ~STATUS_WOULDBLOCK;
        pending.append(data, size);
        if (pending.size() >= kHoldAtMost)
            flush();
    }

    // Writes what was held back, all of it.
    void flush() {
        if (fd < 0) {
            pending.clear();
            return;
        }
        size_t sent = 0;
        try {
            while (sent < pending.size()) {
                const ssize_t n =
                    ::send(fd, pending.data() + sent, pending.size() - sent, MSG_NOSIGNAL);
                if (n > 0)
                    sent += static_cast<size_t>(n);
                else if (n < 0 && !wouldBlock(errno))
                    throwError(errno);
                else
                    waitFor(POLLOUT, 50);
            }
        } catch (...) {
            pending.clear();
            throw;
        }
        pending.clear();
    }

    void closeNow() {
        pending.clear();
        if (fd >= 0) {
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
            fd = -1;
        }
    }

    vmime::shared_ptr<vmime::net::timeoutHandler> handler;
    vmime::shared_ptr<vmime::net::tracer> tracer;
    int fd = -1;
    unsigned int status = 0;
    vmime::string serverAddress;
    std::string pending;
    vmime::byte_t incoming[65536];
};

} // namespace

vmime::shared_ptr<vmime::net::socket> WireSocketFactory::create() {
    return create(nullptr);
}

vmime::shared_ptr<vmime::net::socket>
WireSocketFactory::create(vmime::shared_ptr<vmime::net::timeoutHandler> handler) {
    return vmime::make_shared<WireSocket>(std::move(handler));
}

} // namespace kelvo::vm
