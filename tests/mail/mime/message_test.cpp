// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/message_reader.h"
#include "mail/mime/message_writer.h"
#include "mail/mime/plain_header.h"
#include "mail/mime/vmime_text.h"
#include "nested_mail.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using vmime::shared_ptr;

// Bytes of the text in the charset, for building test messages.
std::string in(const QString& text, const char* charset) {
    return *vm::encodeStrict(text, charset);
}

std::string b64(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toBase64().toStdString();
}

shared_ptr<vmime::message> parse(const std::string& raw) {
    vm::initialize();
    auto m = vmime::make_shared<vmime::message>();
    m->parse(raw);
    return m;
}

MailSummary summaryOf(const std::string& raw) {
    MailSummary s;
    vm::readHeader(*parse(raw)->getHeader(), QDateTime(QDate(2000, 1, 1), QTime(0, 0)), s);
    return s;
}

const QString kSubject = QStringLiteral("会議の件（再送）");
const QString kBody = QStringLiteral("山田様\r\n\r\n明日の会議は１０時からです。\r\n");

TEST(MessageReadTest, Iso2022JpSubjectAndBody) {
    const std::string raw = "From: =?ISO-2022-JP?B?" + b64(in("山田太郎", "iso-2022-jp")) +
                            "?= <taro@example.jp>\r\n"
                            "Subject: =?ISO-2022-JP?B?" +
                            b64(in(kSubject, "iso-2022-jp")) +
                            "?=\r\n"
                            "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
                            "Content-Transfer-Encoding: 7bit\r\n\r\n" +
                            in(kBody, "iso-2022-jp");
    const MailSummary s = summaryOf(raw);
    EXPECT_EQ(s.subject, kSubject);
    EXPECT_EQ(s.origDisplayName, "山田太郎");
    EXPECT_EQ(s.origAddress, "taro@example.jp");
    EXPECT_EQ(vm::noteText(*parse(raw)), kBody);
}

TEST(MessageReadTest, ShiftJisAndEucJpAndUtf8InEveryTransferEncoding) {
    const std::string sjis = "Subject: =?Shift_JIS?B?" + b64(in(kSubject, "shift_jis")) +
                             "?=\r\n"
                             "Content-Type: text/plain; charset=Shift_JIS\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\n" +
                             b64(in(kBody, "shift_jis"));
    EXPECT_EQ(summaryOf(sjis).subject, kSubject);
    EXPECT_EQ(vm::noteText(*parse(sjis)), kBody);
    // Shift_JIS from Windows carries the NEC and IBM rows and the Windows wave dash.
    const std::string windows = "\x87\x40\x87\x55\xfb\xfc\x81\x60";
    const std::string cp932 = "Subject: =?Shift_JIS?B?" + b64(windows) +
                              "?=\r\nContent-Type: text/plain; charset=Shift_JIS\r\n\r\n" + windows;
    EXPECT_EQ(summaryOf(cp932).subject, "①Ⅱ髙～");
    EXPECT_EQ(vm::noteText(*parse(cp932)), "①Ⅱ髙～");

    const std::string euc = "Subject: =?EUC-JP?B?" + b64(in(kSubject, "euc-jp")) +
                            "?=\r\n"
                            "Content-Type: text/plain; charset=EUC-JP\r\n"
                            "Content-Transfer-Encoding: 8bit\r\n\r\n" +
                            in(kBody, "euc-jp");
    EXPECT_EQ(summaryOf(euc).subject, kSubject);
    EXPECT_EQ(vm::noteText(*parse(euc)), kBody);

    const std::string utf8b = "Subject: =?UTF-8?B?" + b64(vm::utf8(kSubject)) +
                              "?=\r\n"
                              "Content-Type: text/plain; charset=UTF-8\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n" +
                              b64(vm::utf8(kBody));
    EXPECT_EQ(summaryOf(utf8b).subject, kSubject);
    EXPECT_EQ(vm::noteText(*parse(utf8b)), kBody);

    const std::string utf8q =
        "Subject: =?UTF-8?Q?caf=C3=A9_=E4=BC=9A=E8=AD=B0?=\r\n"
        "Content-Type: text/plain; charset=UTF-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
        "=E4=BC=9A=E8=AD=B0=E3=81=A7=E3=81=99\r\nsecond line=\r\n continues\r\n";
    EXPECT_EQ(summaryOf(utf8q).subject, "café 会議");
    EXPECT_EQ(vm::noteText(*parse(utf8q)), "会議です\r\nsecond line continues\r\n");
}

