// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cutting_proxy.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/message_writer.h"
#include "mail/mime/vmime_text.h"
#include "server_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>
#include <vmime/vmime.hpp>

namespace kelvo::test {
namespace {

std::string jis(const QString& text) {
    return *vm::encodeStrict(text, "iso-2022-jp");
}
QByteArray b64(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toBase64();
}
QByteArray bytes(const std::string& s) {
    return QByteArray::fromStdString(s);
}
std::string in(const QString& text, const char* charset) {
    return *vm::encodeStrict(text, charset);
}

// A plain message with the subject, the minutes since 9:00 in its Received: header, and text.
QByteArray plainMessage(const QString& subject, int minute = 0,
                        const QString& body = QStringLiteral("本文")) {
    const QDateTime at = QDateTime(QDate(2026, 12, 1), QTime(9, 0), Qt::OffsetFromUTC, 9 * 3600)
                             .addSecs(minute * 60);
    return "Received: from mx by box; " + at.toString(Qt::RFC2822Date).toLatin1() +
           "\r\nFrom: =?ISO-2022-JP?B?" + b64(jis("佐藤花子")) +
           "?= <hanako@example.jp>\r\n"
           "To: Taro <taro@example.jp>\r\nCc: jiro@example.jp\r\n"
           "Subject: =?UTF-8?B?" +
           subject.toUtf8().toBase64() +
           "?=\r\n"
           "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           body.toUtf8().toBase64() + "\r\n";
}

class ImapTest : public ::testing::Test {
protected:
    void SetUp() override {
        // ctest starts the servers first (mail_servers_start).
        if (MailServers::get().imapPort == 0)
            GTEST_FAIL() << "the mail servers are not running";
    }
    // A mailbox of the test's own, new for each run.
    static QString userFor() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        static const QString run = QString::number(QDateTime::currentMSecsSinceEpoch(), 36);
        return QString::fromLatin1(info->name()).toLower().left(40) + u'-' + run;
    }
    const MailServers& servers = MailServers::get();
};

TEST_F(ImapTest, SignOnWithGoodAndBadPassword) {
    ServerMail good(userFor());
    good.signOn();
    EXPECT_NE(good.mapSess->SessionID(), 0);
    good.mapSess->SignOff();

    ServerMail bad(userFor(), QStringLiteral("[wrong]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                             "user = someone\npassword = not-the-password\n")
                                  .arg(servers.imapPort));
    QString description;
    EXPECT_EQ(errorOf([&] { bad.signOn("wrong"); }, &description), mailerr::LoginFailed);
    EXPECT_TRUE(description.startsWith("サインオンが拒否されました")) << description.toStdString();
    EXPECT_FALSE(description.contains("not-the-password"));
    EXPECT_EQ(bad.mapSess->SessionID(), 0);
}

TEST_F(ImapTest, ServerNotRunningIsConnectionRefused) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    ServerMail mail(userFor(), QStringLiteral("[down]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                              "user = x\npassword = y\n")
                                   .arg(port));
    QString description;
    EXPECT_EQ(errorOf([&] { mail.signOn("down"); }, &description), mailerr::ConnectionRefused);
    EXPECT_TRUE(description.contains("接続が拒否されました")) << description.toStdString();
}

TEST_F(ImapTest, SilentServerTimesOutWhileTheWindowKeepsWorking) {
    QTcpServer silent; // accepts into its backlog and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    ServerMail mail(userFor(),
                    QStringLiteral("[silent]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                   "user = x\npassword = y\ntimeout = 1\n")
                        .arg(silent.serverPort()));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    EXPECT_EQ(errorOf([&] { mail.signOn("silent"); }), mailerr::TimedOut);
    EXPECT_GT(ticks, 5); // the user-interface thread went on handling events meanwhile
}

TEST_F(ImapTest, CertificateNotTrustedUnlessTheProfileNamesItsCa) {
    const QString login =
        QStringLiteral("user = %1\npassword = %2\n").arg(userFor(), servers.password);
    const QString imaps =
        QStringLiteral("store = imaps://127.0.0.1:%1\n").arg(servers.imapsPort) + login;
    const QString starttls =
        QStringLiteral("store = imap://127.0.0.1:%1\nstarttls = required\n").arg(servers.imapPort) +
        login;
    const QString ca = "ca-file = " + servers.caFile + "\n";
    ServerMail mail(userFor(), "[tls]\n" + imaps + "[tls-ca]\n" + imaps + ca + "[starttls]\n" +
                                   starttls + "[starttls-ca]\n" + starttls + ca);
    QString description;
    EXPECT_EQ(errorOf([&] { mail.signOn("tls"); }, &description), mailerr::CertificateNotTrusted);
    EXPECT_TRUE(description.startsWith("サーバーの証明書を信頼できません"))
        << description.toStdString();
    EXPECT_EQ(errorOf([&] { mail.signOn("starttls"); }), mailerr::CertificateNotTrusted);
    mail.signOn("tls-ca");
    EXPECT_NE(mail.mapSess->SessionID(), 0);
    mail.mapSess->SignOff();
    mail.signOn("starttls-ca");
    EXPECT_NE(mail.mapSess->SessionID(), 0);
}

TEST_F(ImapTest, FetchAllAndUnreadOnlyNewestFirst) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("古い", 1), true);
    servers.deliver(user, plainMessage("新しい", 30));
    servers.deliver(user, plainMessage("中間", 10));
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(false);
    EXPECT_EQ(mail.subjects(), (QStringList{"新しい", "中間", "古い"}));
    mail.fetch(true);
    EXPECT_EQ(mail.subjects(), (QStringList{"新しい", "中間"}));
    mail.mapMess->setMsgIndex(0);
    EXPECT_EQ(mail.mapMess->MsgOrigAddress(), "hanako@example.jp");
    EXPECT_EQ(mail.mapMess->MsgOrigDisplayName(), "佐藤花子");
    EXPECT_EQ(mail.mapMess->MsgDateReceived(),
              QDateTime(QDate(2026, 12, 1), QTime(0, 30), Qt::UTC).toLocalTime());
    EXPECT_EQ(mail.mapMess->RecipCount(), 2);
    EXPECT_EQ(mail.mapMess->RecipType(), kRecipTo);
    EXPECT_EQ(mail.mapMess->RecipDisplayName(), "Taro");
    mail.mapMess->setRecipIndex(1);
    EXPECT_EQ(mail.mapMess->RecipType(), kRecipCc);
    EXPECT_EQ(mail.mapMess->RecipAddress(), "jiro@example.jp");
    EXPECT_TRUE(mail.mapMess->MsgID().contains('.'));
}

