// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cutting_proxy.h"

#include <QElapsedTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kelvo::test {

namespace {

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool sendAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The next bytes of an attack, the first ones when `first`; n counts the messages claimed.
QByteArray attackChunk(CuttingProxy::Attack attack, bool first, quint32& n) {
    constexpr qsizetype kChunk = 16384;
    using Attack = CuttingProxy::Attack;
    QByteArray out;
    if (first && attack != Attack::GoAheads)
        out += "+ idling\r\n";
    if (first && attack == Attack::HugeLine)
        out += "* OK ";
    while (out.size() < kChunk) {
        if (attack == Attack::ExistsFlood)
            out += "* " + QByteArray::number(n++) + " EXISTS\r\n";
        else if (attack == Attack::GoAheads)
            out += "+ idling\r\n";
        else
            out += QByteArray(kChunk - out.size(), 'x');
    }
    return out;
}

} // namespace

CuttingProxy::CuttingProxy(int upstreamPort) : upstream(upstreamPort) {
    [[maybe_unused]] const int piped = ::pipe2(wakeFds, O_CLOEXEC);
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::listen(listenFd, 8) == 0 &&
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        listenPort = ntohs(addr.sin_port);
    worker = std::thread([this] { serve(); });
}

CuttingProxy::~CuttingProxy() {
    // Every thread polls the pipe: one byte ends them all.
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], "x", 1);
    worker.join();
    ::close(listenFd);
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
}

void CuttingProxy::cutAfter(const QByteArray& command, int occurrence, Side side, qint64 bytes) {
    std::lock_guard guard(lock);
    pending = Cut{command.toUpper(), occurrence, side, bytes};
    seen = 0;
}

void CuttingProxy::dripAfter(const QByteArray& command, int occurrence, int intervalMs,
                             int seconds) {
    std::lock_guard guard(lock);
    pending = Cut{command.toUpper(), occurrence, Side::ServerReply, seconds * 1000LL, intervalMs};
    seen = 0;
}

std::optional<CuttingProxy::Cut> CuttingProxy::takeDripAtStart() {
    std::lock_guard guard(lock);
    std::optional<Cut> drip;
    if (pending && pending->dripMs > 0 && pending->command.isEmpty())
        drip.swap(pending);
    return drip;
}

std::optional<CuttingProxy::Cut> CuttingProxy::count(const QByteArray& data, qsizetype from,
                                                     qsizetype& end) {
    std::lock_guard guard(lock);
    if (!pending)
        return std::nullopt;
    const QByteArray& command = pending->command;
    if (command.isEmpty())
        return std::nullopt;
    const QByteArray upper = data.toUpper();
    for (qsizetype at = upper.indexOf(command); at >= 0; at = upper.indexOf(command, at + 1)) {
        end = at + command.size();
        if (end > from && ++seen == pending->occurrence)
            return pending;
    }
    return std::nullopt;
}

void CuttingProxy::attackAfter(const QByteArray& command, Attack kind, qint64 bytes) {
    std::lock_guard guard(lock);
    attackCommand = command.toUpper();
    attack = kind;
    attackBytes = bytes;
}

CuttingProxy::Attack CuttingProxy::attackIn(const QByteArray& data, qsizetype from, qint64& bytes) {
    std::lock_guard guard(lock);
    if (attack == Attack::None)
        return Attack::None;
    const qsizetype at = data.toUpper().lastIndexOf(attackCommand);
    if (at < 0 || at + attackCommand.size() <= from)
        return Attack::None;
    ++attackCount;
    bytes = attackBytes;
    return attack;
}

void CuttingProxy::cutDone() {
    {
        std::lock_guard guard(lock);
        pending.reset();
    }
    ++cutCount;
}

void CuttingProxy::serve() {
    std::vector<std::thread> relays;
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0 || listenPort == 0)
            break;
        const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++connectionCount;
        const int server = connectTo(upstream);
        if (server < 0) {
            ::close(client);
            continue;
        }
        ++openCount;
        relays.emplace_back([this, client, server] {
            relay(client, server);
            --openCount;
        });
    }
    for (std::thread& t : relays)
        t.join();
}