TEST(MessageReadTest, RawEightBitJapaneseWithoutCharsetIsGuessed) {
    const std::string raw =
        "Subject: " + in(kSubject, "shift_jis") + "\r\n\r\n" + in(kBody, "shift_jis");
    EXPECT_EQ(summaryOf(raw).subject, kSubject);
    EXPECT_EQ(vm::noteText(*parse(raw)), kBody);
    const std::string utf8 = "Subject: " + vm::utf8(kSubject) + "\r\n\r\nbody";
    EXPECT_EQ(summaryOf(utf8).subject, kSubject);
}

// A charset no converter knows would otherwise stop every fetch of the Inbox.
TEST(MessageReadTest, UnknownCharsetIsReadAsIfUndeclared) {
    const std::string raw = "Subject: =?x-unknown-8?B?" + b64(vm::utf8(kSubject)) +
                            "?= =?unknown-8?Q?x?=\r\n"
                            "Content-Type: text/plain; charset=x-unknown\r\n\r\n" +
                            in(kBody, "shift_jis");
    EXPECT_EQ(summaryOf(raw).subject, kSubject + u'x');
    EXPECT_EQ(vm::noteText(*parse(raw)), kBody);
    // An address written in such a charset, with bytes that are not ASCII.
    const MailSummary s =
        summaryOf("From: =?ETF-8?B?broken?=\xff\xff@example.jp\r\nTo: me@example.jp\r\n\r\n");
    EXPECT_FALSE(s.origAddress.isEmpty());
    ASSERT_EQ(s.recipients.size(), 1u);
    EXPECT_EQ(s.recipients[0].address, "me@example.jp");
}

// Replacement characters would hide what the sender wrote; the word as written does not.
TEST(MessageReadTest, UndecodableEncodedWordsStayAsWritten) {
    const std::string bad = "=?ISO-2022-JP?B?!!notbase64?=";
    const std::string notJis = "=?ISO-2022-JP?B?" + b64("\x80\x81") + "?=";
    const std::string good = "=?UTF-8?B?" + b64(vm::utf8("会議")) + "?=";
    const std::string raw = "From: " + bad + " <a@example.jp>\r\nSubject: " + good + " " + bad +
                            "\r\n =?UTF-8?Q?=ZZ?= " + notJis + " " + good + "\r\nTo: =?UTF-8?B?" +
                            b64("\xff") + "?= <b@example.jp>\r\n\r\nx";
    const MailSummary s = summaryOf(vm::withUndecodableWordsKept(raw));
    EXPECT_EQ(s.subject,
              QString::fromStdString("会議 " + bad + " =?UTF-8?Q?=ZZ?= " + notJis + " 会議"));
    EXPECT_EQ(s.origDisplayName, QString::fromStdString(bad));
    EXPECT_EQ(s.origAddress, "a@example.jp");
    ASSERT_EQ(s.recipients.size(), 1u);
    EXPECT_EQ(s.recipients[0].displayName,
              QString::fromStdString("=?UTF-8?B?" + b64("\xff") + "?="));
    EXPECT_EQ(s.recipients[0].address, "b@example.jp");
    // The reader's own parse does the same, and leaves the body alone.
    const auto m = vm::parseMessage(raw);
    EXPECT_EQ(vm::toQString(*m->getHeader()->findFieldValue<vmime::text>("Subject")), s.subject);
    EXPECT_EQ(vm::noteText(*m), "x");
}

