// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// What the IMAP client takes from a FETCH answer, whatever form the server gives it.

#include "imap_client.h"
#include "mail/core/mail_error.h"
#include "scripted_server.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

TEST(ImapClientTest, FetchResponsesGiveTheirHeaderWhateverFormAndOtherItemsArePassedOver) {
    ScriptedServer server(
        "* PREAUTH ready\r\n",
        {"* 7 EXISTS\r\n* OK [UIDVALIDITY 42] valid\r\nTAG OK [READ-WRITE] selected\r\n",
         // A literal after other items, a parenthesis in a string; a quoted string; NIL; news
         // of a message's flags; and other news.
         "* 3 FETCH (FLAGS (\\Recent \\Seen) BODYSTRUCTURE (\"text\" \"plain\" (\"name\" "
         "\"a)b\") NIL NIL \"7BIT\" 3 1) UID 17 BODY[HEADER.FIELDS (FROM TO)] {22}\r\n"
         "From: a@example.jp\r\n\r\n)\r\n"
         "* 4 FETCH (UID 18 FLAGS () BODY[HEADER.FIELDS (FROM TO)] \"To: \\\"q\\\" <b@x>\")\r\n"
         "* 5 FETCH (UID 19 BODY[HEADER.FIELDS (FROM TO)] NIL)\r\n"
         "* 6 FETCH (FLAGS (\\Seen))\r\n"
         "* 8 EXISTS\r\n"
         "TAG OK fetched\r\n"});
    ServerOptions options;
    options.url = QStringLiteral("imap://127.0.0.1:%1").arg(server.port);
    options.starttls = QStringLiteral("no");
    options.timeoutSeconds = 5;
    ImapClient client(options);
    EXPECT_EQ(client.openInbox(false, mailerr::Failure), 42u);
    std::vector<FetchedItems> got;
    client.fetchHeaders({3, 4, 5, 6}, true, "FROM TO",
                        [&](FetchedItems&& items) { got.push_back(std::move(items)); });
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].number, 3u);
    EXPECT_EQ(got[0].uid, 17u);
    EXPECT_TRUE(got[0].seen);
    EXPECT_TRUE(got[0].hasSection);
    EXPECT_EQ(got[0].section, "From: a@example.jp\r\n\r\n");
    EXPECT_EQ(got[1].uid, 18u);
    EXPECT_FALSE(got[1].seen);
    EXPECT_EQ(got[1].section, "To: \"q\" <b@x>");
    EXPECT_TRUE(got[2].hasSection);
    EXPECT_EQ(got[2].section, "");
    EXPECT_EQ(got[3].uid, 0u);
    EXPECT_FALSE(got[3].hasSection);
}

// A structure nested beyond what the outline can use, from a hostile server or a mail that a
// server passed on unbounded, breaks the connection off rather than the stack; one within
// reach, with a parenthesis in a literal, is read.
TEST(ImapClientTest, AStructureNestedTooDeepBreaksTheConnectionOffAndAShallowOneIsRead) {
    const QByteArray deep = QByteArray(200000, '(') + QByteArray(200000, ')');
    ScriptedServer server("* PREAUTH ready\r\n",
                          {"* 1 EXISTS\r\n* OK [UIDVALIDITY 7] valid\r\nTAG OK selected\r\n",
                           "* 1 FETCH (UID 5 BODYSTRUCTURE (\"text\" \"plain\" (\"name\" {3}\r\n"
                           "((() NIL NIL \"7BIT\" 3 1))\r\nTAG OK fetched\r\n",
                           "* 1 FETCH (UID 5 BODYSTRUCTURE " + deep +
                               ")\r\nTAG OK fetched\r\n"});
    ServerOptions options;
    options.url = QStringLiteral("imap://127.0.0.1:%1").arg(server.port);
    options.starttls = QStringLiteral("no");
    options.timeoutSeconds = 5;
    ImapClient client(options);
    client.openInbox(false, mailerr::Failure);
    const auto shallow = client.fetchOutline(5);
    ASSERT_TRUE(shallow.has_value());
    EXPECT_THROW(client.fetchOutline(5), KelvoError);
}

} // namespace
} // namespace kelvo::test
