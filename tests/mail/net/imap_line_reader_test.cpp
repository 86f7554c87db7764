// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imap_line_reader.h"
#include "server_connection.h"

#include <QList>
#include <gtest/gtest.h>
#include <libetpan/libetpan.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace kelvo::test {
namespace {

using Status = ImapLineReader::Status;

// A reader over libetpan's stream on our connection over one end of a socket pair; the test is
// the server. The connection's time is up at once: the reader waits for nothing.
class ImapLineReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        connection = std::make_unique<ServerConnection>(ends[0], 0, interruption);
        stream = connection->openStream();
        reader = std::make_unique<ImapLineReader>(*connection, stream);
        connection->startClock();
    }
    void TearDown() override {
        reader.reset();
        if (stream)
            mailstream_close(std::exchange(stream, nullptr));
        connection.reset();
        if (ends[1] >= 0)
            ::close(std::exchange(ends[1], -1));
    }
    void serve(const QByteArray& bytes) {
        ASSERT_EQ(::write(ends[1], bytes.constData(), size_t(bytes.size())), bytes.size());
    }
    // The lines until the reader stops, then how it stopped.
    QList<QByteArray> lines(Status& stop) {
        QList<QByteArray> out;
        QByteArrayView line;
        while ((stop = reader->next(line)) == Status::Line)
            out << line.toByteArray();
        return out;
    }

    int ends[2] = {-1, -1};
    std::shared_ptr<Interruption> interruption = std::make_shared<Interruption>();
    std::unique_ptr<ServerConnection> connection;
    mailstream* stream = nullptr;
    std::unique_ptr<ImapLineReader> reader;
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
    Status stop = Status::Line;
    EXPECT_EQ(lines(stop), (QList<QByteArray>{"* 3 EXISTS", "+ idling"}));
    EXPECT_EQ(stop, Status::TimedOut);
    serve("* 4 EXISTS\r\n");
    EXPECT_EQ(lines(stop), QList<QByteArray>{"* 4 EXISTS"});
}

TEST_F(ImapLineReaderTest, AWakeOrTheServerHangingUpEndsTheWait) {
    connection->noLimit();
    interruption->wake();
    QByteArrayView line;
    EXPECT_EQ(reader->next(line), Status::Interrupted);
    serve("* 5 EXISTS");
    ::close(std::exchange(ends[1], -1));
    EXPECT_EQ(reader->next(line), Status::Closed);
    interruption->stop();
    EXPECT_EQ(reader->next(line), Status::Closed);
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
