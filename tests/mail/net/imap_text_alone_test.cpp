// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A message read without its attachments, from its structure and its text parts, must read as
// the whole message does.

#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"
#include "nested_mail.h"
#include "server_fixture.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

const QByteArray kHead = "From: a@example.jp\r\nTo: b@example.jp\r\nSubject: s\r\n"
                         "MIME-Version: 1.0\r\n";

// A base64 attachment of the size, in lines of 76.
QByteArray attachment(const QByteArray& headers, qsizetype size) {
    const QByteArray encoded = QByteArray(size, 'x').toBase64();
    QByteArray out = headers + "Content-Transfer-Encoding: base64\r\n\r\n";
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        out += encoded.mid(at, 76) + "\r\n";
    return out;
}

struct Shape {
    const char* name;
    QByteArray raw;
    bool whole; // read whole: the structure is one the quick way leaves to the full parse
};

std::vector<Shape> shapes() {
    const QByteArray sjis =
        QByteArray::fromStdString(*vm::encodeStrict(u"日本語の本文"_qs, "cp932"));
    const QByteArray big = attachment("Content-Type: application/pdf; name=\"a.pdf\"\r\n"
                                      "Content-Disposition: attachment; filename=\"a.pdf\"\r\n",
                                      400'000);
    return {
        {"plain", kHead + "Content-Type: text/plain; charset=UTF-8\r\n\r\n一行目\r\n\r\n二行目\r\n",
         false},
        {"no type at all", "Subject: bare\r\n\r\nline\r\n", false},
        {"shift_jis quoted-printable",
         kHead +
             "Content-Type: text/plain; charset=Shift_JIS\r\n"
             "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
             sjis.toPercentEncoding().replace('%', '=') + "\r\n",
         false},
        {"undeclared 8-bit", kHead + "Content-Type: text/plain\r\n\r\n" + sjis + "\r\n", false},
        {"html only",
         kHead + "Content-Type: text/html; charset=UTF-8\r\n\r\n"
                 "<p>こんにちは&nbsp;世界</p><p>二段落</p>\r\n",
         false},
        {"alternative",
         kHead +
             "Content-Type: multipart/alternative; boundary=A\r\n\r\n"
             "--A\r\nContent-Type: text/plain; charset=UTF-8\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n" +
             QByteArray("平文です").toBase64() +
             "\r\n--A\r\nContent-Type: text/html\r\n\r\n<b>html</b>\r\n--A--\r\n",
         false},
        {"mixed with attachments",
         kHead +
             "Content-Type: multipart/mixed; boundary=M\r\n\r\n"
             "--M\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" +
             QByteArray::fromStdString(*vm::encodeStrict(u"添付あり"_qs, "iso-2022-jp")) +
             "\r\n--M\r\n" + big +
             "--M\r\nContent-Type: text/plain\r\n\r\nattached text\r\n"
             "--M\r\nContent-Type: image/png\r\nContent-Disposition: inline\r\n\r\nPNG\r\n"
             "--M--\r\n",
         false},
        {"related inline images",
         kHead +
             "Content-Type: multipart/mixed; boundary=M\r\n\r\n--M\r\n"
             "Content-Type: multipart/related; boundary=R\r\n\r\n"
             "--R\r\nContent-Type: multipart/alternative; boundary=A\r\n\r\n"
             "--A\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nテキスト\r\n"
             "--A\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<img src=cid:i>\r\n--A--\r\n"
             "--R\r\nContent-Type: image/gif; name=\"i.gif\"\r\nContent-ID: <i>\r\n\r\nGIF\r\n"
             "--R--\r\n--M\r\n" +
             attachment("Content-Type: application/zip; name*=UTF-8''%E8%B3%87.zip\r\n", 1000) +
             "--M--\r\n",
         false},
        {"nested message",
         kHead + "Content-Type: multipart/mixed; boundary=M\r\n\r\n"
                 "--M\r\nContent-Type: text/plain\r\n\r\nsee the forward\r\n"
                 "--M\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n"
                 "Content-Type: text/plain\r\n\r\ninner text\r\n--M--\r\n",
         false},
        {"two plain parts",
         kHead +
             "Content-Type: multipart/mixed; boundary=M\r\n\r\n"
             "--M\r\nContent-Type: text/plain; charset=EUC-JP\r\n\r\n" +
             QByteArray::fromStdString(*vm::encodeStrict(u"一つ目"_qs, "euc-jp")) +
             "\r\n--M\r\nContent-Type: text/plain; charset=UTF-8\r\n"
             "Content-Disposition: inline\r\n\r\n二つ目\r\n--M--\r\n",
         false},
        {"unknown encoding",
         kHead + "Content-Type: text/plain\r\n"
                 "Content-Transfer-Encoding: x-uuencode\r\n\r\n"
                 "begin 644 a\r\n#86)C\r\n`\r\nend\r\n",
         true},
        {"digest",
         kHead + "Content-Type: multipart/digest; boundary=D\r\n\r\n"
                 "--D\r\n\r\nSubject: one\r\n\r\nfirst\r\n--D--\r\n",
         true},
        {"too deep", nestedMail(kHead, 70), true},
    };
}

class ImapTextAloneTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (MailServers::get().imapPort == 0)
            GTEST_FAIL() << "the mail servers are not running";
    }
    const MailServers& servers = MailServers::get();
};

TEST_F(ImapTextAloneTest, TheTextAndTheCountReadWithoutAttachmentsAreThoseOfTheWholeMail) {
    static const QString run = QString::number(QDateTime::currentMSecsSinceEpoch(), 36);
    int n = 0;
    for (const Shape& shape : shapes()) {
        SCOPED_TRACE(shape.name);
        const QString user = QStringLiteral("textalone%1-").arg(++n) + run;
        servers.deliver(user, shape.raw);
        const auto whole = vm::parseMessage(shape.raw.toStdString());
        const QString text = vm::noteText(*whole);
        const int count = static_cast<int>(vm::attachmentParts(*whole).size());

        ServerMail mail(user);
        mail.signOn();
        FetchScope scope;
        scope.withoutAttachments = true;
        mail.mapMess->setFetchUnreadOnly(true);
        mail.mapMess->Fetch(scope);
        ASSERT_EQ(mail.mapMess->MsgCount(), 1);
        EXPECT_EQ(mail.mapMess->MsgNoteText(), text);
        EXPECT_EQ(mail.mapMess->AttachmentCount(), count);
        const auto sent = [&](const char* text) {
            return std::any_of(mail.lines->begin(), mail.lines->end(),
                               [text](const QString& line) { return line.contains(text); });
        };
        EXPECT_TRUE(sent("BODYSTRUCTURE"));
        EXPECT_EQ(sent("BODY.PEEK[]"), shape.whole);
        // The PDF, the mail's second part, is never downloaded.
        if (QByteArray(shape.name) == "mixed with attachments") {
            EXPECT_TRUE(sent("BODY.PEEK[1]"));
            EXPECT_FALSE(sent("BODY.PEEK[2]"));
        }
    }
}

} // namespace
} // namespace kelvo::test
