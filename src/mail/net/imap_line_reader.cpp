// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imap_line_reader.h"

#include "server_connection.h"

#include <algorithm>
#include <libetpan/libetpan.h>

namespace kelvo {

namespace {

constexpr size_t kChunk = 16 * 1024;

} // namespace

ImapLineReader::ImapLineReader(ServerConnection& connection, mailstream* stream)
    : connection(&connection), stream(stream) {}

ImapLineReader::Status ImapLineReader::next(QByteArrayView& line) {
    for (qsizetype searched = start;;) {
        const qsizetype end = bytes.indexOf('\n', searched);
        if (end >= 0) {
            qsizetype length = end - start;
            if (length > 0 && bytes[end - 1] == '\r')
                --length;
            if (length > kLongestLine)
                return Status::TooLong;
            line = QByteArrayView(bytes).sliced(start, length);
            start = end + 1;
            return Status::Line;
        }
        if (bytes.size() - start > kLongestLine + 1) // the CR may still come
            return Status::TooLong;
        switch (connection->waitReadable(stream)) {
        case ServerConnection::Ready::Data:
            break;
        case ServerConnection::Ready::Woken:
            return Status::Interrupted;
        case ServerConnection::Ready::TimedOut:
            return Status::TimedOut;
        case ServerConnection::Ready::Lost:
            return Status::Closed;
        }
        // What was returned before is let go now.
        bytes.remove(0, start);
        start = 0;
        searched = bytes.size();
        // Within the library's buffer the read never waits for more from the network.
        const size_t room =
            stream->read_buffer_len > 0 ? stream->read_buffer_len : stream->buffer_max_size;
        const size_t want = std::min({kChunk, room, size_t(kLongestLine + 2)});
        bytes.resize(searched + qsizetype(want));
        const ssize_t got = mailstream_read(stream, bytes.data() + searched, want);
        bytes.resize(searched + std::max<qsizetype>(got, 0));
        if (got <= 0)
            return Status::Closed;
    }
}

std::optional<quint64> literalAtEnd(QByteArrayView line) {
    if (!line.endsWith('}'))
        return std::nullopt;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return std::nullopt;
    QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
    if (digits.endsWith('+')) // LITERAL+, as a client sends it
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 19)
        return std::nullopt;
    quint64 n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + quint64(c - '0');
    }
    return n;
}

} // namespace kelvo