// "Z " is no finish command: the blanks of a subject are part of it, all but the conventional
// one after the colon.
TEST_F(ImapTest, SubjectKeepsItsBlanksButTheOneAfterTheColon) {
    const QString user = userFor();
    servers.deliver(user, "Subject: Z \r\n\r\nx\r\n");
    servers.deliver(user, "Subject:  =?UTF-8?B?" + QStringLiteral("Ｇ").toUtf8().toBase64() +
                              "?= \r\n\r\nx\r\n");
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    // Neither has a date: their order is not the test's.
    QStringList subjects = mail.subjects();
    subjects.sort();
    EXPECT_EQ(subjects, (QStringList{" Ｇ ", "Z "}));
}

const QString kSubject = QStringLiteral("会議の件（再送）");
const QString kBody = QStringLiteral("山田様\r\n明日の会議は１０時からです。\r\n");

// Two encoded words of one charset, the first not text in it: VMime's header parser throws on
// them. One such message must neither stop the fetch of the others nor be left out.
TEST_F(ImapTest, AHeaderTheParserRejectsStopsNoFetch) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("一通目", 1));
    servers.deliver(user, "Received: from mx by box; Tue, 1 Dec 2026 09:02:00 +0900\r\n"
                          "From: Jiro <jiro@example.jp>\r\n"
                          "Subject: =?x-bad?B?abc?= =?x-bad?B?eR?=\r\n\r\nbroken\r\n");
    servers.deliver(user, plainMessage("三通目", 3));
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    EXPECT_TRUE(mail.reported.empty());
    ASSERT_EQ(mail.subjects(), (QStringList{"三通目", QString(), "一通目"}));
    mail.mapMess->setMsgIndex(1);
    EXPECT_EQ(mail.mapMess->MsgOrigAddress(), "jiro@example.jp");
    EXPECT_EQ(mail.mapMess->MsgDateReceived(),
              QDateTime(QDate(2026, 12, 1), QTime(0, 2), Qt::UTC).toLocalTime());
    EXPECT_EQ(mail.mapMess->MsgNoteText(), "broken\r\n");
}

TEST_F(ImapTest, JapaneseSubjectsAndTextsInEveryCharsetAndEncoding) {
    const QString user = userFor();
    servers.deliver(user, "Subject: =?ISO-2022-JP?B?" + b64(jis(kSubject)) +
                              "?=\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" +
                              bytes(jis(kBody)));
    servers.deliver(user, "Subject: =?Shift_JIS?B?" + b64(in(kSubject, "shift_jis")) +
                              "?=\r\nContent-Type: text/plain; charset=Shift_JIS\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n" +
                              b64(in(kBody, "shift_jis")));
    servers.deliver(user, "Subject: =?UTF-8?B?" + kSubject.toUtf8().toBase64() +
                              "?=\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n" +
                              kBody.toUtf8().toBase64());
    servers.deliver(user, "Subject: =?UTF-8?Q?" + kSubject.toUtf8().toPercentEncoding("", "", '=') +
                              "?=\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                              "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
                              kBody.toUtf8().toPercentEncoding("\r\n", "", '='));
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    ASSERT_EQ(mail.mapMess->MsgCount(), 4);
    for (int i = 0; i < 4; ++i) {
        mail.mapMess->setMsgIndex(i);
        EXPECT_EQ(mail.mapMess->MsgSubject(), kSubject) << i;
        EXPECT_EQ(mail.mapMess->MsgNoteText(), kBody) << i;
    }
}

