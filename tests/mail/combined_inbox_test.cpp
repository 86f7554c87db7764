// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "error_of.h"
#include "mail/combined_inbox.h"
#include "mail/core/mail_error.h"
#include "mail/memory_backend.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

MailSummary at(const QString& subject, int minute, const QString& messageId = QString()) {
    MailSummary s;
    s.subject = subject;
    s.received = QDateTime(QDate(2026, 12, 1), QTime(10, minute));
    s.messageId = messageId;
    return s;
}

// Two accounts, 会社 and Gmail, in memory; a mail to both of them; Gmail's mail last.
class CombinedInboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        company.addMessage(at("company", 0), "company text");
        company.addMessage(at("both", 5, "<x@example.jp>"));
        gmail.addMessage(at("gmail", 2), "gmail text");
        gmail.addMessage(at("both", 6, "<x@example.jp>"));
        std::vector<InboxPart> parts;
        parts.push_back({QStringLiteral("会社"), MemoryMailBackend(company).signOn({}, false), {}});
        parts.push_back({QStringLiteral("Gmail"), MemoryMailBackend(gmail).signOn({}, false), {}});
        inbox = std::make_unique<CombinedConnection>(std::move(parts), CommandPolicy{});
    }
    QStringList subjects(const std::vector<MailSummary>& list) {
        QStringList out;
        for (const MailSummary& s : list)
            out << s.subject;
        return out;
    }

    MemoryMailSystem company;
    MemoryMailSystem gmail;
    std::unique_ptr<CombinedConnection> inbox;
};

TEST_F(CombinedInboxTest, OneInboxByTimeWhoseMailIsReadAndMarkedInItsOwnAccount) {
    const std::vector<MailSummary> list = inbox->fetch(true, {});
    EXPECT_EQ(subjects(list), (QStringList{"company", "gmail", "both"}));
    EXPECT_EQ(inbox->noteText(list[1].id), "gmail text");
    EXPECT_EQ(inbox->noteText(list[0].id), "company text");
    // An id as one account alone wrote it names no mail here.
    EXPECT_EQ(errorOf([&] { inbox->noteText(gmail.inbox[0].summary.id); }),
              mailerr::InvalidMessage);

    // The mail that reached both is marked read in both.
    inbox->setSeen({list[2].id}, true);
    EXPECT_TRUE(company.inbox[1].summary.seen);
    EXPECT_TRUE(gmail.inbox[1].summary.seen);
    EXPECT_FALSE(company.inbox[0].summary.seen);
    EXPECT_EQ(subjects(inbox->fetch(true, {})), (QStringList{"company", "gmail"}));
}

TEST_F(CombinedInboxTest, AnAccountThatFailsIsNamedAndItsMarksDoNotPassForStored) {
    const std::vector<MailSummary> first = inbox->fetch(true, {});
    gmail.failNext(QStringLiteral("fetch"), mailError(mailerr::ConnectionLost));
    const std::vector<MailSummary> second = inbox->fetch(true, {});
    EXPECT_EQ(subjects(second), (QStringList{"company", "both"}));
    const std::vector<StoreDown> down = inbox->storesDown();
    ASSERT_EQ(down.size(), 1u);
    EXPECT_TRUE(down[0].error.description().endsWith(QStringLiteral("（Gmail）")));
    EXPECT_EQ(down[0].error.number(), mailerr::ConnectionLost);

    // The company's mark is stored all the same; Gmail's is not, and says so.
    EXPECT_EQ(errorOf([&] {
                  inbox->setSeen({first[0].id, first[1].id}, true);
              }),
              mailerr::ConnectionLost);
    EXPECT_TRUE(company.inbox[0].summary.seen);
    EXPECT_FALSE(gmail.inbox[0].summary.seen);

    company.failNext(QStringLiteral("fetch"), mailError(mailerr::TimedOut));
    // With no account left, the fetch fails as the first account did.
    EXPECT_EQ(errorOf([&] { inbox->fetch(true, {}); }), mailerr::TimedOut);
}

} // namespace
} // namespace kelvo::test
