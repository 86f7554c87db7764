// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/smtp_transport.h"

#include "mail/core/mail_error.h"
#include "sasl.h"
#include "server_connection.h"
#include "smtp_data.h"

#include <QByteArray>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <libetpan/libetpan.h>
#include <vector>

namespace kelvo {

namespace {

// Servers may end a session that waits this long between commands (they must wait five
// minutes at least): an older one is not worth the risk of a message failing on it.
constexpr qint64 kReuseWithinMs = 60 * 1000;

std::string base64(const std::string& bytes) {
    return QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())).toBase64().toStdString();
}

// The mechanisms an EHLO reply offers ("AUTH PLAIN LOGIN", or "AUTH=..." of old servers).
std::set<std::string> mechanismsOf(const char* reply) {
    std::set<std::string> out;
    for (const QByteArray& line : QByteArray(reply ? reply : "").split('\n')) {
        const QByteArray upper = line.trimmed().toUpper();
        if (!upper.startsWith("AUTH ") && !upper.startsWith("AUTH="))
            continue;
        for (const QByteArray& word : upper.mid(5).split(' '))
            if (!word.isEmpty())
                out.insert(word.toStdString());
    }
    return out;
}

} // namespace

SmtpTransport::SmtpTransport(const ServerOptions& options) : options(options) {}

SmtpTransport::~SmtpTransport() {
    close();
}

void SmtpTransport::check(int result, const QString& what, int refusedNumber) {
    if (result == MAILSMTP_NO_ERROR)
        return;
    if (wire->failed() || result == MAILSMTP_ERROR_STREAM || smtp->response_code == 0)
        throw wire->lost(what);
    const int code = smtp->response_code;
    const QString said = QString::fromUtf8(smtp->response ? smtp->response : "").trimmed();
    // A 4xx answer asks to try again later: the mail itself was not refused.
    throw mailError(code >= 400 && code < 500 ? mailerr::SendDeferred : refusedNumber,
                    QString::number(code) + u' ' + said.simplified());
}

void SmtpTransport::open() {
    const Endpoint at = endpointOf(options.url);
    wire = std::make_unique<ServerConnection>(at, implicitTls(options.url), options.caFile,
                                              options.timeoutSeconds, options.trace);
    smtp = mailsmtp_new(0, nullptr);
    if (!smtp)
        throw mailError(mailerr::Failure, QStringLiteral("mailsmtp"));
    // On a failure the library closes the stream itself.
    check(mailsmtp_connect(smtp, wire->openStream()), QStringLiteral("SMTP"), mailerr::Failure);
    hello();
    startTlsAsAsked(
        options, [&] { return (smtp->esmtp & MAILSMTP_ESMTP_STARTTLS) != 0; },
        [&] {
            check(mailesmtp_starttls(smtp), QStringLiteral("STARTTLS"), mailerr::Failure);
            wire->startTls();
            hello(); // what the server said before TLS counts no more
        });
    if (options.authenticate && !options.user.isEmpty())
        signOn();
    // Signed on: from now on each command has the whole time, and so has more data sent.
    wire->restartOnSend(true);
}

void SmtpTransport::hello() {
    int r = mailesmtp_ehlo(smtp);
    if (r != MAILSMTP_NO_ERROR && r != MAILSMTP_ERROR_STREAM && !wire->failed())
        r = mailsmtp_helo(smtp); // a server without the extensions
    check(r, QStringLiteral("EHLO"), mailerr::Failure);
    mechanisms = mechanismsOf(smtp->response);
}

bool SmtpTransport::sendLine(const std::string& line, bool credentials) {
    mailstream* stream = smtp->stream;
    mailstream_set_privacy(stream, credentials ? 0 : 1);
    const bool sent = mailstream_write(stream, line.data(), line.size()) == ssize_t(line.size()) &&
                      mailstream_write(stream, "\r\n", 2) == 2 && mailstream_flush(stream) != -1;
    mailstream_set_privacy(stream, 1);
    return sent;
}

int SmtpTransport::reply(QString& text) {
    MMAPString* buffer = mmap_string_new("");
    int code = 0;
    text.clear();
    for (bool more = true; buffer && more;) {
        const char* line = mailstream_read_line_remove_eol(smtp->stream, buffer);
        if (!line || std::strlen(line) < 3) {
            code = 0;
            break;
        }
        code = std::atoi(line);
        more = line[3] == '-';
        if (!text.isEmpty())
            text += u' ';
        text += QString::fromUtf8(line).trimmed();
    }
    if (buffer)
        mmap_string_free(buffer);
    return code;
}

