// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imap_line_reader.h"

#include <QList>
#include <gtest/gtest.h>
#include <libetpan/libetpan.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace kelvo::test {
namespace {

using Status = ImapLineReader::Status;

// A reader over libetpan's stream on one end of a socket pair; the test is the server.
class ImapLineReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        stream = mailstream_socket_open_timeout(ends[0], 1);
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override {
        if (stream)
            mailstream_close(stream);
        if (ends[1] >= 0)
            ::close(ends[1]);
    }
    void serve(const QByteArray& bytes) {
        ASSERT_EQ(::write(ends[1], bytes.constData(), size_t(bytes.size())), bytes.size());
    }
    // The lines until the reader stops, then how it stopped; it waits for nothing.
    QList<QByteArray> lines(Status& stop) {
        ImapLineReader::Deadline now = std::chrono::steady_clock::now();
        QList<QByteArray> out;
        QByteArrayView line;
        while ((stop = reader.next(line, now)) == Status::Line)
            out << line.toByteArray();
        return out;
    }

    int ends[2] = {-1, -1};
    mailstream* stream = nullptr;
    ImapLineReader reader{nullptr};
};

TEST_F(ImapLineReaderTest, LinesComeWholeAndNoneLongerThanTheLongest) {
    const QByteArray longest(ImapLineReader::kLongestLine, 'x');
    struct Case {
        QList<QByteArray> parts;
        QList<QByteArray> lines;
        Status stop;
    } cases[] = {
        {{"* 1 EXISTS\r\n+ idl", "ing\r\n1 OK done\r\n"},
         {"* 1 EXISTS", "+ idling", "1 OK done"},
         Status::TimedOut},
        {{"* OK " + longest.left(100) + "\r\n", "* OK " + longest.left(200)},
         {"* OK " + longest.left(100)},
         Status::TimedOut},
        {{longest + "\r\n* 2 EXISTS\r\n"}, {longest, "* 2 EXISTS"}, Status::TimedOut},
        {{longest + "x\r\n"}, {}, Status::TooLong},
        // One line without end: refused once it is longer than the longest, not read whole.
        {{"* OK " + longest}, {}, Status::TooLong},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        reader = ImapLineReader(stream);
        for (const QByteArray& part : c.parts)
            serve(part);
        Status stop = Status::Line;
        EXPECT_EQ(lines(stop), c.lines) << c.parts.first().left(20).toStdString();
        EXPECT_EQ(stop, c.stop) << c.parts.first().left(20).toStdString();
    }
}

// The library may hold the server's next lines in its buffer, which the socket no longer
// shows: they are read from there first, without waiting, and nothing is read twice.
TEST_F(ImapLineReaderTest, WhatTheLibraryHoldsComesFirstWithoutWaiting) {
    serve("* 3 EXISTS\r\n+ idling\r\n");
    ASSERT_EQ(mailstream_feed_read_buffer(stream), 22);
    reader = ImapLineReader(stream);
    Status stop = Status::Line;
    EXPECT_EQ(lines(stop), (QList<QByteArray>{"* 3 EXISTS", "+ idling"}));
    EXPECT_EQ(stop, Status::TimedOut);
    serve("* 4 EXISTS\r\n");
    EXPECT_EQ(lines(stop), QList<QByteArray>{"* 4 EXISTS"});
}

TEST_F(ImapLineReaderTest, ACommandOrTheServerHangingUpEndsTheWait) {
    reader = ImapLineReader(stream);
    int command[2];
    ASSERT_EQ(::pipe(command), 0);
    ASSERT_EQ(::write(command[1], "q", 1), 1);
    QByteArrayView line;
    EXPECT_EQ(reader.next(line, std::nullopt, command[0]), Status::Interrupted);
    ::close(command[0]);
    ::close(command[1]);
    serve("* 5 EXISTS");
    ::close(std::exchange(ends[1], -1));
    EXPECT_EQ(reader.next(line), Status::Closed);
}

TEST(ImapLiteralTest, OnlyACountInBracesAtTheEndAnnouncesALiteral) {
    const struct {
        const char* line;
        std::optional<quint64> length;
    } cases[] = {
        {"* 1 FETCH (BODY[] {12}", 12},
        {"* OK {0}", 0},
        {"a {7+}", 7},
        {"* OK {12} later", {}},
        {"* OK {}", {}},
        {"* OK {1a}", {}},
        {"* OK 12}", {}},
        {"* 2 EXISTS", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(literalAtEnd(c.line), c.length) << c.line;
}

} // namespace
} // namespace kelvo::test