TEST_F(ImapTest, MultipartWithTwoAttachmentsAndHtmlOnlyMessages) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("x", 0).left(0) +
                              "Subject: files\r\nMIME-Version: 1.0\r\n"
                              "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
                              "--XX\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n添付です\r\n"
                              "--XX\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
                              "Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n"
                              "--XX\r\nContent-Type: image/jpeg; name=\"b.jpg\"\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n/9j/4AAQ\r\n--XX--\r\n");
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    ASSERT_EQ(mail.mapMess->MsgCount(), 1);
    EXPECT_EQ(mail.mapMess->AttachmentCount(), 2);
    EXPECT_EQ(mail.mapMess->MsgNoteText(), "添付です");

    servers.deliver(user, "Subject: html\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
                          "<html><body><p>こんにちは</p><p>二段落目<br>改行</p></body></html>\r\n");
    mail.fetch(true);
    ASSERT_EQ(mail.mapMess->MsgCount(), 1);
    EXPECT_EQ(mail.mapMess->AttachmentCount(), 0);
    const QString text = mail.mapMess->MsgNoteText();
    EXPECT_TRUE(text.startsWith("こんにちは\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("二段落目\r\n改行")) << text.toStdString();
}

TEST_F(ImapTest, ReadMarksAreStoredAtSignOffAndNotBefore) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("A", 1));
    servers.deliver(user, plainMessage("B", 2));
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    mail.mapMess->setMsgIndex(0);
    const QString id = mail.mapMess->MsgID();
    EXPECT_EQ(mail.mapMess->MsgNoteText(), "本文");
    EXPECT_EQ(mail.unreadOnServer(), 2); // reading the text did not mark it at the server
    EXPECT_FALSE(mail.mapMess->ReadMarkStored());
    mail.mapSess->SignOff();
    EXPECT_EQ(mail.unreadOnServer(), 1);
    EXPECT_TRUE(mail.mapMess->ReadMarkStored(id));
    EXPECT_TRUE(mail.reported.empty());
}

TEST_F(ImapTest, APassCutShortLeavesItsMessagesUnread) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("A", 1));
    ServerMail mail(user);
    mail.readFirstUnread();
    mail.restart(); // the program ends in the middle of the pass
    EXPECT_EQ(mail.unreadOnServer(), 1);
    mail.signOn();
    mail.fetch(true);
    EXPECT_EQ(mail.subjects(), QStringList{"A"});
}

TEST_F(ImapTest, KeepUnreadBringsAStoredMessageBack) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("A", 1));
    ServerMail mail(user);
    mail.readFirstUnread();
    mail.mapSess->SignOff();
    EXPECT_EQ(mail.unreadOnServer(), 0);
    mail.signOn();
    mail.mapMess->KeepUnread();
    EXPECT_EQ(mail.unreadOnServer(), 1);
    mail.mapSess->SignOff();
    EXPECT_EQ(mail.unreadOnServer(), 1);
}

TEST_F(ImapTest, SigningOffAndOnInsideAMessageLoop) {
    const QString user = userFor();
    for (int i = 0; i < 3; ++i)
        servers.deliver(user,
                        plainMessage(QString::number(i), i, QStringLiteral("text %1").arg(i)));
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    QStringList seen;
    for (int i = 0; i < mail.mapMess->MsgCount(); ++i) {
        mail.mapMess->setMsgIndex(i);
        const QString text = mail.mapMess->MsgNoteText();
        mail.mapMess->Compose();
        mail.mapMess->setMsgSubject(QStringLiteral("転送"));
        mail.mapMess->setMsgNoteText(text);
        mail.mapMess->setRecipDisplayName(QStringLiteral("phone@example.jp"));
        mail.mapMess->Send();
        mail.mapSess->SignOff();
        mail.signOn();
        seen << mail.mapMess->MsgSubject() + ":" + text;
    }
    EXPECT_EQ(seen, (QStringList{"2:text 2", "1:text 1", "0:text 0"}));
    EXPECT_EQ(mail.unreadOnServer(), 0);
}

// A message the sink received, parsed.
struct Delivered {
    MailServers::Received envelope;
    vmime::shared_ptr<vmime::message> message;
    std::string header;
};

Delivered lastDelivered(const MailServers& servers) {
    const auto all = servers.received();
    Delivered d;
    if (all.empty())
        return d;
    d.envelope = all.back();
    const std::string raw = d.envelope.data.toStdString();
    vm::initialize();
    d.message = vmime::make_shared<vmime::message>();
    d.message->parse(raw);
    d.header = raw.substr(0, raw.find("\r\n\r\n"));
    return d;
}

