// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <optional>

struct _mailstream;

namespace kelvo {

// Reads an IMAP server's answer one line at a time from libetpan's stream, taking what the
// library has buffered first, so that its own reading and ours may follow each other. A line is
// let go as soon as the next one is asked for: however much the server sends, the reader holds
// at most one longest line and one read.
class ImapLineReader {
public:
    static constexpr qsizetype kLongestLine = 64 * 1024;
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    explicit ImapLineReader(_mailstream* stream);

    enum class Status {
        Line,        // `line` holds the next line, without its CRLF
        Interrupted, // the interrupting descriptor became readable first
        TimedOut,    // the deadline passed
        Closed,      // the connection broke off or was closed
        TooLong,     // a line longer than kLongestLine
    };
    // Waits for the next line until the deadline (none: for ever) or until `interrupt` (a
    // descriptor, -1 for none) is readable. `line` stays valid until the next call.
    Status next(QByteArrayView& line, Deadline deadline = std::nullopt, int interrupt = -1);

private:
    // Waits until the stream has bytes to read; the status to stop with otherwise.
    std::optional<Status> wait(Deadline deadline, int interrupt) const;

    _mailstream* stream;
    QByteArray bytes; // what was read and not yet returned, from `start` on
    qsizetype start = 0;
};

// The length of the literal a line announces at its end ("{12}"), if it does.
std::optional<quint64> literalAtEnd(QByteArrayView line);

} // namespace kelvo