// VMime's parser throws on two encoded words of one charset when the first is not text in it.
TEST(MessageReadTest, FieldsTheParserRejectsAreLeftOutOfAnOtherwiseReadableMessage) {
    const std::string bad = "=?x-bad?B?abc?= =?x-bad?B?eR?=";
    const std::string raw =
        "From: Jiro <jiro@example.jp>\r\nSubject: " + bad +
        "\r\nTo: me@example.jp\r\nContent-Type: multipart/mixed; boundary=b\r\n"
        "\r\n--b\r\nContent-Type: text/plain\r\nX-Note: " +
        bad + "\r\n\r\nline\r\n--b\r\nContent-Type: application/pdf\r\n\r\n%PDF\r\n--b--\r\n";
    EXPECT_ANY_THROW(vmime::message().parse(raw));
    const auto m = vm::parseMessage(raw);
    MailSummary s;
    vm::readHeader(*m->getHeader(), QDateTime(), s);
    EXPECT_EQ(s.subject, QString());
    EXPECT_EQ(s.origAddress, "jiro@example.jp");
    ASSERT_EQ(s.recipients.size(), 1u);
    EXPECT_EQ(vm::noteText(*m), "line");
    EXPECT_EQ(vm::attachmentParts(*m).size(), 1u);
    // A field without a name is a field to the parser as well.
    EXPECT_EQ(vm::noteText(*vm::parseMessage(":" + bad + "\r\n\r\ntext")), "text");
    // So are names of 8-bit bytes and names with a blank before the colon.
    for (const std::string name : {"X-\x80\xff", "Cc "}) {
        MailSummary t;
        vm::readHeader(*vm::parseHeader(name + ": " + bad + "\r\nSubject: Z\r\n\r\n"), {}, t);
        EXPECT_EQ(t.subject, "Z") << name;
    }
}

TEST(MessageReadTest, SenderWithoutNameShowsTheAddressAndRecipientsComeToThenCc) {
    const std::string raw = "From: plain@example.jp\r\n"
                            "To: =?UTF-8?B?" +
                            b64("鈴木") +
                            "?= <suzuki@example.jp>, bare@example.jp\r\n"
                            "Cc: Group: one@example.jp, two@example.jp;\r\n"
                            "Subject: hi\r\n\r\nx";
    const MailSummary s = summaryOf(raw);
    EXPECT_EQ(s.origAddress, "plain@example.jp");
    EXPECT_EQ(s.origDisplayName, "plain@example.jp");
    ASSERT_EQ(s.recipients.size(), 4u);
    EXPECT_EQ(s.recipients[0].type, kRecipTo);
    EXPECT_EQ(s.recipients[0].displayName, "鈴木");
    EXPECT_EQ(s.recipients[0].address, "suzuki@example.jp");
    EXPECT_EQ(s.recipients[1].displayName, "bare@example.jp");
    EXPECT_EQ(s.recipients[2].type, kRecipCc);
    EXPECT_EQ(s.recipients[3].address, "two@example.jp");
}

