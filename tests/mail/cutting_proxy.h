// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace kelvo::test {

// A loopback relay in front of a test server that can break a connection off in the middle of
// a command, as a server that stops or a line that drops would. Connections are relayed one
// at a time on a thread of their own; each cut happens once, and later connections are
// relayed whole again.
class CuttingProxy {
public:
    // Relays 127.0.0.1:port() to 127.0.0.1:upstreamPort.
    explicit CuttingProxy(int upstreamPort);
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    int port() const { return listenPort; }

    enum class Side { ServerReply, ClientData };
    // Once the client has sent `command` (a case-blind match) for the occurrence-th time since
    // this call, over all connections, let `bytes` more bytes through on the given side (the
    // server's answer, or what the client sends next), then close both ends.
    void cutAfter(const QByteArray& command, int occurrence, Side side, qint64 bytes);
    // As a server that drips its answer: once the client has sent `command` for the
    // occurrence-th time (an empty command: from the next connection's start), the server's
    // bytes go through one every intervalMs for `seconds`, and whole again after that.
    void dripAfter(const QByteArray& command, int occurrence, int intervalMs, int seconds);
    // What a hostile server sends once the client has sent a command.
    enum class Attack {
        None,
        Drop,        // nothing: the connection is closed at once
        ExistsFlood, // a go-ahead, then "* n EXISTS" lines, n growing
        GoAheads,    // "+ idling" lines
        HugeLine,    // a go-ahead, then one line that never ends
    };
    // From now on every connection whose client sends `command` (a case-blind match) is
    // attacked: the server's bytes no longer reach the client, which gets the attack instead,
    // `bytes` of it as fast as it reads them, and then nothing until it hangs up. Attack::None
    // leaves later connections alone.
    void attackAfter(const QByteArray& command, Attack attack, qint64 bytes = 0);
    // How many connections were attacked so far.
    int attacks() const { return attackCount.load(); }
    // How many connections were cut (or dripped) so far.
    int cuts() const { return cutCount.load(); }
    int connections() const { return connectionCount.load(); }
    // How many reads the client's data took: one per write of the client's, as long as it
    // waits for each answer.
    int clientReads() const { return clientReadCount.load(); }
    // How many connections are relayed now.
    int open() const { return openCount.load(); }

private:
    struct Cut {
        QByteArray command;
        int occurrence;
        Side side;
        qint64 bytes;
        int dripMs = 0; // a drip rather than a cut; bytes: how long it lasts, in ms
    };
    // The armed drip from a connection's start, taken by the connection that starts now.
    std::optional<Cut> takeDripAtStart();
    void serve();
    void relay(int client, int server);
    // Counts the occurrences of the armed cut's command that end past `from` in the client's
    // data; the cut when one of them is the one to cut at, with `end` just after it.
    std::optional<Cut> count(const QByteArray& data, qsizetype from, qsizetype& end);
    void cutDone();
    // The attack armed for a connection whose client data (the part past `from` is new) holds
    // its command.
    Attack attackIn(const QByteArray& data, qsizetype from, qint64& bytes);

    int listenFd = -1;
    int listenPort = 0;
    int upstream;
    int wakeFds[2] = {-1, -1};
    std::mutex lock;
    std::optional<Cut> pending;
    int seen = 0; // the command's occurrences so far
    QByteArray attackCommand;
    Attack attack = Attack::None;
    qint64 attackBytes = 0;
    std::atomic<int> attackCount{0};
    std::atomic<int> cutCount{0};
    std::atomic<int> connectionCount{0};
    std::atomic<int> clientReadCount{0};
    std::atomic<int> openCount{0};
    std::thread worker;
};

} // namespace kelvo::test