TEST_F(ImapTest, ComposeAndSendArriveAtTheServerWithEncodedHeaders) {
    ServerMail mail(userFor());
    mail.signOn();
    mail.mapMess->Compose();
    mail.mapMess->setMsgSubject(QStringLiteral("件名「ﾃｽﾄ」です"));
    mail.mapMess->setMsgNoteText(QStringLiteral("一行目\r\n二行目\r\n"));
    mail.mapMess->setRecipAddress(QStringLiteral("compose@example.jp"));
    mail.mapMess->setRecipDisplayName(QStringLiteral("携帯電話"));
    mail.mapMess->Send();
    const Delivered d = lastDelivered(servers);
    ASSERT_TRUE(d.message);
    EXPECT_EQ(d.envelope.from, "taro@example.jp");
    EXPECT_EQ(d.envelope.to, QStringList{"compose@example.jp"});
    for (unsigned char c : d.header)
        ASSERT_LT(c, 0x80) << "raw 8-bit header although the server offers SMTPUTF8";
    auto h = d.message->getHeader();
    EXPECT_EQ(vm::toQString(*h->findFieldValue<vmime::text>("Subject")), "件名「テスト」です");
    EXPECT_NE(d.header.find("Subject: =?ISO-2022-JP?B?"), std::string::npos);
    EXPECT_EQ(QString::fromStdString(d.message->getBody()->getCharset().getName()).toLower(),
              "iso-2022-jp");
    EXPECT_EQ(vm::noteText(*d.message), "一行目\r\n二行目\r\n");
    auto from = h->findFieldValue<vmime::mailbox>("From");
    EXPECT_EQ(vm::toQString(from->getName()), "山田太郎");
    auto to = h->findFieldValue<vmime::addressList>("To")->toMailboxList()->getMailboxAt(0);
    EXPECT_EQ(vm::toQString(to->getName()), "携帯電話");
    EXPECT_TRUE(h->hasField("Date"));
    EXPECT_TRUE(h->hasField("Message-Id"));
}

// What a strict reader, Python's own codecs, makes of a received message; empty when it
// cannot read it.
QJsonObject strictlyDecoded(const QByteArray& raw) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(KELVO_STRICT_DECODE)});
    python.write(raw);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000)) {
        python.kill();
        python.waitForFinished();
    }
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