TEST(MessageReadTest, ReceivedTimeIsTheNewestReceivedHeaderThenDateThenFallback) {
    const std::string both = "Received: from a by b; Tue, 1 Dec 2026 09:30:00 +0900\r\n"
                             "Received: from c by d; Tue, 1 Dec 2026 09:00:00 +0900\r\n"
                             "Date: Tue, 1 Dec 2026 08:00:00 +0900\r\n\r\nx";
    const QDateTime expected(QDate(2026, 12, 1), QTime(0, 30), Qt::UTC);
    EXPECT_EQ(summaryOf(both).received, expected.toLocalTime());
    EXPECT_EQ(summaryOf(both).received.timeSpec(), Qt::LocalTime);
    const std::string dateOnly = "Date: Tue, 1 Dec 2026 08:00:00 +0900\r\n\r\nx";
    EXPECT_EQ(summaryOf(dateOnly).received,
              QDateTime(QDate(2026, 11, 30), QTime(23, 0), Qt::UTC).toLocalTime());
    EXPECT_EQ(summaryOf("Subject: x\r\n\r\nx").received, QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    // A time zone offset of years is damage: the next source of the time is taken.
    const std::string badZone =
        "Received: from mx; Tue, 1 Dec 2026 09:30:00 +918030999\r\n" + dateOnly;
    EXPECT_EQ(summaryOf(badZone).received, summaryOf(dateOnly).received);
}

// The quick reader takes the forms nearly all mail has, reading them as the full parse does,
// and leaves every other form to it.
TEST(MessageReadTest, PlainHeadersAreReadQuicklyAsTheFullParseReadsThem) {
    const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
    auto full = [&](const std::string& head) {
        MailSummary s;
        vm::readHeader(*vm::parseHeader(head), fallback, s);
        return s;
    };
    const std::string name = "=?ISO-2022-JP?B?" + b64(in("山田太郎", "iso-2022-jp")) + "?=";
    for (const std::string& head : std::vector<std::string>{
             "Received: from mx by box; Tue, 1 Dec 2026 09:30:00 +0900\r\nFrom: " + name +
                 " <taro@example.jp>\r\nTo: Me <me@example.jp>, \"Second, Person\" "
                 "<two@example.jp>\r\nCc: three@example.jp,\r\n <four@example.jp>\r\n"
                 "Subject:  =?UTF-8?B?" +
                 b64("お知らせ") + "?= \r\n\r\n",
             "From: plain@example.jp\r\nDate: Tue, 1 Dec 2026 08:00:00 +0900\r\n"
             "Authentication-Results: mx.example.jp;\r\n\tdkim=pass header.d=example.jp\r\n"
             "Authentication-Results: other; spf=none\r\n\r\n",
             "From: =?UTF-8?Q?=FF=FE?= <x@example.jp>\r\nSubject: =?UTF-8?Q?=FF=FE?=\r\n\r\n",
             "Subject: no sender\r\n\r\n"}) {
        MailSummary quick;
        ASSERT_TRUE(vm::readPlainHeader(head, fallback, quick)) << head;
        EXPECT_EQ(quick, full(head)) << head;
    }
    for (const std::string& head : std::vector<std::string>{
             "To: Team: a@example.jp, b@example.jp;\r\n\r\n", "From: x@example.jp (Home)\r\n\r\n",
             "From: Jiro  Suzuki <jiro@example.jp>\r\n\r\n",
             "From: \"a\\\"b\" <x@example.jp>\r\n\r\n",
             "Subject: " + in("件名", "shift_jis") + "\r\n\r\n",
             "From: a@example.jp, b@example.jp\r\n\r\n", "From: <a@@example.jp>\r\n\r\n",
             "From : a@example.jp\r\n\r\n", "Authentication-Results\t: mx; dkim=pass\r\n\r\n",
             "From: =?x-bad?B?abc?= =?x-bad?B?eR?= <x@example.jp>\r\n\r\n",
             "From: <=?x@example.jp>\r\n\r\n"}) {
        MailSummary quick;
        EXPECT_FALSE(vm::readPlainHeader(head, fallback, quick)) << head;
    }
}

// Who sent a mail and what it asks must not depend on the reader: a second From or Subject, in
// any form, is seen by the full parse, and the quick reader leaves such a header to it.
TEST(MessageReadTest, SecondFromOrSubjectIsSeenInEveryForm) {
    const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
    const std::string rejected = "=?x-bad?B?abc?= =?x-bad?B?eR?=";
    for (const std::string& head : std::vector<std::string>{
             "From : evil@evil.example\r\nFrom: phone@example.jp\r\n\r\n",
             "From: phone@example.jp\r\nSubject\t: G\r\nsubject: Z\r\n\r\n",
             "From: phone@example.jp\r\nFROM:evil@evil.example\r\n\r\n",
             // The parser throws on the first; it ends the header at a line of blanks after a
             // line that is no field, where the header goes on for the server.
             "From: " + rejected + " <evil@evil.example>\r\nFrom: phone@example.jp\r\n\r\n",
             "From: phone@example.jp\r\nX\r\n \r\nFrom: evil@evil.example\r\n\r\n"}) {
        MailSummary header, message, quick;
        vm::readHeader(*vm::parseHeader(head), fallback, header);
        vm::readHeader(*vm::parseMessage(head + "text")->getHeader(), fallback, message);
        EXPECT_TRUE(header.repeatedFromOrSubject) << head;
        EXPECT_TRUE(message.repeatedFromOrSubject) << head;
        EXPECT_FALSE(vm::readPlainHeader(head, fallback, quick)) << head;
    }
    MailSummary one;
    vm::readHeader(*vm::parseHeader("From : a@example.jp\r\nSubject: Z\r\n\r\n"), fallback, one);
    EXPECT_FALSE(one.repeatedFromOrSubject);
    EXPECT_EQ(one.origAddress, "a@example.jp");
}

// Authentication-Results is structured: an encoded word a sender got into it (as its address,
// its HELO name, a comment) stays as written in both readers.
TEST(MessageReadTest, AuthenticationResultsAreReadAsWrittenAndNeverDecoded) {
    const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
    const std::string head =
        "From: phone@example.jp\r\nAuthentication-Results: mx.kelvo.jp; spf=none\r\n "
        "smtp.mailfrom==?us-ascii?q?x=3B_dkim=3Dpass?=@evil.example;\r\n\tdkim=none  "
        "(=?us-ascii?q?=29=3B_dkim=3Dpass?=) \r\n\r\n";
    const QStringList written{"mx.kelvo.jp; spf=none smtp.mailfrom==?us-ascii?q?x=3B_dkim=3Dpass?="
                              "@evil.example;\tdkim=none  (=?us-ascii?q?=29=3B_dkim=3Dpass?=)"};
    MailSummary header, message, quick;
    vm::readHeader(*vm::parseHeader(head), fallback, header);
    vm::readHeader(*vm::parseMessage(head + "text")->getHeader(), fallback, message);
    ASSERT_TRUE(vm::readPlainHeader(head, fallback, quick));
    EXPECT_EQ(header.authenticationResults, written);
    EXPECT_EQ(message.authenticationResults, written);
    EXPECT_EQ(quick.authenticationResults, written);
}

const std::string kMultipart =
    "Subject: files\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
    "--XX\r\nContent-Type: multipart/alternative; boundary=\"YY\"\r\n\r\n"
    "--YY\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nplain text\r\n"
    "--YY\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>html text</p>\r\n"
    "--YY--\r\n"
    "--XX\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
    "Content-Disposition: attachment; filename=\"a.pdf\"\r\nContent-Transfer-Encoding: "
    "base64\r\n\r\n"
    "JVBERi0xLjQK\r\n"
    "--XX\r\nContent-Type: image/jpeg; name=\"b.jpg\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "/9j/4AAQ\r\n"
    "--XX--\r\n";

TEST(MessageReadTest, MultipartWithTwoAttachments) {
    auto m = parse(kMultipart);
    EXPECT_EQ(vm::attachmentParts(*m).size(), 2u);
    EXPECT_EQ(vm::noteText(*m), "plain text");
}

// The parts' contents are read from the downloaded text itself: each part comes out as VMime's
// own parse of the whole text has it.
TEST(MessageReadTest, PartsKeepTheirContentsAsVMimeReadsThem) {
    std::string lfOnly = kMultipart;
    for (size_t at = lfOnly.find("\r\n"); at != std::string::npos; at = lfOnly.find("\r\n", at))
        lfOnly.erase(at, 1);
    const std::string cases[] = {
        kMultipart,
        lfOnly,
        "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\na=3Db\r\n",
        // No boundary parameter, a preamble, and no last delimiter.
        "Content-Type: multipart/mixed\r\n\r\npreamble\r\n--B\r\n\r\none\r\n--B\r\n"
        "Content-Type: application/zip\r\n\r\ntwo\r\n",
    };
    // A multipart without a boundary parameter is written with a random one.
    auto generated = [](const vmime::message& m) {
        return QString::fromStdString(m.generate()).replace(QRegularExpression("=_[\\w+-]+"), "B");
    };
    for (const std::string& raw : cases) {
        vmime::message expected;
        expected.parse(raw);
        EXPECT_EQ(generated(*vm::parseMessage(raw)), generated(expected)) << raw;
    }
}

TEST(MessageReadTest, HtmlOnlyMessageIsConvertedToPlainText) {
    const std::string raw = "Content-Type: text/html; charset=UTF-8\r\n\r\n"
                            "<html><head><style>p{color:red}</style></head><body>"
                            "<p>一行目&amp;続き</p><p>二行目<br>三行目</p></body></html>";
    const QString text = vm::noteText(*parse(raw));
    EXPECT_TRUE(text.contains("一行目&続き\r\n"));
    EXPECT_TRUE(text.contains("二行目\r\n三行目"));
    EXPECT_FALSE(text.contains("color"));
    EXPECT_FALSE(text.contains("<p>"));
}

TEST(MessageReadTest, InlinePicturesOfAnHtmlTextAreNotAttachments) {
    const std::string raw =
        "Content-Type: multipart/related; boundary=\"R\"\r\n\r\n"
        "--R\r\nContent-Type: text/html\r\n\r\n<img src=cid:p1>\r\n"
        "--R\r\nContent-Type: image/png\r\nContent-ID: <p1>\r\n\r\nxx\r\n--R--\r\n";
    EXPECT_EQ(vm::attachmentParts(*parse(raw)).size(), 0u);
}

// VMime's parser recurses once per level: thousands of levels overflowed the stack.
TEST(MessageReadTest, MultipartsNestedBeyondTheLimitAreOneOpaquePart) {
    const auto m = vm::parseMessage(nestedMail("Subject: deep\r\n", 100000).toStdString());
    EXPECT_EQ(vm::noteText(*m), "readable");
    ASSERT_EQ(vm::attachmentParts(*m).size(), 1u);
    EXPECT_EQ(vm::attachmentParts(*m)[0]->getBody()->getContentType().generate(),
              "application/octet-stream");
    // The levels up to the limit are read as they are.
    EXPECT_EQ(vm::noteText(*vm::parseMessage(nestedMail("", 60).toStdString())),
              "readable\r\ninnermost");
}

// Outgoing mail.

struct Sent {
    std::string raw;
    shared_ptr<vmime::message> parsed;
    std::string header; // the raw header block
};

Sent build(const QString& subject, const QString& text,
           const std::vector<shared_ptr<const vmime::bodyPart>>& attachments = {}) {
    OutgoingMail mail;
    mail.subject = subject;
    mail.noteText = text;
    mail.recipient = MailRecipient{kRecipTo, "phone@example.jp", "携帯"};
    Sent s;
    s.raw =
        vm::buildMessage(mail, MailRecipient{kRecipTo, "taro@example.jp", "山田太郎"}, attachments);
    s.parsed = parse(s.raw);
    s.header = s.raw.substr(0, s.raw.find("\r\n\r\n"));
    return s;
}

QString headerText(const Sent& s, const char* field) {
    return vm::toQString(*s.parsed->getHeader()->findFieldValue<vmime::text>(field));
}

// Every line within 78 characters (all these headers can be folded so), every encoded word
// within 75, every ISO-2022-JP word back in ASCII at its end.
void expectSevenBitHeaderWithShortLines(const std::string& header) {
    for (unsigned char c : header)
        ASSERT_LT(c, 0x80) << header;
    for (const QString& line : QString::fromStdString(header).split("\r\n"))
        EXPECT_LE(line.size(), 78) << line.toStdString();
    static const QRegularExpression word(R"(=\?([^?]+)\?B\?([^?]*)\?=)");
    auto it = word.globalMatch(QString::fromStdString(header));
    while (it.hasNext()) {
        const auto m = it.next();
        EXPECT_LE(m.capturedLength(), 75);
        const QByteArray bytes = QByteArray::fromBase64(m.captured(2).toLatin1());
        if (m.captured(1) == "ISO-2022-JP" && bytes.contains('\x1b')) {
            EXPECT_TRUE(bytes.endsWith("\x1b(B")) << m.captured().toStdString();
        }
    }
}
void expectSevenBitHeaderWithShortLines(const Sent& s) {
    expectSevenBitHeaderWithShortLines(s.header);
}

TEST(MessageWriteTest, JapaneseGoesOutAsIso2022JpInEncodedWordsAndSevenBitText) {
    const QString longSubject = kSubject.repeated(8);
    const Sent s = build(longSubject, kBody);
    expectSevenBitHeaderWithShortLines(s);
    EXPECT_NE(s.header.find("Subject: =?ISO-2022-JP?B?"), std::string::npos);
    EXPECT_EQ(headerText(s, "Subject"), longSubject);
    EXPECT_EQ(QString::fromStdString(s.parsed->getBody()->getCharset().getName()).toLower(),
              "iso-2022-jp");
    EXPECT_EQ(s.parsed->getBody()->getEncoding().getName(), "7bit");
    EXPECT_EQ(vm::noteText(*s.parsed), kBody);
    auto from = s.parsed->getHeader()->findFieldValue<vmime::mailbox>("From");
    EXPECT_EQ(vm::toQString(from->getName()), "山田太郎");
    EXPECT_EQ(from->getEmail().toString(), "taro@example.jp");
    auto to = s.parsed->getHeader()->findFieldValue<vmime::addressList>("To");
    EXPECT_EQ(to->toMailboxList()->getMailboxAt(0)->getEmail().toString(), "phone@example.jp");
    EXPECT_TRUE(s.parsed->getHeader()->hasField("Date"));
    EXPECT_NE(s.header.find("Message-Id: <kelvo."), std::string::npos);
    EXPECT_NE(s.header.find("@example.jp>"), std::string::npos);
}

TEST(MessageWriteTest, HalfWidthKatakanaBecomesFullWidth) {
    const Sent s = build("ﾃｽﾄｶﾞﾊﾟｽ｡", "ｶﾀｶﾅ ABC ﾎﾟｰﾄ");
    EXPECT_EQ(headerText(s, "Subject"), "テストガパス。");
    EXPECT_EQ(vm::noteText(*s.parsed), "カタカナ ABC ポート");
    EXPECT_NE(s.header.find("ISO-2022-JP"), std::string::npos);
}

TEST(MessageWriteTest, JisCharactersInTheirOtherFormsStayIso2022Jp) {
    const Sent s = build("10:00〜12:00 − 完了", "価格 ¢50 〜 £3");
    EXPECT_NE(s.header.find("Subject: =?ISO-2022-JP?B?"), std::string::npos);
    EXPECT_EQ(headerText(s, "Subject"), "10:00～12:00 － 完了");
    EXPECT_EQ(QString::fromStdString(s.parsed->getBody()->getCharset().getName()).toLower(),
              "iso-2022-jp");
    EXPECT_EQ(vm::noteText(*s.parsed), "価格 ￠50 ～ ￡3");
}

TEST(MessageWriteTest, TextWithoutAnIso2022JpFormGoesOutAsUtf8) {
    const Sent s = build("①番の件 😀", "髙橋さん ①");
    expectSevenBitHeaderWithShortLines(s);
    EXPECT_NE(s.header.find("=?UTF-8?B?"), std::string::npos);
    EXPECT_EQ(headerText(s, "Subject"), "①番の件 😀");
    EXPECT_EQ(QString::fromStdString(s.parsed->getBody()->getCharset().getName()).toLower(),
              "utf-8");
    EXPECT_EQ(vm::noteText(*s.parsed), "髙橋さん ①");
    // The converter writes these in the Windows rows of ISO-2022-JP, which strict readers
    // do not know.
    const Sent windows = build("第Ⅱ部", "①から③まで");
    EXPECT_NE(windows.header.find("Subject: =?UTF-8?B?"), std::string::npos);
    EXPECT_EQ(headerText(windows, "Subject"), "第Ⅱ部");
    EXPECT_EQ(windows.parsed->getBody()->getCharset().getName(), "utf-8");
    EXPECT_EQ(windows.parsed->getBody()->getEncoding().getName(), "base64");
    EXPECT_EQ(vm::noteText(*windows.parsed), "①から③まで");
}

// A line over 998 characters is refused by mail servers ("500 Line too long").
TEST(MessageWriteTest, LongNamesAndSubjectsAreFoldedAndReadBackWhole) {
    QString words;
    for (int i = 0; words.size() < 995; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    const QString texts[] = {words.left(995).trimmed(), QString(995, u'x'), kSubject.repeated(60),
                             QStringLiteral("①番の件").repeated(100)};
    for (const QString& text : texts) {
        OutgoingMail mail;
        mail.subject = text;
        mail.noteText = "t";
        mail.recipient = MailRecipient{kRecipTo, "phone@example.jp", text};
        const std::string raw =
            vm::buildMessage(mail, MailRecipient{kRecipTo, "taro@example.jp", text}, {});
        const std::string header = raw.substr(0, raw.find("\r\n\r\n"));
        expectSevenBitHeaderWithShortLines(header);
        const MailSummary s = summaryOf(raw);
        EXPECT_EQ(s.subject, text);
        EXPECT_EQ(s.origDisplayName, text);
        ASSERT_EQ(s.recipients.size(), 1u);
        EXPECT_EQ(s.recipients[0].displayName, text);
        EXPECT_EQ(s.recipients[0].address, "phone@example.jp");
    }
    EXPECT_EQ(vm::encodedWords(QString(20, u'x') + " y", 70), "xxxxxxxxxxxxxxxxxxxx\r\n y");
}

TEST(MessageWriteTest, AsciiSubjectStaysReadableAndLongLinesAreBase64) {
    const Sent s = build("Re: status", QString("あ").repeated(600));
    EXPECT_NE(s.header.find("Subject: Re: status\r\n"), std::string::npos);
    EXPECT_EQ(s.parsed->getBody()->getEncoding().getName(), "base64");
    EXPECT_EQ(vm::noteText(*s.parsed), QString("あ").repeated(600));
    // A subject that looks like an encoded word is encoded itself.
    EXPECT_EQ(headerText(build("=?x?B?y?=", "t"), "Subject"), "=?x?B?y?=");
}

TEST(MessageWriteTest, ForwardCarriesTheAttachmentsAfterTheText) {
    auto original = parse(kMultipart);
    const Sent s = build("Fwd", "転送です", vm::attachmentParts(*original));
    EXPECT_EQ(vm::attachmentParts(*s.parsed).size(), 2u);
    EXPECT_EQ(vm::noteText(*s.parsed), "転送です");
    EXPECT_NE(s.raw.find("a.pdf"), std::string::npos);
    EXPECT_NE(s.raw.find("JVBERi0xLjQK"), std::string::npos);
}

TEST(MessageWriteTest, MailboxValuesQuoteOrEncodeNames) {
    EXPECT_EQ(vm::mailboxValue("", "a@b.jp", 4), "a@b.jp");
    EXPECT_EQ(vm::mailboxValue("a@b.jp", "a@b.jp", 4), "a@b.jp");
    EXPECT_EQ(vm::mailboxValue("Taro \"T\" Y", "a@b.jp", 4), "\"Taro \\\"T\\\" Y\" <a@b.jp>");
    EXPECT_EQ(vm::mailboxValue("太郎", "a@b.jp", 4), "=?ISO-2022-JP?B?GyRCQkBPOhsoQg==?= <a@b.jp>");
}

} // namespace
} // namespace kelvo::test
