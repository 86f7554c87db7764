// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_idle.h"

#include "imap_client.h"
#include "imap_line_reader.h"
#include "mail/auth/sign_on_secret.h"
#include "mail/core/mail_error.h"
#include "mail/net/imap_loan.h"
#include "server_connection.h"

#include <chrono>
#include <ctime>
#include <libetpan/libetpan.h>
#include <optional>

namespace kelvo {

// The Inbox as the server last described it.
struct InboxCount {
    uint32_t exists = 0;
    uint32_t uidNext = 0;
};

namespace {

// Signing off takes a round trip on a connection that is up: stop() waits this long for it.
constexpr auto kGoodbye = std::chrono::seconds(2);

// More go-ahead lines than this without a count of messages are not a server that idles.
constexpr int kMostGoAheads = 1000;

// After news, how long the connection waits for the pass to borrow it before it idles again.
constexpr auto kPassComing = std::chrono::seconds(1);

// Failures that only mean the server is out of reach for now: the pass reports its own.
bool quiet(int number) {
    return number == mailerr::ConnectionRefused || number == mailerr::HostNotFound ||
           number == mailerr::TimedOut || number == mailerr::ConnectionLost;
}

InboxCount countOf(mailimap* imap) {
    const mailimap_selection_info* info = imap->imap_selection_info;
    return info ? InboxCount{info->sel_exists, info->sel_uidnext} : InboxCount{};
}

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
    const std::optional<quint64> n = decimal(digits, 10);
    return n && *n <= UINT32_MAX ? std::optional<uint32_t>(uint32_t(*n)) : std::nullopt;
}

// What an untagged line tells of the Inbox.
struct Untagged {
    bool exists = false; // a count of messages
    bool news = false;   // more messages than known, or a grown UIDNEXT
};

// Takes in "* 12 EXISTS", "* 3 EXPUNGE" and "* OK [UIDNEXT 40] ...": an expunge lowers the
// count that a later EXISTS is compared with.
Untagged note(QByteArrayView line, InboxCount& known) {
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

[[noreturn]] void lost(const char* why) {
    throw mailError(mailerr::ConnectionLost, QString::fromLatin1(why));
}

// The secret of one connection: the password command runs once for it. A token asked for anew
// is awaited; a stop asked meanwhile breaks the wait off.
SignOnSecret secretFor(const MailProfile& profile, bool renew, const std::stop_token& stop) {
    SignOnSecret secret = signOnSecret(profile, renew, stop);
    if (stop.stop_requested())
        throw mailError(mailerr::ConnectionLost, profile.store);
    return secret;
}

} // namespace

ImapIdle::ImapIdle(const MailProfile& profile, Report report)
    : profile(profile), interruption(std::make_shared<Interruption>()),
      loan_(std::make_shared<ImapLoan>()), report(std::move(report)),
      worker([this](std::stop_token stop) { run(std::move(stop)); }) {}

ImapIdle::~ImapIdle() {
    stop();
}

void ImapIdle::renew() {
    renewAsked = true;
    interruption->wake();
}

void ImapIdle::stop() {
    if (!worker.joinable())
        return;
    {
        std::unique_lock<std::mutex> hold(lock);
        report = nullptr;
        quit = true;
        // A pass that holds the client keeps it and signs it off itself.
        loan_->end();
        if (idling) {
            interruption->wake();
            ended.wait_for(hold, kGoodbye, [&] { return finished; });
        }
    }
    // Whatever still waits, a connection being made or a goodbye the server is slow to answer,
    // ends now.
    worker.request_stop();
    worker.join();
}

void ImapIdle::tell(const PushEvent& event) {
    const std::lock_guard<std::mutex> hold(lock);
    if (report)
        report(event);
}

void ImapIdle::run(std::stop_token stop) {
    const std::stop_callback breakOff(stop, [this] { interruption->stop(); });
    try {
        const SignOnSecret secret = secretFor(profile, false, stop);
        ServerOptions options;
        options.url = profile.store;
        options.user = profile.user;
        options.password = secret.value;
        options.bearer = secret.bearer;
        options.renewToken = [this, &stop] { return secretFor(profile, true, stop).value; };
        options.timeoutSeconds = profile.timeoutSeconds;
        options.caFile = profile.caFile;
        options.starttls = profile.starttls;
        auto client = std::make_unique<ImapClient>(options, interruption);
        client->openInbox(true, mailerr::MailboxMissing);
        if (!client->canIdle()) {
            client->logout();
            tell({PushEvent::NoIdle, {}, 0});
        } else {
            idling = true;
            tell({PushEvent::Connected, {}, 0});
            watch(client);
        }
    } catch (const KelvoError& e) {
        if (quiet(e.number()))
            tell({PushEvent::Lost, {}, 0});
        else
            tell({PushEvent::Lost, redacted(e.description(), {profile.password}), e.number()});
    } catch (...) {
        tell({PushEvent::Lost, {}, 0});
    }
    loan_->end();
    const std::lock_guard<std::mutex> hold(lock);
    finished = true;
    ended.notify_all();
}

void ImapIdle::watch(std::unique_ptr<ImapClient>& client) {
    ImapLineReader reader(client->connection(), client->session()->imap_stream);
    InboxCount known = countOf(client->session());
    loan_->open([interruption = interruption] { interruption->wake(); });
    for (;;) {
        Ending ending = idleOnce(*client, reader, known);
        // The pass that news starts comes in a moment: idling again in between would only
        // cost it two more round trips.
        if (ending == Ending::News && loan_->awaitAsked(kPassComing))
            ending = Ending::Lend;
        if (quit || ending == Ending::SignOff)
            break;
        if (ending != Ending::Lend)
            continue;
        // What the reader holds would be lost to the library's own reading.
        if (!reader.holdsNothing()) {
            loan_->refuse();
            continue;
        }
        client = lend(std::move(client), known);
        if (!client)
            return;
    }
    signOff(*client, reader);
}

std::unique_ptr<ImapClient> ImapIdle::lend(std::unique_ptr<ImapClient> client, InboxCount& known) {
    // The pass's commands are its own: a stop meanwhile must not break them off.
    client->connection().setInterruption(nullptr);
    client = loan_->lend(std::move(client));
    if (!client)
        return nullptr;
    client->connection().setInterruption(interruption);
    // The pass selected the Inbox anew and learnt of what came meanwhile: more messages than
    // before it are mail it may have missed, which asks for one more pass.
    const InboxCount now = countOf(client->session());
    if (now.exists > known.exists)
        tell({PushEvent::NewMail, {}, 0});
    known = now;
    return client;
}

// One IDLE, from the command to the server's answer to DONE, each line read and let go as it
// comes: news is reported at once and ends the IDLE, as does a renewal or a stop. The answers
// before the go-ahead and after DONE are waited for at most `timeout` each. A pass asking for the
// client ends it too.
ImapIdle::Ending ImapIdle::idleOnce(ImapClient& client, ImapLineReader& reader, InboxCount& known) {
    mailimap* imap = client.session();
    ServerConnection& wire = client.connection();
    // As the library's own IDLE leaves the session.
    imap->imap_idle_timestamp = time(nullptr);
    if (imap->imap_selection_info) {
        imap->imap_selection_info->sel_has_exists = 0;
        imap->imap_selection_info->sel_has_recent = 0;
    }
    wire.startClock();
    client.sendCommand("IDLE");
    bool goAhead = false;
    bool done = false;
    bool news = false;
    char asked = quit ? 'q' : loan_->asked() ? 'l' : 0;
    int goAheads = 0;
    for (;;) {
        if (goAhead && !done && (news || asked != 0)) {
            mailstream* stream = imap->imap_stream;
            if (mailstream_write(stream, "DONE\r\n", 6) != 6 || mailstream_flush(stream) == -1)
                lost("DONE");
            done = true;
            wire.startClock();
        }
        QByteArrayView line;
        switch (reader.next(line)) {
        case ImapLineReader::Status::Line:
            break;
        case ImapLineReader::Status::Interrupted:
            if (quit)
                asked = 'q';
            else if (renewAsked.exchange(false) && asked == 0)
                asked = 'r';
            if (asked != 'q' && loan_->asked())
                asked = 'l';
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
            if (!goAhead)
                wire.noLimit(); // idling: news may take as long as it takes
            goAhead = true;
            if (++goAheads > kMostGoAheads)
                lost("IDLE: go-ahead lines");
        } else if (line.startsWith("* ")) {
            const Untagged said = note(line, known);
            if (said.exists)
                goAheads = 0;
            if (said.news && !news) {
                news = true;
                tell({PushEvent::NewMail, {}, 0});
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
            return asked == 'q'   ? Ending::SignOff
                   : asked == 'l' ? Ending::Lend
                   : asked == 0   ? Ending::News
                                  : Ending::Again;
        }
    }
}

// Signs off, reading the server's goodbye line by line for at most `timeout`.
void ImapIdle::signOff(ImapClient& client, ImapLineReader& reader) {
    client.connection().startClock();
    client.sendCommand("LOGOUT");
    QByteArrayView line;
    while (reader.next(line) == ImapLineReader::Status::Line && !literalAtEnd(line) &&
           (line.startsWith('*') || line.startsWith('+'))) {
    }
}

} // namespace kelvo
