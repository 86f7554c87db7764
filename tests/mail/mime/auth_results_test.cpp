// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "auth_results.h"
#include "mail/mime/command_check.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

const QString kPhone = QStringLiteral("taro@docomo.ne.jp");

CommandVerdict dkim(const QStringList& fields, const QString& id = QStringLiteral("mx.kelvo.jp"),
                    const QString& phone = kPhone) {
    return senderVerdict(CommandPolicy{SenderCheck::Dkim, id, {}}, fields, phone);
}

TEST(AuthResults, GrammarOfTheField) {
    const auto r = parseAuthenticationResults(
        u"mx.kelvo.jp 1 (comment (nested) \\) here);\r\n\tdkim/1 = pass reason=\"good; sig\" "
        u"header . d = docomo.ne.jp header.b=ab/c+d= ; spf=fail smtp.mailfrom=\"a b\"@x.jp;"
        u" dmarc=pass action=none header.from=docomo.ne.jp;");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->authservId, "mx.kelvo.jp");
    ASSERT_EQ(r->results.size(), 3u);
    EXPECT_EQ(r->results[0].method, "dkim");
    EXPECT_EQ(r->results[0].value(u"", u"reason"), "good; sig");
    EXPECT_EQ(r->results[0].value(u"header", u"d"), "docomo.ne.jp");
    EXPECT_EQ(r->results[0].value(u"header", u"b"), "ab/c+d=");
    EXPECT_EQ(r->results[1].value(u"smtp", u"mailfrom"), "a b@x.jp");
    EXPECT_EQ(r->results[2].result, "pass");
    EXPECT_TRUE(parseAuthenticationResults(u"mx.kelvo.jp 1; none")->results.empty());
    // Without an authserv-id, as some servers write it.
    EXPECT_EQ(parseAuthenticationResults(u"dkim=pass header.d=x.jp")->results.size(), 1u);
    for (const char16_t* broken : {u"", u"mx.kelvo.jp", u"mx.kelvo.jp; dkim=pass (open",
                                   u"mx.kelvo.jp; dkim=", u"mx.kelvo.jp; dkim=pass header.d=",
                                   u"mx.kelvo.jp; dkim=pass header.d=\"open", u"\"mx; dkim=pass"})
        EXPECT_FALSE(parseAuthenticationResults(broken))
            << QString::fromUtf16(broken).toStdString();
}

TEST(AuthResults, OnlyTheTopmostFieldOfTheOwnServerWithTheRightDomainPasses) {
    using V = CommandVerdict;
    const QString pass = QStringLiteral("mx.kelvo.jp; dkim=pass header.d=docomo.ne.jp");
    EXPECT_EQ(dkim({pass}), V::Accepted);
    EXPECT_EQ(dkim({"MX.Kelvo.JP; dkim=pass header.i=@DOCOMO.ne.jp"}), V::Accepted);
    EXPECT_EQ(dkim({pass}, "mx.kelvo.jp", "a@mail.docomo.ne.jp"), V::Accepted); // a parent
    EXPECT_EQ(dkim({"dkim=pass header.d=docomo.ne.jp"}, "-"), V::Accepted);
    EXPECT_EQ(dkim({}), V::Unverified);
    EXPECT_EQ(dkim({pass}, "mx.other.jp"), V::Unverified);
    EXPECT_EQ(dkim({"mx.kelvo.jp; spf=pass smtp.mailfrom=docomo.ne.jp"}), V::Unverified);
    EXPECT_EQ(dkim({"mx.kelvo.jp; dkim=pass (header.d=docomo.ne.jp"}), V::Unverified);
    EXPECT_EQ(dkim({"mx.kelvo.jp; dkim=fail header.d=docomo.ne.jp", pass}), V::Failed);
    EXPECT_EQ(dkim({"mx.kelvo.jp; dkim=pass header.d=evil-docomo.ne.jp"}), V::Failed);
    EXPECT_EQ(dkim({"mx.kelvo.jp; dkim=pass header.d=mail.docomo.ne.jp"}), V::Failed);
    // Text a sender controls, in comments and quoted strings, is never a result.
    EXPECT_EQ(dkim({"mx.kelvo.jp; dkim=fail (dkim=pass header.d=docomo.ne.jp) header.d=x.jp"}),
              V::Failed);
    EXPECT_EQ(dkim({"mx.kelvo.jp; dkim=fail reason=\"; dkim=pass header.d=docomo.ne.jp\""}),
              V::Failed);

    const CommandPolicy dmarc{SenderCheck::Dmarc, QStringLiteral("mx.kelvo.jp"), {}};
    EXPECT_EQ(senderVerdict(dmarc, {"mx.kelvo.jp; dmarc=pass header.from=docomo.ne.jp"}, kPhone),
              V::Accepted);
    EXPECT_EQ(senderVerdict(dmarc, {"mx.kelvo.jp; dmarc=pass header.from=ne.jp"}, kPhone),
              V::Failed);
}

// A pass beside a verdict it cannot stand with fails: part of that field is not the server's.
TEST(AuthResults, PassBesideAConflictingVerdictFails) {
    using V = CommandVerdict;
    const CommandPolicy dmarc{SenderCheck::Dmarc, QStringLiteral("mx.kelvo.jp"), {}};
    const QString pass = QStringLiteral("dmarc=pass header.from=docomo.ne.jp");
    for (const char* other : {"fail", "none", "neutral", "policy", "temperror", "permerror"}) {
        const QString beside = QStringLiteral("dmarc=%1 header.from=docomo.ne.jp").arg(other);
        EXPECT_EQ(senderVerdict(dmarc, {"mx.kelvo.jp; " + pass + "; " + beside}, kPhone), V::Failed)
            << other;
        EXPECT_EQ(senderVerdict(dmarc, {"mx.kelvo.jp; " + beside + "; " + pass}, kPhone), V::Failed)
            << other;
    }
    EXPECT_EQ(
        senderVerdict(dmarc, {"mx.kelvo.jp; " + pass + "; dmarc=pass header.from=x.jp"}, kPhone),
        V::Failed);
    // DKIM verdicts are per signature: only another of the phone's domain, or of none, conflicts.
    const QString signed_ = QStringLiteral("mx.kelvo.jp; dkim=pass header.d=docomo.ne.jp; ");
    EXPECT_EQ(dkim({signed_ + "dkim=fail header.d=docomo.ne.jp"}), V::Failed);
    EXPECT_EQ(dkim({signed_ + "dkim=neutral header.i=@DOCOMO.ne.jp"}), V::Failed);
    EXPECT_EQ(dkim({signed_ + "dkim=none"}), V::Failed);
    EXPECT_EQ(dkim({signed_ + "dkim=fail header.d=list.example"}), V::Accepted);
    EXPECT_EQ(dkim({signed_ + "dkim=pass header.d=list.example"}), V::Accepted);
}

TEST(AuthResults, PinOnTheFirstNonBlankLineInEitherWidth) {
    EXPECT_TRUE(pinMatches("12ab", "\r\n \r\n\u3000１２ａｂ \r\nZ\r\n"));
    EXPECT_TRUE(pinMatches("１２ab", "12ab"));
    EXPECT_FALSE(pinMatches("12ab", "12AB"));
    EXPECT_FALSE(pinMatches("12ab", "x\r\n12ab"));
    EXPECT_FALSE(pinMatches("12ab", ""));
}

} // namespace
} // namespace kelvo::test
