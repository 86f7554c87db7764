// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "smtp_data.h"

#include <functional>
#include <gtest/gtest.h>
#include <libetpan/libetpan.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvo::test {
namespace {

// What a libetpan stream over one end of a socket pair writes, read at the other end.
std::string written(const std::function<void(mailstream*)>& write) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return "socketpair failed";
    mailstream* stream = mailstream_socket_open(ends[0]);
    write(stream);
    mailstream_flush(stream);
    mailstream_close(stream); // closes its end
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(ends[1], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(n));
    ::close(ends[1]);
    return out;
}

// The data as libetpan sends a whole message, its last CR LF left to the end of the data.
std::string whole(std::string message) {
    if (message.size() >= 2 && message.compare(message.size() - 2, 2, "\r\n") == 0)
        message.resize(message.size() - 2);
    return written([&](mailstream* s) {
        mailstream_send_data(s, message.data(), message.size(), 0, nullptr);
    });
}

// The same message in pieces cut at the given places, ended as the transport ends it.
std::string inPieces(const std::string& message, const std::vector<size_t>& cuts) {
    return written([&](mailstream* s) {
        SmtpData data(s);
        size_t from = 0;
        for (size_t cut : cuts) {
            data.write(message.data() + from, cut - from);
            from = cut;
        }
        data.write(message.data() + from, message.size() - from);
        data.finish();
        mailstream_write(s, "\r\n.\r\n", 5);
    });
}

TEST(SmtpDataTest, PiecesCutAnywhereGoOutAsTheWholeMessageWould) {
    const std::string messages[] = {
        "",
        "\r\n",
        "a\r\n",
        "a",
        ".\r\n",
        "Subject: x\r\n\r\n.hidden\r\n..two\r\n.\r\nend\r\n",
        "lone LF\n.dot\nlast\n",
        "lone CR\r.dot\rlast\r",
        "mixed\r\r\n\n\r.\r\n\r\n",
        "no end\r\n.",
    };
    for (const std::string& message : messages) {
        const std::string expected = whole(message);
        EXPECT_EQ(inPieces(message, {}), expected) << message;
        std::vector<size_t> bytewise;
        for (size_t i = 1; i < message.size(); ++i) {
            EXPECT_EQ(inPieces(message, {i}), expected) << message << " cut at " << i;
            bytewise.push_back(i);
        }
        EXPECT_EQ(inPieces(message, bytewise), expected) << message << " byte by byte";
    }
}

} // namespace
} // namespace kelvo::test