TEST_F(ImapTest, LongSubjectsAndWindowsCharactersArriveReadableByAStrictReader) {
    QString words;
    for (int i = 0; words.size() < 995; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    struct Case {
        QString subject, body, charset;
    };
    const Case cases[] = {
        {words.left(995), QStringLiteral("本文です"), QStringLiteral("iso-2022-jp")},
        {QString(995, u'x'), QStringLiteral("かな漢字カナ"), QStringLiteral("iso-2022-jp")},
        {QStringLiteral("①Ⅱの件"), QStringLiteral("①Ⅱ 会議"), QStringLiteral("utf-8")},
    };
    ServerMail mail(userFor());
    mail.signOn();
    for (const Case& c : cases) {
        mail.mapMess->Compose();
        mail.mapMess->setMsgSubject(c.subject);
        mail.mapMess->setMsgNoteText(c.body);
        mail.mapMess->setRecipAddress(QStringLiteral("strict@example.jp"));
        mail.mapMess->setRecipDisplayName(c.subject);
        mail.mapMess->Send();
        const QJsonObject read = strictlyDecoded(servers.received().back().data);
        EXPECT_EQ(read.value("subject").toString(), c.subject);
        EXPECT_TRUE(read.value("to").toString().contains("strict@example.jp"));
        EXPECT_EQ(read.value("body").toString().trimmed(), c.body); // 7 bits end in CR LF
        EXPECT_EQ(read.value("charset").toString(), c.charset);
    }
}

TEST_F(ImapTest, ForwardCarriesTheAttachmentsAndARefusedRecipientIsAnError) {
    const QString user = userFor();
    servers.deliver(user, "Subject: files\r\nMIME-Version: 1.0\r\n"
                          "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
                          "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
                          "--XX\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
                          "Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n"
                          "--XX\r\nContent-Type: image/png; name=\"b.png\"\r\n"
                          "Content-Disposition: attachment; filename=\"b.png\"\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\niVBORw0K\r\n--XX--\r\n");
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    mail.mapMess->Forward();
    EXPECT_EQ(mail.mapMess->AttachmentCount(), 2);
    mail.mapMess->setMsgNoteText(QStringLiteral("転送します"));
    mail.mapMess->setRecipDisplayName(QStringLiteral("forward@example.jp"));
    mail.mapMess->Send();
    const Delivered d = lastDelivered(servers);
    ASSERT_TRUE(d.message);
    EXPECT_EQ(d.envelope.to, QStringList{"forward@example.jp"});
    EXPECT_EQ(vm::attachmentParts(*d.message).size(), 2u);
    EXPECT_EQ(vm::noteText(*d.message), "転送します");
    EXPECT_EQ(mail.unreadOnServer(), 1); // forwarding did not read the original

    mail.mapMess->Compose();
    mail.mapMess->setRecipAddress(QStringLiteral("refuse@example.jp"));
    QString description;
    EXPECT_EQ(errorOf([&] { mail.mapMess->Send(); }, &description), mailerr::SendRefused);
    EXPECT_TRUE(description.contains("550")) << description.toStdString();
}

// The message with the bytes that differ from one writing to the next made alike: the date,
// the message's id and the boundaries VMime makes up.
std::string settled(std::string raw) {
    static const QRegularExpression varying(QStringLiteral("^(Date|Message-I[Dd]): [^\r]*\r\n"),
                                            QRegularExpression::MultilineOption);
    QString text = QString::fromLatin1(raw.data(), qsizetype(raw.size()));
    text.remove(varying);
    static const QRegularExpression boundary(QStringLiteral("boundary=\"?([^\";\r]+)"));
    QStringList found;
    for (const auto& m : boundary.globalMatch(text))
        found << m.captured(1);
    for (qsizetype i = 0; i < found.size(); ++i)
        text.replace(found[i], QStringLiteral("BOUNDARY%1").arg(i));
    return text.toLatin1().toStdString();
}

TEST_F(ImapTest, AForwardArrivesAsTheWholeComposedMessageWouldBeBrokenOriginalsToo) {
    const QByteArray originals[] = {
        // Text, a text attachment with lines that begin with dots, a binary one in base64.
        "Subject: files\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
        "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
        "--XX\r\nContent-Type: text/plain; name=\"notes.txt\"\r\n"
        "Content-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n"
        ".\r\n..two\r\n.hidden\r\nplain\r\n"
        "--XX\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
        "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQKAAECAwQFBgcICQ==\r\n--XX--\r\n",
        // Broken: base64 that is not, 8-bit bytes in a 7-bit part, no closing boundary.
        "Subject: broken\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"YY\"\r\n\r\n"
        "--YY\r\nContent-Type: text/plain\r\n\r\n.\r\n"
        "--YY\r\nContent-Type: image/png; name=\"b.png\"\r\n"
        "Content-Disposition: attachment; filename=\"b.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n%%not base64%%\r\n.\xff\xfe\r\n"
        "--YY\r\nContent-Type: application/pdf; name=\"c.pdf\"\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n\x80\x81.\r\n.end\r\n",
    };
    const QString user = userFor();
    for (const QByteArray& raw : originals)
        servers.deliver(user, raw);
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(false);
    ASSERT_EQ(mail.mapMess->MsgCount(), 2);
    const MailRecipient from{kRecipTo, "taro@example.jp", "山田太郎"};
    for (int i = 0; i < 2; ++i) {
        mail.mapMess->setMsgIndex(i);
        const QByteArray& raw = originals[mail.mapMess->MsgSubject() == "files" ? 0 : 1];
        const QString subject = QStringLiteral("FW: 転送 %1").arg(i);
        const MailRecipient to{kRecipTo, QStringLiteral("fw%1@example.jp").arg(i), "携帯"};
        mail.mapMess->Forward();
        mail.mapMess->setMsgSubject(subject);
        mail.mapMess->setMsgNoteText(QStringLiteral("転送します"));
        mail.mapMess->setRecipAddress(to.address);
        mail.mapMess->setRecipDisplayName(to.displayName);
        mail.mapMess->Send();
        const auto sent = servers.received().back();
        ASSERT_EQ(sent.to, QStringList{to.address});
        const auto original = vm::parseMessage(raw.toStdString());
        const std::string whole =
            vm::buildMessage(OutgoingMail{subject, QStringLiteral("転送します"), to, {}}, from,
                             vm::attachmentParts(*original));
        EXPECT_EQ(settled(sent.data.toStdString()), settled(whole)) << i;
    }
}

TEST_F(ImapTest, AttachmentsAreCountedFromTheMessageWhoseTextWasReadAndStayKnownAfterSignOff) {
    const QString user = userFor();
    servers.deliver(user, "Subject: files\r\nMIME-Version: 1.0\r\n"
                          "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
                          "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
                          "--XX\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--XX--\r\n");
    servers.deliver(user, "Subject: plain\r\n\r\nno files\r\n");
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    ASSERT_EQ(mail.mapMess->MsgCount(), 2);
    for (int i : {0, 1}) {
        mail.mapMess->setMsgIndex(i);
        mail.mapMess->MsgNoteText();
    }
    mail.mapSess->SignOff();
    const int sent = mail.linesStartingWith(QString());
    for (int i : {0, 1}) {
        mail.mapMess->setMsgIndex(i);
        EXPECT_EQ(mail.mapMess->AttachmentCount(), mail.mapMess->MsgSubject() == "files" ? 1 : 0);
    }
    EXPECT_EQ(mail.linesStartingWith(QString()), sent);
}

TEST_F(ImapTest, SendsOfASignOnShareOneSessionAndAFailedSendGivesTheNextAFreshOne) {
    const QString user = userFor();
    ServerMail mail(user);
    mail.signOn();
    auto send = [&](const QString& to) {
        mail.mapMess->Compose();
        mail.mapMess->setMsgSubject(to.section(u'@', 0, 0));
        mail.mapMess->setRecipAddress(to);
        QString description;
        const int error = errorOf([&] { mail.mapMess->Send(); }, &description);
        return std::make_pair(error, description);
    };
    auto arrived = [&] { return lastDelivered(servers).envelope.to.value(0); };
    const QString flaky = QStringLiteral("flaky1-%1@example.jp").arg(user);
    EXPECT_EQ(send(QStringLiteral("one@example.jp")).first, 0);
    EXPECT_EQ(send(QStringLiteral("two@example.jp")).first, 0);
    EXPECT_EQ(send(QStringLiteral("two-more@example.jp")).first, 0);
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("EHLO")), 1);
    // A transaction that ended cleanly leaves nothing to reset.
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("MAIL FROM")), 3);
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("RSET")), 0);
    // Refused at the recipient, then at the end of the data: each send after starts clean.
    const auto refused = send(QStringLiteral("refuse@example.jp"));
    EXPECT_EQ(refused.first, mailerr::SendRefused);
    EXPECT_TRUE(refused.second.contains("550")) << refused.second.toStdString();
    EXPECT_EQ(send(QStringLiteral("three@example.jp")).first, 0);
    EXPECT_EQ(arrived(), "three@example.jp");
    const auto once = send(flaky);
    EXPECT_EQ(once.first, mailerr::SendRefused);
    EXPECT_TRUE(once.second.contains("554")) << once.second.toStdString();
    EXPECT_EQ(send(flaky).first, 0);
    EXPECT_EQ(arrived(), flaky);
    EXPECT_EQ(send(QStringLiteral("four@example.jp")).first, 0);
    EXPECT_EQ(arrived(), "four@example.jp");
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("QUIT")), 2);
    mail.mapSess->SignOff();
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("EHLO")), 3);
    EXPECT_EQ(mail.linesStartingWith(QStringLiteral("QUIT")), 3);
}