int SmtpTransport::present(const std::string& mechanism) {
    const std::string user = options.user.toStdString();
    std::string secret = options.password.toStdString();
    if (mechanism == "XOAUTH2") {
        const int r = mailsmtp_oauth2_authenticate(smtp, user.c_str(), secret.c_str());
        std::fill(secret.begin(), secret.end(), '\0');
        refusal = QString::number(smtp->response_code) + u' ' +
                  QString::fromUtf8(smtp->response ? smtp->response : "").simplified();
        return r;
    }
    // The others by hand: libetpan would take PLAIN and LOGIN through a SASL library whose
    // LOGIN sends the password as an ordinary line, and has no OAUTHBEARER.
    std::string first;
    if (mechanism == "OAUTHBEARER")
        first =
            "AUTH OAUTHBEARER " + base64(sasl::oauthBearer(user, endpointOf(options.url), secret));
    else if (mechanism == "PLAIN")
        first = "AUTH PLAIN " + base64(sasl::plain(user, secret));
    else
        first = "AUTH LOGIN";
    const std::vector<std::string> steps =
        mechanism == "LOGIN" ? std::vector<std::string>{base64(user), base64(secret)}
                             : std::vector<std::string>{};
    std::fill(secret.begin(), secret.end(), '\0');
    QString text;
    if (!sendLine(first, mechanism != "LOGIN"))
        return MAILSMTP_ERROR_STREAM;
    std::fill(first.begin(), first.end(), '\0');
    int code = reply(text);
    for (size_t step = 0; code == 334 && step < steps.size(); ++step) {
        if (!sendLine(steps[step], true))
            return MAILSMTP_ERROR_STREAM;
        code = reply(text);
    }
    // A refusal may come as a challenge first: the acknowledgement lets the server say no.
    if (code == 334) {
        if (!sendLine(mechanism == "OAUTHBEARER" ? "AQ==" : "*", false))
            return MAILSMTP_ERROR_STREAM;
        code = reply(text);
    }
    smtp->response_code = code;
    refusal = text;
    if (code == 0)
        return MAILSMTP_ERROR_STREAM;
    return code == 235 ? MAILSMTP_NO_ERROR : MAILSMTP_ERROR_AUTH_LOGIN;
}

void SmtpTransport::signOn() {
    static const char* const choices[2][2] = {{"PLAIN", "LOGIN"}, {"XOAUTH2", "OAUTHBEARER"}};
    std::string mechanism;
    for (const char* m : choices[options.bearer ? 1 : 0])
        if (mechanism.empty() && mechanisms.count(m))
            mechanism = m;
    // Never a token by PLAIN or LOGIN.
    if (mechanism.empty())
        throw mailError(mailerr::LoginFailed,
                        QStringLiteral("このサーバーに使える認証方式がありません"));
    int r = present(mechanism);
    // A token may have been revoked, or run out since it was fetched: a new one, once.
    if (r != MAILSMTP_NO_ERROR && r != MAILSMTP_ERROR_STREAM && !wire->failed() && options.bearer &&
        options.renewToken) {
        options.password = options.renewToken();
        wire->startClock();
        r = present(mechanism);
    }
    if (r == MAILSMTP_NO_ERROR)
        return;
    if (wire->failed() || r == MAILSMTP_ERROR_STREAM)
        throw wire->lost(QStringLiteral("AUTH"));
    throw mailError(mailerr::LoginFailed, redacted(refusal, {options.password}));
}

void SmtpTransport::send(const std::string& message, const QString& from, const QString& to) {
    sendWritten(
        [&message](vmime::utility::outputStream& out) {
            out.write(message.data(), message.size());
        },
        from, to);
}

void SmtpTransport::sendWritten(const Writer& write, const QString& from, const QString& to) {
    if (smtp && idle.isValid() && idle.elapsed() > kReuseWithinMs)
        close();
    try {
        if (!smtp)
            open();
        const QByteArray sender = from.toUtf8();
        const QByteArray recipient = to.toUtf8();
        wire->startClock();
        check(mailsmtp_mail(smtp, sender.constData()), QStringLiteral("MAIL FROM"),
              mailerr::SendRefused);
        wire->startClock();
        check(mailsmtp_rcpt(smtp, recipient.constData()), QStringLiteral("RCPT TO"),
              mailerr::SendRefused);
        wire->startClock();
        check(mailsmtp_data(smtp), QStringLiteral("DATA"), mailerr::SendRefused);
        // The message goes out as it is written; the library then ends the data with its
        // line break and dot, and reads the answer.
        inData = true;
        wire->startClock();
        wire->traceLines(false);
        int r = MAILSMTP_ERROR_STREAM;
        try {
            SmtpData data(smtp->stream);
            write(data);
            data.finish();
            r = mailsmtp_data_message(smtp, "", 0);
        } catch (const SmtpData::Lost&) {
            // The connection failed under the data: reported below as lost.
        } catch (...) {
            wire->traceLines(true);
            throw;
        }
        inData = false;
        wire->traceLines(true);
        wire->trace(QStringLiteral("."));
        check(r, QStringLiteral("DATA"), mailerr::SendRefused);
        idle.start();
    } catch (...) {
        close();
        throw;
    }
}

void SmtpTransport::close() {
    if (smtp) {
        // Inside a message's data a goodbye would be a line of it: the connection ends
        // without one, and the server drops the unfinished message.
        if (smtp->stream && !wire->failed() && !inData) {
            wire->startClock();
            mailsmtp_quit(smtp); // the goodbye, without waiting for the answer
        }
        if (smtp->stream)
            mailstream_close(smtp->stream);
        smtp->stream = nullptr;
        mailsmtp_free(smtp);
        smtp = nullptr;
    }
    inData = false;
    wire.reset();
    idle.invalidate();
}

} // namespace kelvo
