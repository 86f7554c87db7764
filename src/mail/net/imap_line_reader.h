// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

struct _mailstream;

namespace kelvo {

class ServerConnection;

// Reads an IMAP server's answer one line at a time from libetpan's stream, taking what the
// library has buffered first, so that its own reading and ours may follow each other. A line is
// let go as soon as the next one is asked for: however much the server sends, the reader holds
// at most one longest line and one read.
class ImapLineReader {
public:
    static constexpr qsizetype kLongestLine = 64 * 1024;

    ImapLineReader(ServerConnection& connection, _mailstream* stream);

    enum class Status {
        Line,        // `line` holds the next line, without its CRLF
        Interrupted, // the connection was woken first
        TimedOut,    // the connection's time was up
        Closed,      // the connection broke off or was stopped
        TooLong,     // a line longer than kLongestLine
    };
    // Waits for the next line within the connection's time, or until it is woken. `line` stays
    // valid until the next call.
    Status next(QByteArrayView& line);
    // True when nothing read is left unreturned: the library may read on from here.
    bool holdsNothing() const { return start >= bytes.size(); }

private:
    ServerConnection* connection;
    _mailstream* stream;
    QByteArray bytes; // what was read and not yet returned, from `start` on
    qsizetype start = 0;
};

// The length of the literal a line announces at its end ("{12}"), if it does.
std::optional<quint64> literalAtEnd(QByteArrayView line);

// A number written in at most `most` decimal digits (no sign, no blank), if the text is one.
std::optional<quint64> decimal(QByteArrayView digits, qsizetype most);

} // namespace kelvo
