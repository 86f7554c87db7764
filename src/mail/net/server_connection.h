// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// One connection to an IMAP or SMTP server, under libetpan's clients. Private to the network
// room.

#include "common/error.h"
#include "mail/net/server_options.h"

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct _mailstream;
struct _mailstream_low;
struct gnutls_session_int;
struct gnutls_certificate_credentials_st;

namespace kelvo {

// Lets another thread end a connection's waits for good (stop), or make its wait for the
// server's next line return (wake), through a descriptor every wait watches. Shared by the
// connection and whoever stops it, so that it outlives both.
class Interruption {
public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    void stop();
    void wake();
    bool stopped() const { return stopped_.load(); }
    // True once after each wake().
    bool takeWake() { return woken.exchange(false); }
    int fd() const { return eventFd; }
    // Reads the descriptor empty; what was asked stays in the flags.
    void clear() const;

private:
    int eventFd = -1;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> woken{false};
};

// The socket, TLS over it, the time the server has, and the trace of the command lines sent.
// libetpan's stream reads and writes through it, so that every wait ends at the deadline, at
// the server's hanging up or at an interruption, and a command leaves in one write.
//
// The time: a whole sign-on (from the connection on), or one command and its whole answer;
// from the sign-on on, data sent gives the server the whole time again. A server that drips
// its answer cannot hold a call past it.
class ServerConnection {
public:
    using Clock = std::chrono::steady_clock;

    // Looks the host up and connects, within the timeout; with tls, secures the line at once
    // and checks the certificate for the host. The clock runs from here. Raises
    // ConnectionRefused, HostNotFound, TimedOut, CertificateNotTrusted, ConnectionLost or
    // Failure.
    ServerConnection(const Endpoint& at, bool tls, const QString& caFile, int timeoutSeconds,
                     std::function<void(const QString&)> trace,
                     std::shared_ptr<Interruption> interruption = nullptr);
    // Over a socket already connected (a pair of sockets in tests).
    ServerConnection(int connectedFd, int timeoutSeconds,
                     std::shared_ptr<Interruption> interruption = nullptr);
    // Closes the socket. The stream must be closed first.
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // A stream for libetpan's client, which takes it and closes it; this object keeps the
    // socket.
    _mailstream* openStream();
    // After the server agreed to STARTTLS: secures the line and checks the certificate.
    void startTls();

    // The whole time from now on, for a sign-on or one command.
    void startClock();
    // Data sent gives the server the whole time again (once signed on).
    void restartOnSend(bool on) { sendRestarts = on; }
    // No limit: the server's news is waited for as long as it takes.
    void noLimit() { deadline.reset(); }

    enum class Ready { Data, Woken, TimedOut, Lost };
    // Waits until the server's bytes can be read (those the stream or TLS hold count), the
    // time is up, the connection broke off or was stopped, or it was woken.
    Ready waitReadable(_mailstream* stream);

    // Whether a read or write failed: the time was up, the server hung up, or a stop.
    bool failed() const { return broken; }
    bool stopped() const { return interruption && interruption->stopped(); }
    // Who may end the waits from now on (none: nobody); for a connection changing hands.
    void setInterruption(std::shared_ptr<Interruption> by) { interruption = std::move(by); }
    // The error for a call the connection failed: TimedOut, or ConnectionLost.
    KelvoError lost(const QString& what) const;

    // While on (most > 0), the server's bytes are watched for parentheses nested deeper than
    // `most` outside quoted strings and literals; such an answer breaks the connection off
    // before a parser that recurses on them reads it. 0: off.
    void limitNesting(int most);
    bool tooDeep() const { return nesting.tooDeep; }

    // Lines sent while tracing is off (a message's data) are not traced.
    void traceLines(bool on) { tracing = on; }
    void trace(const QString& line) const;

    // For the stream's driver.
    ssize_t receive(void* buffer, size_t size);
    ssize_t send(const void* buffer, size_t size, bool publicData);

private:
    // How deep the parentheses of the answer being read go.
    struct NestingWatch {
        int most = 0;
        int depth = 0;
        bool quoted = false;
        bool escaped = false;
        bool counting = false;      // inside a literal's "{n}"
        bool beforeLiteral = false; // after "{n}", until its line ends
        quint64 count = 0;
        quint64 skip = 0; // bytes of a literal still to come
        bool tooDeep = false;
        // False once the bytes go deeper than `most`.
        bool feed(const char* bytes, size_t size);
    };
    ssize_t receiveRaw(void* buffer, size_t size);
    // Waits until the socket is ready for the events; false at the deadline or a stop.
    bool waitFor(short events);
    bool waitOn(int descriptor, short events);
    int pollTimeout() const;
    // Connects to one of the host's addresses; the error of the last try when none took.
    int connectTo(const Endpoint& at);
    void secure();
    // Closes the socket and lets TLS go.
    void release();
    ssize_t fail();
    void traceBytes(const char* bytes, size_t size, bool publicData);

    Endpoint endpoint;
    QString caFile;
    int fd = -1;
    std::chrono::seconds timeout;
    std::optional<Clock::time_point> deadline;
    bool sendRestarts = false;
    bool broken = false;
    NestingWatch nesting;
    bool timedOut = false;
    std::shared_ptr<Interruption> interruption;
    gnutls_session_int* tls = nullptr;
    gnutls_certificate_credentials_st* credentials = nullptr;
    std::function<void(const QString&)> tracer;
    bool tracing = true;
    std::string partialLine;
    bool partialPrivate = false;
};

} // namespace kelvo