// The password goes to the SMTP server by one mechanism, the one it offers (LOGIN here), once:
// a wrong one is refused without a second try and shows nowhere.
TEST_F(ImapTest, ASendSignsOnWithThePasswordOnceByTheMechanismTheServerOffers) {
    for (const QString& password : {servers.password, QStringLiteral("not-the-password")}) {
        ServerMail mail(userFor());
        // Mail kept locally: only the SMTP server sees the password.
        const QString box = mail.temp.filePath(QStringLiteral("Maildir"));
        for (const char* sub : {"/cur", "/new", "/tmp"})
            ASSERT_TRUE(QDir().mkpath(box + QLatin1String(sub)));
        mail.writeProfiles(QStringLiteral("[smtp]\nstore = %1\ntransport = smtp://127.0.0.1:%2\n"
                                          "user = taro\npassword = %3\nfrom = taro@example.jp\n")
                               .arg(box)
                               .arg(servers.smtpPort)
                               .arg(password));
        mail.signOn(QStringLiteral("smtp"));
        mail.lines->clear();
        mail.mapMess->Compose();
        mail.mapMess->setRecipAddress(QStringLiteral("login@example.jp"));
        QString description;
        const int error = errorOf([&] { mail.mapMess->Send(); }, &description);
        if (password == servers.password) {
            EXPECT_EQ(error, 0) << description.toStdString();
            EXPECT_EQ(lastDelivered(servers).envelope.to, QStringList{"login@example.jp"});
        } else {
            EXPECT_EQ(error, mailerr::LoginFailed) << description.toStdString();
            EXPECT_FALSE(description.contains(password)) << description.toStdString();
        }
        EXPECT_EQ(mail.linesStartingWith(QStringLiteral("AUTH LOGIN")), 1);
        const QString sent = mail.lines->join(u'\n');
        EXPECT_FALSE(sent.contains(password) || sent.contains(password.toUtf8().toBase64()))
            << sent.toStdString();
    }
}

TEST_F(ImapTest, ALargeMailForwardedIsDownloadedOnceAndItsAttachmentArrivesWhole) {
    const QString user = userFor();
    // A 30 MB mail: 22 MB of attachment, in base64 lines of 76.
    QByteArray attachment(22'000'000, '\0');
    for (qsizetype i = 0; i < attachment.size(); ++i)
        attachment[i] = static_cast<char>((i * 2654435761u) >> 24);
    QByteArray raw = "Subject: big\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
                     "--XX\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
                     "--XX\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
                     "Content-Transfer-Encoding: base64\r\n\r\n";
    const QByteArray encoded = attachment.toBase64();
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        raw += encoded.mid(at, 76) + "\r\n";
    servers.deliver(user, raw + "--XX--\r\n");
    raw.clear();
    ServerMail mail(user);
    mail.signOn();
    mail.fetch(true);
    EXPECT_EQ(mail.mapMess->MsgNoteText(), "see attached");
    mail.mapMess->Forward();
    mail.mapMess->setMsgNoteText(QStringLiteral("転送します"));
    mail.mapMess->setRecipAddress(QStringLiteral("big@example.jp"));
    mail.mapMess->Send();
    EXPECT_EQ(std::count_if(mail.lines->begin(), mail.lines->end(),
                            [](const QString& line) { return line.contains("BODY.PEEK[]"); }),
              1);
    const Delivered d = lastDelivered(servers);
    ASSERT_TRUE(d.message);
    EXPECT_EQ(d.envelope.to, QStringList{"big@example.jp"});
    const auto parts = vm::attachmentParts(*d.message);
    ASSERT_EQ(parts.size(), 1u);
    std::string received;
    vmime::utility::outputStreamStringAdapter out(received);
    parts[0]->getBody()->getContents()->extract(out);
    EXPECT_TRUE(QByteArray::fromStdString(received) == attachment) << received.size();
}

