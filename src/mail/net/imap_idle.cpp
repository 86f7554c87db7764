// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_idle.h"

#include "bearer_sign_on.h"
#include "imap_line_reader.h"
#include "mail/core/mail_error.h"
#include "mail/auth/sign_on_secret.h"
#include "mail/net/vmime_service.h"

#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <libetpan/libetpan.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

namespace kelvo {

struct ImapIdle::Shared {
    int pipe[2] = {-1, -1}; // commands to the connection's thread: 'r' renew, 'q' quit
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    std::atomic<bool> idling{false}; // signed on and waiting in IDLE
    Report report;

    ~Shared() {
        for (int fd : pipe)
            if (fd >= 0)
                ::close(fd);
    }
    void send(char command) {
        if (::write(pipe[1], &command, 1) < 0) {
            // The pipe is full of commands already; the thread is behind, not gone.
        }
    }
    void tell(const PushEvent& event) {
        const std::lock_guard<std::mutex> hold(lock);
        if (report)
            report(event);
    }
};

namespace {

// Failures that only mean the server is out of reach for now: the pass reports its own.
bool quiet(int number) {
    return number == mailerr::ConnectionRefused || number == mailerr::HostNotFound ||
           number == mailerr::TimedOut || number == mailerr::ConnectionLost;
}

bool ok(int r) {
    return r == MAILIMAP_NO_ERROR || r == MAILIMAP_NO_ERROR_AUTHENTICATED ||
           r == MAILIMAP_NO_ERROR_NON_AUTHENTICATED;
}

void require(int r, int number, const QString& detail) {
    if (!ok(r))
        throw mailError(r == MAILIMAP_ERROR_STREAM ? mailerr::ConnectionLost : number, detail);
}

// The server's chain as the TLS layer received it, the server's own certificate first.
std::vector<QByteArray> peerChain(mailimap* imap) {
    std::vector<QByteArray> out;
    carray* chain = mailstream_get_certificate_chain(imap->imap_stream);
    if (!chain)
        return out;
    for (unsigned int i = 0; i < carray_count(chain); ++i) {
        const auto* der = static_cast<const MMAPString*>(carray_get(chain, i));
        out.emplace_back(der->str, static_cast<qsizetype>(der->len));
    }
    mailstream_certificate_chain_free(chain);
    return out;
}

// Connects, secures the line as the profile asks and checks the certificate.
void connect(mailimap* imap, const MailProfile& p) {
    const vm::Endpoint at = vm::endpointOf(p.store);
    const QByteArray host = at.host.toUtf8();
    const bool secure = QUrl(p.store).scheme().toLower() == u"imaps";
    mailimap_set_timeout(imap, std::max(1, p.timeoutSeconds));
    const auto port = static_cast<uint16_t>(at.port);
    int r = secure ? mailimap_ssl_connect(imap, host.constData(), port)
                   : mailimap_socket_connect(imap, host.constData(), port);
    require(r, mailerr::ConnectionRefused, at.host);
    bool tls = secure;
    if (!secure) {
        QString mode = p.starttls;
        if (mode.isEmpty())
            mode = at.port == 587 ? QStringLiteral("required") : QStringLiteral("optional");
        if (mode != u"no") {
            mailimap_capability_data* caps = nullptr;
            require(mailimap_capability(imap, &caps), mailerr::Failure,
                    QStringLiteral("CAPABILITY"));
            mailimap_capability_data_free(caps);
            if (mailimap_has_extension(imap, const_cast<char*>("STARTTLS"))) {
                require(mailimap_socket_starttls(imap), mailerr::Failure,
                        QStringLiteral("STARTTLS"));
                tls = true;
            } else if (mode == u"required") {
                throw mailError(mailerr::Failure,
                                QStringLiteral("STARTTLSに対応していないサーバーです：") + at.host);
            }
        }
    }
    if (tls)
        vm::verifyChain(peerChain(imap), at.host, p.caFile);
}

// Writes the bytes and sends them off.
bool send(mailstream* stream, const QByteArray& bytes) {
    return mailstream_write(stream, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
           mailstream_flush(stream) != -1;
}

// Sends AUTHENTICATE OAUTHBEARER, which the library cannot, as it sends XOAUTH2: the initial
// response with the command, and to an error challenge the acknowledgement that lets the
// server refuse. The library's code for the outcome.
int authenticateOauthBearer(mailimap* imap, const std::string& response) {
    if (imap->imap_state != MAILIMAP_STATE_NON_AUTHENTICATED)
        return MAILIMAP_ERROR_BAD_STATE;
    QByteArray line =
        "AUTHENTICATE OAUTHBEARER " +
        QByteArray::fromRawData(response.data(), qsizetype(response.size())).toBase64() + "\r\n";
    mailstream_set_privacy(imap->imap_stream, 0);
    int r = mailimap_send_current_tag(imap);
    if (r == MAILIMAP_NO_ERROR && !send(imap->imap_stream, line))
        r = MAILIMAP_ERROR_STREAM;
    mailstream_set_privacy(imap->imap_stream, 1);
    line.fill('\0');
    if (r != MAILIMAP_NO_ERROR)
        return r;
    const char* first = mailimap_read_line(imap);
    if (!first)
        return MAILIMAP_ERROR_STREAM;
    // The token was refused: its error came as a challenge.
    if (first[0] == '+' && !send(imap->imap_stream, QByteArrayLiteral("AQ==\r\n"))) // 0x01
        return MAILIMAP_ERROR_STREAM;
    mailimap_response* answer = nullptr;
    r = mailimap_parse_response(imap, &answer);
    if (r != MAILIMAP_NO_ERROR)
        return r;
    const mailimap_response_done* done = answer->rsp_resp_done;
    const bool accepted =
        done->rsp_type == MAILIMAP_RESP_DONE_TYPE_TAGGED &&
        done->rsp_data.rsp_tagged->rsp_cond_state->rsp_type == MAILIMAP_RESP_COND_STATE_OK;
    mailimap_response_free(answer);
    if (!accepted)
        return MAILIMAP_ERROR_LOGIN;
    imap->imap_state = MAILIMAP_STATE_AUTHENTICATED;
    return MAILIMAP_NO_ERROR;
}

// Presents the secret: the password by LOGIN, an access token by XOAUTH2, or by OAUTHBEARER
// where the server offers only that. The library's code for the outcome.
int present(mailimap* imap, const MailProfile& p, const SignOnSecret& secret) {
    const QByteArray user = p.user.toUtf8();
    QByteArray value = secret.value.toUtf8();
    int r = MAILIMAP_ERROR_LOGIN;
    if (!secret.bearer) {
        r = mailimap_login(imap, user.constData(), value.constData());
    } else {
        // What the server offers before the sign-on, asked anew after STARTTLS.
        mailimap_capability_data* caps = nullptr;
        r = mailimap_capability(imap, &caps);
        mailimap_capability_data_free(caps);
        if (ok(r) && mailimap_has_authentication(imap, "XOAUTH2")) {
            r = mailimap_oauth2_authenticate(imap, user.constData(), value.constData());
        } else if (ok(r) && mailimap_has_authentication(imap, "OAUTHBEARER")) {
            std::string response = vm::oauthBearerResponse(
                user.toStdString(), vm::endpointOf(p.store), value.toStdString());
            r = authenticateOauthBearer(imap, response);
            std::fill(response.begin(), response.end(), '\0');
        } else if (ok(r)) {
            r = MAILIMAP_ERROR_LOGIN; // no mechanism for a token: never LOGIN with it
        }
    }
    value.fill('\0');
    return r;
}

// Signs on and opens the Inbox read-only; false when the server cannot IDLE. A refused access
// token is renewed once.
bool signOn(mailimap* imap, const MailProfile& p) {
    const SignOnSecret secret = signOnSecret(p);
    int r = present(imap, p, secret);
    if (secret.bearer && r == MAILIMAP_ERROR_LOGIN)
        r = present(imap, p, signOnSecret(p, true));
    if (!ok(r))
        throw mailError(r == MAILIMAP_ERROR_STREAM ? mailerr::ConnectionLost : mailerr::LoginFailed,
                        p.user);
    require(mailimap_examine(imap, "INBOX"), mailerr::MailboxMissing, QStringLiteral("INBOX"));
    // The sign-on may change what the server offers: ask anew.
    mailimap_capability_data* caps = nullptr;
    require(mailimap_capability(imap, &caps), mailerr::Failure, QStringLiteral("CAPABILITY"));
    mailimap_capability_data_free(caps);
    return mailimap_has_idle(imap);
}

// The Inbox as the server last described it.
struct Count {
    uint32_t exists = 0;
    uint32_t uidNext = 0;
};

Count countOf(mailimap* imap) {
    const mailimap_selection_info* info = imap->imap_selection_info;
    return info ? Count{info->sel_exists, info->sel_uidnext} : Count{};
}

// Reads one command from the pipe; 0 when there is none.
char command(int fd) {
    char c = 0;
    return ::read(fd, &c, 1) == 1 ? c : 0;
}

using Steady = std::chrono::steady_clock;

// More go-ahead lines than this without a count of messages are not a server that idles.
constexpr int kMostGoAheads = 1000;

// Takes the first word off `rest`.
QByteArrayView word(QByteArrayView& rest) {
    const qsizetype space = rest.indexOf(' ');
    const QByteArrayView first = space < 0 ? rest : rest.first(space);
    rest = space < 0 ? QByteArrayView() : rest.sliced(space + 1);
    return first;
}

bool is(QByteArrayView word, QByteArrayView expected) {
    return word.compare(expected, Qt::CaseInsensitive) == 0;
}

std::optional<uint32_t> number(QByteArrayView digits) {
    if (digits.isEmpty() || digits.size() > 10)
        return std::nullopt;
    uint64_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + uint64_t(c - '0');
    }
    return n <= UINT32_MAX ? std::optional<uint32_t>(uint32_t(n)) : std::nullopt;
}

// What an untagged line tells of the Inbox.
struct Untagged {
    bool exists = false; // a count of messages
    bool news = false;   // more messages than known, or a grown UIDNEXT
};

// Takes in "* 12 EXISTS", "* 3 EXPUNGE" and "* OK [UIDNEXT 40] ...": an expunge lowers the
// count that a later EXISTS is compared with.
Untagged note(QByteArrayView line, Count& known) {
    QByteArrayView rest = line.sliced(2);
    const QByteArrayView first = word(rest);
    Untagged out;
    if (const auto n = number(first)) {
        const QByteArrayView what = word(rest);
        if (is(what, "EXISTS")) {
            out.exists = true;
            out.news = *n > known.exists;
            known.exists = *n;
        } else if (is(what, "EXPUNGE") && known.exists > 0) {
            --known.exists;
        }
    } else if (is(first, "OK") && rest.size() > 9 && is(rest.first(9), "[UIDNEXT ")) {
        rest = rest.sliced(9);
        const qsizetype close = rest.indexOf(']');
        const auto next = close < 0 ? std::nullopt : number(rest.first(close));
        if (next) {
            out.news = *next > known.uidNext;
            known.uidNext = *next;
        }
    }
    return out;
}

// Sends a command with the session's next tag.
void sendCommand(mailimap* imap, const QByteArray& name) {
    if (mailimap_send_current_tag(imap) != MAILIMAP_NO_ERROR ||
        !send(imap->imap_stream, name + "\r\n"))
        throw mailError(mailerr::ConnectionLost, QString::fromLatin1(name));
}

[[noreturn]] void lost(const char* why) {
    throw mailError(mailerr::ConnectionLost, QString::fromLatin1(why));
}

// One IDLE, from the command to the server's answer to DONE, each line read and let go as it
// comes: news is reported at once and ends the IDLE, as does a command from the pipe. The
// answers before the go-ahead and after DONE are waited for at most `timeout` each. False once
// Kelvo is to sign off.
bool idleOnce(mailimap* imap, ImapLineReader& reader, ImapIdle::Shared& shared, Count& known,
              Steady::duration timeout) {
    // As the library's own IDLE leaves the session.
    imap->imap_idle_timestamp = time(nullptr);
    if (imap->imap_selection_info) {
        imap->imap_selection_info->sel_has_exists = 0;
        imap->imap_selection_info->sel_has_recent = 0;
    }
    sendCommand(imap, "IDLE");
    auto deadline = Steady::now() + timeout;
    bool goAhead = false;
    bool done = false;
    bool news = false;
    char asked = 0;
    int goAheads = 0;
    for (;;) {
        if (goAhead && !done && (news || asked != 0)) {
            if (!send(imap->imap_stream, QByteArrayLiteral("DONE\r\n")))
                lost("DONE");
            done = true;
            deadline = Steady::now() + timeout;
        }
        const bool idling = goAhead && !done;
        QByteArrayView line;
        switch (reader.next(line, idling ? ImapLineReader::Deadline() : deadline, shared.pipe[0])) {
        case ImapLineReader::Status::Line:
            break;
        case ImapLineReader::Status::Interrupted:
            if (const char c = command(shared.pipe[0]); c == 'q' || asked == 0)
                asked = c;
            continue;
        case ImapLineReader::Status::TimedOut:
            throw mailError(mailerr::TimedOut, QStringLiteral("IDLE"));
        case ImapLineReader::Status::Closed:
            lost("IDLE");
        case ImapLineReader::Status::TooLong:
            lost("IDLE: line too long");
        }
        if (literalAtEnd(line))
            lost("IDLE: literal");
        if (line.startsWith('+')) {
            goAhead = true;
            if (++goAheads > kMostGoAheads)
                lost("IDLE: go-ahead lines");
        } else if (line.startsWith("* ")) {
            const Untagged said = note(line, known);
            if (said.exists)
                goAheads = 0;
            if (said.news && !news) {
                news = true;
                shared.tell({PushEvent::NewMail, {}, 0});
            }
        } else {
            // The answer to IDLE, the only command under way; unasked, the server broke off.
            QByteArrayView rest = line;
            word(rest);
            if (!done || !is(word(rest), "OK"))
                lost("IDLE");
            if (mailimap_selection_info* info = imap->imap_selection_info) {
                info->sel_exists = known.exists;
                info->sel_uidnext = known.uidNext;
            }
            return asked != 'q';
        }
    }
}

// Signs off, reading the server's goodbye line by line for at most `timeout`.
void signOff(mailimap* imap, ImapLineReader& reader, Steady::duration timeout) {
    sendCommand(imap, "LOGOUT");
    const auto deadline = Steady::now() + timeout;
    QByteArrayView line;
    while (reader.next(line, deadline) == ImapLineReader::Status::Line && !literalAtEnd(line) &&
           (line.startsWith('*') || line.startsWith('+'))) {
    }
}

void watch(mailimap* imap, ImapIdle::Shared& shared, Steady::duration timeout) {
    ImapLineReader reader(imap->imap_stream);
    Count known = countOf(imap);
    while (idleOnce(imap, reader, shared, known, timeout)) {
    }
    signOff(imap, reader, timeout);
}

// Closes the connection without a word: the library would sign off and read whatever answer
// the server gives, however long.
void hangUp(mailimap* imap) {
    if (imap->imap_stream)
        mailstream_close(imap->imap_stream);
    imap->imap_stream = nullptr;
    imap->imap_state = MAILIMAP_STATE_DISCONNECTED;
}

void run(const std::shared_ptr<ImapIdle::Shared>& shared, const MailProfile& p) {
    // The library writes to its socket without MSG_NOSIGNAL: a connection the server dropped
    // must fail the write, not end Kelvo.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    mailimap* imap = mailimap_new(0, nullptr);
    try {
        connect(imap, p);
        if (!signOn(imap, p)) {
            mailimap_logout(imap);
            shared->tell({PushEvent::NoIdle, {}, 0});
        } else {
            shared->idling = true;
            shared->tell({PushEvent::Connected, {}, 0});
            watch(imap, *shared, std::chrono::seconds(std::max(1, p.timeoutSeconds)));
        }
    } catch (const KelvoError& e) {
        if (quiet(e.number()))
            shared->tell({PushEvent::Lost, {}, 0});
        else
            shared->tell({PushEvent::Lost, redacted(e.description(), {p.password}), e.number()});
    } catch (...) {
        shared->tell({PushEvent::Lost, {}, 0});
    }
    hangUp(imap);
    mailimap_free(imap);
    const std::lock_guard<std::mutex> hold(shared->lock);
    shared->finished = true;
    shared->ended.notify_all();
}

} // namespace

ImapIdle::ImapIdle(const MailProfile& profile, Report report) : shared(std::make_shared<Shared>()) {
    shared->report = std::move(report);
    if (::pipe2(shared->pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw mailError(mailerr::Failure, QStringLiteral("pipe"));
    std::thread([s = shared, profile] { run(s, profile); }).detach();
}

ImapIdle::~ImapIdle() {
    close();
}

void ImapIdle::renew() {
    shared->send('r');
}

void ImapIdle::close() {
    std::unique_lock<std::mutex> hold(shared->lock);
    if (!shared->report)
        return;
    shared->report = nullptr;
    shared->send('q');
    // Signing off takes a round trip on a connection that is up. One still being made is not
    // waited for: it signs off by itself once it is up.
    if (shared->idling)
        shared->ended.wait_for(hold, std::chrono::seconds(2), [&] { return shared->finished; });
}

} // namespace kelvo