void CuttingProxy::relay(int client, int server) {
    constexpr qsizetype kTail = 64; // longer than any command a test cuts at
    QByteArray tail; // the end of the client's data, for a command split between reads
    std::optional<Cut> cut = takeDripAtStart(); // the cut under way in this connection
    qint64 left = 0;                            // what may still pass before it
    char buffer[16384];
    QByteArray held; // the server's bytes a drip holds back
    QElapsedTimer dripping;
    if (cut)
        dripping.start();
    Attack attacking = Attack::None;
    qint64 attackLeft = 0;    // what the attack may still send
    QByteArray unsent;        // attack bytes the client has not taken yet
    quint32 claimed = 100000; // the message count an EXISTS flood claims next
    bool attackBegun = false;
    auto isDripping = [&] {
        return cut && cut->dripMs > 0 && dripping.isValid() && dripping.elapsed() < cut->bytes;
    };

    // Lets through what the budget allows; true when the connection is to be cut now.
    auto spend = [&](int to, const char* data, qint64 size) {
        const qint64 n = std::min(size, left);
        sendAll(to, data, n);
        left -= n;
        return left <= 0;
    };

    for (;;) {
        if (isDripping() && !held.isEmpty()) {
            sendAll(client, held.constData(), 1);
            held.remove(0, 1);
        } else if (!isDripping() && !held.isEmpty()) {
            sendAll(client, held.constData(), held.size());
            held.clear();
        }
        const bool flooding = attacking != Attack::None && attackLeft > 0;
        pollfd fds[3] = {{client, short(POLLIN | (flooding ? POLLOUT : 0)), 0},
                         {server, POLLIN, 0},
                         {wakeFds[0], POLLIN, 0}};
        const int wait = cut && cut->dripMs > 0 && !held.isEmpty() ? cut->dripMs : -1;
        if (::poll(fds, 3, isDripping() ? cut->dripMs : wait) < 0 || fds[2].revents != 0)
            break;
        if (flooding && (fds[0].revents & POLLOUT) != 0) {
            if (unsent.isEmpty()) {
                unsent = attackChunk(attacking, !attackBegun, claimed);
                attackBegun = true;
            }
            const ssize_t n = ::send(client, unsent.constData(),
                                     size_t(std::min<qint64>(unsent.size(), attackLeft)),
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN)
                break;
            if (n > 0) {
                unsent.remove(0, n);
                attackLeft -= n;
            }
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            ++clientReadCount;
            qint64 from = 0; // where the bytes after the command start in this read
            const QByteArray seenData = tail + QByteArray(buffer, n);
            if (!cut) {
                qsizetype end = 0;
                cut = count(seenData, tail.size(), end);
                if (cut) {
                    left = cut->bytes;
                    from = end - tail.size();
                    dripping.start();
                }
            }
            if (attacking == Attack::None) {
                attacking = attackIn(seenData, tail.size(), attackLeft);
                if (attacking == Attack::Drop)
                    break;
            }
            tail = seenData.right(kTail);
            if (cut && cut->dripMs == 0 && cut->side == Side::ClientData) {
                sendAll(server, buffer, from);
                if (spend(server, buffer + from, n - from))
                    break;
            } else if (!sendAll(server, buffer, n) || (cut && cut->dripMs == 0 && left <= 0)) {
                break;
            }
        }
        if (fds[1].revents != 0) {
            const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            if (attacking != Attack::None) {
                // The server's own answers no longer reach the client.
            } else if (isDripping()) {
                held.append(buffer, n);
            } else if (cut && cut->dripMs == 0 && cut->side == Side::ServerReply) {
                if (spend(client, buffer, n))
                    break;
            } else if (!sendAll(client, buffer, n)) {
                break;
            }
        }
    }
    if (cut)
        cutDone();
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
    ::close(client);
    ::close(server);
}

} // namespace kelvo::test