TEST_F(ImapTest, ResolveNameFindsTheAddressBooksEntries) {
    const QString user = userFor();
    ServerMail mail(user);
    const QString book = mail.temp.filePath(QStringLiteral("book.vcf"));
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:鈴木一郎\r\nEMAIL;TYPE=INTERNET:Ichiro@Example.jp\r\n"
            "END:VCARD\r\n");
    f.close();
    mail.writeProfiles(QStringLiteral("[test]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                      "transport = smtp://127.0.0.1:%2\nsmtp-auth = no\nuser = %3\n"
                                      "password = %4\naddress-book = %5\n")
                           .arg(servers.imapPort)
                           .arg(servers.smtpPort)
                           .arg(user, servers.password, book));
    mail.signOn();
    mail.mapMess->Compose();
    mail.mapMess->setRecipDisplayName(QStringLiteral("鈴木一郎"));
    mail.mapMess->ResolveName();
    EXPECT_EQ(mail.mapMess->RecipAddress(), "Ichiro@Example.jp");
    mail.mapMess->setRecipDisplayName(QStringLiteral("ichiro@example.JP"));
    mail.mapMess->ResolveName();
    EXPECT_EQ(mail.mapMess->RecipDisplayName(), "鈴木一郎");
    mail.mapMess->setRecipDisplayName(QStringLiteral("鈴木"));
    EXPECT_EQ(errorOf([&] { mail.mapMess->ResolveName(); }), mailerr::UnknownRecipient);
    // The forwarding's way with a named profile: only the display name, resolved at Send.
    mail.mapMess->setRecipAddress(QString());
    mail.mapMess->setRecipDisplayName(QStringLiteral("鈴木一郎"));
    mail.mapMess->Send();
    EXPECT_EQ(lastDelivered(servers).envelope.to, QStringList{"Ichiro@Example.jp"});
}

TEST_F(ImapTest, AFetchCostsTheSameRoundTripsForOneAndFiveHundredMessages) {
    const QString one = userFor() + "1";
    const QString many = userFor() + "500";
    servers.deliver(one, plainMessage("only", 0));
    for (int i = 0; i < 500; ++i)
        servers.deliver(many, plainMessage(QString::number(i), i % 60));
    servers.deliver(many, plainMessage("read", 0), true);
    auto commandsOfFetch = [&](const QString& user) {
        ServerMail mail(user);
        mail.signOn();
        const int before = *mail.commands;
        mail.fetch(true);
        const int used = *mail.commands - before;
        return std::make_pair(used, mail.mapMess->MsgCount());
    };
    const auto small = commandsOfFetch(one);
    const auto large = commandsOfFetch(many);
    EXPECT_EQ(small.second, 1);
    EXPECT_EQ(large.second, 500);
    EXPECT_GT(small.first, 0);
    EXPECT_EQ(small.first, large.first);
}

// A message from the sender that reached the mailbox at the time: its top Received field and
// the server's arrival date agree.
QByteArray messageAt(const QString& subject, const QDateTime& at,
                     const QByteArray& from = "hanako@example.jp") {
    return "Received: from mx by box; " + at.toString(Qt::RFC2822Date).toLatin1() +
           "\r\nFrom: " + from + "\r\nSubject: " + subject.toLatin1() + "\r\n\r\ntext\r\n";
}

// The server searches for the unread mail of the reach, the client's rule decides: for mail
// just inside and just outside the reach, mail of a pass that failed (a reach further back)
// and older mail, both pick the same; the phone's mail comes at any age.
TEST_F(ImapTest, TheServersSearchOfTheReachPicksWhatTheClientsRulePicks) {
    const QString user = userFor();
    const QString phone = QStringLiteral("phone@docomo.ne.jp");
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
    const QDateTime reach = now.addSecs(-30 * 60);
    const QDateTime failedReach = now.addSecs(-5 * 3600);
    const std::pair<const char*, QDateTime> mails[] = {{"days-old", now.addDays(-3)},
                                                       {"before-failed", failedReach.addSecs(-1)},
                                                       {"left-behind", failedReach.addSecs(60)},
                                                       {"hour-before", reach.addSecs(-3700)},
                                                       {"outside", reach.addSecs(-1)},
                                                       {"at", reach},
                                                       {"inside", reach.addSecs(1)},
                                                       {"new", now}};
    for (const auto& [subject, at] : mails)
        servers.deliver(user, messageAt(subject, at), false, at);
    // The server's clock an hour behind the stamp of the last hop, nearly.
    servers.deliver(user, messageAt("stamped-late", reach.addSecs(2)), false, reach.addSecs(-3500));
    servers.deliver(user, messageAt("G", now.addDays(-2), "Keitai <Phone@Docomo.ne.jp>"), false,
                    now.addDays(-2));
    servers.deliver(user, messageAt("read", now), true, now);

    // The server that offers WITHIN is searched by the second, the other by the day.
    const std::pair<int, QString> searches[] = {
        {servers.imapPort, QStringLiteral(" YOUNGER ")},
        {servers.noIdleImapPort, QStringLiteral(" SINCE ")}};
    for (const auto& [port, key] : searches) {
        ServerMail mail(user);
        mail.writeProfiles(QStringLiteral("[test]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                          "user = %2\npassword = %3\ntimeout = 10\n")
                               .arg(port)
                               .arg(user, servers.password));
        mail.restart();
        mail.signOn();
        int fetched = 0;
        const auto picked = [&](const FetchScope& scope, const QDateTime& cutOff) {
            mail.mapMess->setFetchUnreadOnly(true);
            mail.mapMess->Fetch(scope);
            fetched = mail.mapMess->MsgCount();
            QStringList out;
            for (int i = 0; i < fetched; ++i) {
                mail.mapMess->setMsgIndex(i);
                if (mail.mapMess->MsgDateReceived() >= cutOff ||
                    mail.mapMess->MsgOrigAddress().compare(phone, Qt::CaseInsensitive) == 0)
                    out << mail.mapMess->MsgSubject();
            }
            return out;
        };
        const std::pair<QDateTime, QStringList> cases[] = {
            {reach, {"new", "stamped-late", "inside", "at", "G"}},
            {failedReach,
             {"new", "stamped-late", "inside", "at", "outside", "hour-before", "left-behind",
              "G"}}};
        for (const auto& [cutOff, expected] : cases) {
            EXPECT_EQ(picked({}, cutOff), expected) << key.toStdString();
            const int all = fetched;
            mail.lines->clear();
            EXPECT_EQ(picked({cutOff, now, phone}, cutOff), expected) << key.toStdString();
            EXPECT_LT(fetched, all); // the server left out what is older than the reach and margin
            EXPECT_EQ(mail.lines->filter(key).size(), 1) << mail.lines->join(u'\n').toStdString();
        }
    }
}

// The list reads the newest mail by its stamps and counts the rest: mail that arrived earlier
// but is newer by its stamp is among them, mail that arrived last with an old stamp is not.
TEST_F(ImapTest, TheNewestOfAllAreTheSameWhenOnlyTheyAreRead) {
    const QString user = userFor();
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
    const auto minutes = [&](int m) { return now.addSecs(-60 * m); };
    servers.deliver(user, messageAt("old", minutes(3 * 1440)), true, minutes(3 * 1440));
    servers.deliver(user, messageAt("stamped-late", minutes(5)), false, minutes(50));
    servers.deliver(user, messageAt("older", minutes(2 * 1440)), false, minutes(2 * 1440));
    for (int m : {40, 30, 20})
        servers.deliver(user, messageAt(QString::number(m), minutes(m)), true, minutes(m));
    servers.deliver(user, messageAt("resent", minutes(45)), false, now);

    ServerMail mail(user);
    mail.signOn();
    const auto newest = [&](int wanted) {
        FetchScope scope;
        scope.newest = wanted;
        mail.mapMess->setFetchUnreadOnly(false);
        mail.mapMess->Fetch(scope);
        QStringList out;
        for (int i = 0; i < mail.mapMess->MsgCount(); ++i) {
            mail.mapMess->setMsgIndex(i);
            out << mail.mapMess->MsgSubject() + u' ' + mail.mapMess->MsgID();
        }
        return out;
    };
    const QStringList all = newest(0);
    ASSERT_EQ(all.size(), 7);
    EXPECT_TRUE(all.first().startsWith("stamped-late ")) << all.join(u'\n').toStdString();
    const QStringList read = newest(3);
    ASSERT_EQ(read.size(), all.size());
    EXPECT_EQ(read.mid(0, 3), all.mid(0, 3));
    EXPECT_TRUE(read.last().trimmed().isEmpty()); // the oldest was counted, not read
}

// A session signs on once, on one connection, and each command leaves in one write, a sent
// message too.
TEST_F(ImapTest, ASessionIsOneConnectionWithOneWritePerCommand) {
    const QString user = userFor();
    servers.deliver(user, plainMessage("unread"));
    CuttingProxy imap(servers.imapPort);
    CuttingProxy smtp(servers.smtpPort);
    QStringList sent; // outlives the session, whose end is traced too
    ServerMail mail(user, QStringLiteral("[proxied]\nstore = imap://127.0.0.1:%1\nstarttls = no\n"
                                         "transport = smtp://127.0.0.1:%2\nsmtp-auth = no\n"
                                         "user = %3\npassword = %4\nfrom = taro@example.jp\n")
                              .arg(imap.port())
                              .arg(smtp.port())
                              .arg(user, servers.password));
    mail.backend->trace = [&sent](const QString& line) { sent << line; };
    mail.signOn("proxied");
    mail.fetch(true);
    mail.mapMess->MsgNoteText();
    EXPECT_EQ(imap.connections(), 1);
    // The tagged command lines.
    const auto commands = sent.filter(QRegularExpression(QStringLiteral("^\\d+ "))).size();
    EXPECT_EQ(imap.clientReads(), commands) << sent.join(u'\n').toStdString();

    sent.clear();
    mail.mapMess->Compose();
    mail.mapMess->setMsgSubject(QStringLiteral("件名"));
    mail.mapMess->setMsgNoteText(QStringLiteral("本文\r\n"));
    mail.mapMess->setRecipAddress(QStringLiteral("whole@example.jp"));
    mail.mapMess->Send();
    // Each command, and the message with its end (traced as "."), in one write; the goodbye may
    // be lost in the closing.
    sent = sent.filter(QRegularExpression(QStringLiteral("^(?!Connecting|Disconnecting)")));
    EXPECT_LE(smtp.clientReads(), sent.size()) << sent.join(u'\n').toStdString();
}

} // namespace
} // namespace kelvo::test
