// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A whole conversation with the phone against the private Dovecot and SMTP sink of the mail
// tests: new mail forwarded, a subject list asked for and a listed mail fetched; commands
// under the profile's sender check and PIN.

#include "common/cp932.h"
#include "engine/forwarding_cycle.h"
#include "engine/schedule.h"
#include "engine/subject_list.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "fakes.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"
#include "server_pass_fixture.h"
#include "settings/ini_file.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <gtest/gtest.h>
#include <ostream>
#include <vmime/vmime.hpp>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace kelvo::test {
namespace {

const QString kPhone = QStringLiteral("phone@docomo.ne.jp");

// The suite's SMTP sink script run as a process of this test, so that the test can stop it
// and start it again. Each run keeps its messages in a folder of its own.
class StoppableSink {
public:
    StoppableSink() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    ~StoppableSink() { stop(); }

    bool start() {
        folder = root.filePath(QStringLiteral("run%1").arg(++runs));
        QDir().mkpath(folder);
        process.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral(KELVO_SMTP_SINK_SCRIPT), QString::number(port), folder});
        if (!process.waitForStarted(10000))
            return false;
        // Up when it greets; bounded, as the sink may fail to start.
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && process.state() == QProcess::Running) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(500) && socket.waitForReadyRead(2000))
                return socket.readAll().startsWith("220");
            QThread::msleep(50);
        }
        return false;
    }
    void stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // What this run of the sink received, oldest first.
    std::vector<MailServers::Received> received() const {
        MailServers view = MailServers::get();
        view.sinkDir = folder;
        return view.received();
    }

    int port = 0;

private:
    QTemporaryDir root;
    QString folder;
    QProcess process;
    int runs = 0;
};

// A message the sink received, parsed.
struct Arrived {
    QStringList to;
    QString subject;
    QString charset;
    QString text;
    size_t attachments = 0;
    std::string header;
};

std::vector<Arrived> arrived(const StoppableSink& sink) {
    vm::initialize();
    std::vector<Arrived> out;
    for (const auto& r : sink.received()) {
        const std::string raw = r.data.toStdString();
        auto message = vmime::make_shared<vmime::message>();
        message->parse(raw);
        Arrived a;
        a.to = r.to;
        a.subject = vm::toQString(*message->getHeader()->findFieldValue<vmime::text>("Subject"));
        a.text = vm::noteText(*message);
        // A text always goes out with a final line break.
        if (a.text.endsWith(QStringLiteral("\r\n")))
            a.text.chop(2);
        a.attachments = vm::attachmentParts(*message).size();
        a.header = raw.substr(0, raw.find("\r\n\r\n"));
        // The charset of the text part (the first part of a message with attachments).
        auto body = message->getBody();
        if (body->getPartCount() > 0)
            body = body->getPartAt(0)->getBody();
        a.charset = QString::fromStdString(body->getCharset().getName()).toLower();
        out.push_back(a);
    }
    return out;
}

QByteArray jisWords(const QString& text) {
    return "=?ISO-2022-JP?B?" +
           QByteArray::fromStdString(*vm::encodeStrict(text, "iso-2022-jp")).toBase64() + "?=";
}

// A message as a mail server would store it, received now.
QByteArray message(const QByteArray& from, const QString& subject, const QByteArray& rest) {
    return "Received: from mx by box; " +
           QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + "\r\nFrom: " + from +
           "\r\nTo: Taro <taro@example.jp>\r\nSubject: " + jisWords(subject) +
           "\r\nMIME-Version: 1.0\r\n" + rest;
}

QByteArray plainText(const QString& text) {
    return "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           text.toUtf8().toBase64() + "\r\n";
}

const QString kJapanese = QStringLiteral("会議の件（再送）");
const QString kJapaneseBody = QStringLiteral("山田様\r\n\r\n明日の会議は１０時からです。\r\n");
const QString kLong = QStringLiteral("長いお知らせのメール");
const QString kAttached = QStringLiteral("資料を送ります");

class PhoneConversationTest : public ServerPassTest {
protected:
    void SetUp() override {
        ServerPassTest::SetUp();
        if (IsSkipped())
            return;
        // The suite's profile, sending to this test's own sink.
        ASSERT_TRUE(sink.start());
        route(servers.imapPort, sink.port);
    }

    void deliver(const QByteArray& raw) { servers.deliver(user, raw); }

    StoppableSink sink;
};

TEST_F(PhoneConversationTest, NewMailListAndRequestedMail) {
    deliver(
        message(jisWords(QStringLiteral("佐藤花子")) + " <hanako@example.jp>", kJapanese,
                "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" +
                    QByteArray::fromStdString(*vm::encodeStrict(kJapaneseBody, "iso-2022-jp"))));
    deliver(message("news@example.jp", kLong, plainText(longBody())));
    deliver(message("Jiro <jiro@example.jp>", kAttached,
                    "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
                    "--XX\r\n" +
                        plainText(QStringLiteral("よろしくお願いします")) +
                        "--XX\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
                        "Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
                        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--XX--\r\n"));

    // First pass: the three new mails, the long one in three parts.
    pass();
    std::vector<Arrived> got = arrived(sink);
    ASSERT_EQ(got.size(), 5u) << errors().join('\n').toStdString();
    QStringList subjects;
    for (const Arrived& a : got) {
        subjects << a.subject;
        EXPECT_EQ(a.to, QStringList{kPhone});
        for (unsigned char c : a.header)
            ASSERT_LT(c, 0x80) << "8-bit header";
    }
    QStringList expected{kJapanese, "1/3_" + kLong, "2/3_" + kLong.left(6), "3/3_" + kLong.left(6),
                         kAttached};
    subjects.sort();
    expected.sort();
    EXPECT_EQ(subjects, expected);
    for (const Arrived& a : got) {
        EXPECT_EQ(a.charset, "iso-2022-jp") << a.subject.toStdString();
        if (a.subject == kJapanese) {
            EXPECT_TRUE(a.text.startsWith(QStringLiteral("From佐藤花子\r\n")))
                << a.text.toStdString();
            EXPECT_TRUE(a.text.contains(QStringLiteral("<hanako@example.jp>\r\n \r\n")));
            EXPECT_TRUE(a.text.endsWith(QStringLiteral("山田様明日の会議は１０時からです。")))
                << a.text.toStdString();
            EXPECT_EQ(a.attachments, 0u);
        } else if (a.subject == kAttached) {
            EXPECT_TRUE(
                a.text.contains(QStringLiteral("添付ファイル数：1\r\n \r\nよろしくお願いします")))
                << a.text.toStdString();
            EXPECT_EQ(a.attachments, 1u);
        } else if (a.subject.startsWith("1/3_")) {
            EXPECT_TRUE(a.text.contains(QStringLiteral(" \r\n第01行"))) << a.text.toStdString();
        } else if (a.subject.startsWith("3/3_")) {
            EXPECT_TRUE(a.text.endsWith(QStringLiteral("第10行") + QString(46, u'あ')));
            EXPECT_FALSE(a.text.startsWith(QStringLiteral("From")));
        }
    }
    EXPECT_EQ(mail->unreadOnServer(), 0);
    EXPECT_EQ(状態.転送メール数, 5);

    // "G" from the phone: a list mail to the phone, and list.ini.
    deliver(message(kPhone.toUtf8(), QStringLiteral("G"), plainText(QString())));
    pass();
    got = arrived(sink);
    ASSERT_EQ(got.size(), 6u) << errors().join('\n').toStdString();
    const Arrived& list = got.back();
    EXPECT_EQ(list.subject, "一覧4");
    EXPECT_EQ(list.to, QStringList{kPhone});
    EXPECT_EQ(list.charset, "iso-2022-jp");
    const QStringList entries = list.text.split(QStringLiteral("\r\n"));
    ASSERT_GE(entries.size(), 8);
    EXPECT_EQ(entries[0], "1G"); // the command itself is the newest message
    const QString second = entries[2];
    ASSERT_TRUE(second.startsWith('2'));
    const QByteArray bytes = readAll(ctx.リストファイルパス);
    EXPECT_TRUE(bytes.contains(toCp932(QStringLiteral("[件名リスト]\r\n件名１=")).value()));
    EXPECT_EQ(bytes.count("\r\n"), 5);
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(
            INI読込(kリストセクション, リストキー(n), QString(), ctx.リストファイルパス).isEmpty());

    // "2" from the phone: the second listed message, and the command is not forwarded.
    deliver(message(kPhone.toUtf8(), QStringLiteral("2"), plainText(QString())));
    pass();
    got = arrived(sink);
    ASSERT_GE(got.size(), 7u) << errors().join('\n').toStdString();
    const QString title = second.mid(1);
    for (size_t i = 6; i < got.size(); ++i)
        EXPECT_TRUE(got[i].subject.contains(title.left(6))) << got[i].subject.toStdString();
    for (const Arrived& a : got)
        EXPECT_FALSE(a.subject == "G" || a.subject == "2");

    // Nothing new: nothing sent.
    const size_t before = got.size();
    pass();
    EXPECT_EQ(arrived(sink).size(), before);
    EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
}

TEST_F(PhoneConversationTest, StoppedSinkMarksNothingReadAndTheNextPassSendsEverything) {
    deliver(message("a@example.jp", QStringLiteral("一通目"), plainText("一")));
    deliver(message("b@example.jp", QStringLiteral("二通目"), plainText("二")));
    sink.stop();
    pass();
    EXPECT_EQ(errors().size(), 2);
    EXPECT_EQ(mail->unreadOnServer(), 2);
    ASSERT_TRUE(sink.start());
    pass();
    std::vector<Arrived> got = arrived(sink);
    ASSERT_EQ(got.size(), 2u) << errors().join('\n').toStdString();
    QStringList subjects{got[0].subject, got[1].subject};
    subjects.sort();
    EXPECT_EQ(subjects, (QStringList{"一通目", "二通目"}));
    EXPECT_EQ(mail->unreadOnServer(), 0);
}

// Two From or two Subject fields, the first with a blank before its colon: the quick reader
// and the full parse (which an 8-bit name calls for) would take different ones. Such a mail is
// no command, whoever it names, and goes to the phone as ordinary mail.
TEST_F(PhoneConversationTest, MailWithTwoSendersOrSubjectsIsNoCommandAndIsForwarded) {
    const QByteArray eightBitCc = "Cc: " + QStringLiteral("花子").toUtf8() + " <h@example.jp>\r\n";
    for (const QByteArray& cc : {QByteArray(), eightBitCc}) {
        deliver("From : evil@evil.example\r\n" + cc +
                message(kPhone.toUtf8(), QStringLiteral("G"), plainText("x")));
        deliver("Subject : G\r\n" + cc +
                message(kPhone.toUtf8(), QStringLiteral("Z"), plainText("x")));
    }
    pass();
    const std::vector<Arrived> got = arrived(sink);
    EXPECT_EQ(got.size(), 4u) << errors().join('\n').toStdString();
    for (const Arrived& a : got) {
        EXPECT_EQ(a.to, QStringList{kPhone});
        EXPECT_FALSE(a.subject.startsWith(QStringLiteral("一覧"))) << a.subject.toStdString();
    }
    EXPECT_EQ(状態.終了フラグ, 0);
    EXPECT_EQ(状態.転送メール数, 4);
}

// Commands under "command-check = dkim": the receiving server's own field stands on top.
class PhoneCommandCheckTest : public PhoneConversationTest {
protected:
    void SetUp() override {
        PhoneConversationTest::SetUp();
        if (IsSkipped())
            return;
        profiles = QString::fromUtf8(readAll(mail->profilesPath));
        useKeys("command-check = dkim\nauthserv-id = mx.kelvo.test\n");
        設定.端末プログラム実行 = QStringLiteral("1");
        設定.プログラム名 = QStringLiteral("/usr/bin/kelvo-finish-marker");
        設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
        ctx.設定ディレクトリ = dir.path();
        ctx.システム = &sys;
        cycleWindow.addressBox = phone;
    }

    void useKeys(const QString& keys) { mail->writeProfiles(profiles + keys); }
    // A command from the phone, its Authentication-Results fields topmost first.
    void command(const QString& subject, const QByteArray& fields, const QString& text = {}) {
        deliver(fields + message(kPhone.toUtf8(), subject, plainText(text)));
    }
    // One pass of the forwarding cycle itself, which acts on the finish command.
    void cyclePass() {
        ASSERT_TRUE(設定書込(設定));
        clock.at(clock.now().addSecs(10), [this] { 状態.停止要求フラグ = 1; });
        自動転送開始(cycle);
    }
    int finishes() const {
        return static_cast<int>(sys.callsStartingWith(QStringLiteral("program")).size());
    }
    // The command was refused for the reason: its line, nothing sent, the mail marked read.
    void expectRefused(const QString& subject, const QString& reason, size_t sentBefore = 0) {
        const QString line = QStringLiteral("端末からのコマンドを拒否しました（") + reason +
                             QStringLiteral("）：件名「") + subject + QStringLiteral("」");
        EXPECT_TRUE(window.monitor.last().endsWith(line)) << window.monitor.last().toStdString();
        EXPECT_EQ(arrived(sink).size(), sentBefore);
        EXPECT_EQ(mail->unreadOnServer(), 0);
        EXPECT_TRUE(errors().isEmpty()) << errors().join('\n').toStdString();
    }

    QString profiles;
    FakeSystemControl sys{&clock};
    FakeCycleWindow cycleWindow;
    WeeklySchedule schedule{clock};
    CycleContext cycle{ctx, sys, cycleWindow, schedule};
};

const QByteArray kSigned = "Authentication-Results: mx.kelvo.test;\r\n"
                           "\tdkim=pass (good signature) header.d=docomo.ne.jp header.b=Ab/9+x\r\n";
const QString kUnverified = QStringLiteral("送信者を確認できません");
const QString kFailed = QStringLiteral("送信者の確認に失敗しました");

TEST_F(PhoneCommandCheckTest, VerifiedFinishActsAndForgedOnesAreRefused) {
    command("Z", kSigned);
    cyclePass();
    EXPECT_EQ(sys.callsStartingWith(QStringLiteral("program")),
              QStringList{QStringLiteral("program /usr/bin/kelvo-finish-marker @2")});
    EXPECT_TRUE(sys.callsStartingWith(QStringLiteral("shutdown")).isEmpty());

    struct Forgery {
        QByteArray fields;
        QString reason;
    };
    for (const Forgery& f : {
             Forgery{"Authentication-Results: mx.kelvo.test; dkim=fail header.d=docomo.ne.jp\r\n",
                     kFailed},
             Forgery{"", kUnverified},
             Forgery{"Authentication-Results: mx.other.test; dkim=pass header.d=docomo.ne.jp\r\n",
                     kUnverified},
             Forgery{"Authentication-Results: mx.kelvo.test; dkim=none\r\n" + kSigned, kFailed},
             Forgery{"Authentication-Results: mx.kelvo.test; dkim=pass header.d=docomo-ne.jp\r\n",
                     kFailed},
         }) {
        command("Z", f.fields);
        cyclePass();
        EXPECT_EQ(finishes(), 1) << f.fields.toStdString();
        expectRefused("Z", f.reason);
    }
}

TEST_F(PhoneCommandCheckTest, ListAndNumberCommandsAreRefusedAlike) {
    command("G", "Authentication-Results: mx.kelvo.test; dkim=fail header.d=docomo.ne.jp\r\n");
    pass();
    expectRefused("G", kFailed);
    command("G", kSigned);
    pass();
    ASSERT_EQ(arrived(sink).size(), 1u);
    EXPECT_EQ(arrived(sink)[0].subject, "一覧2");
    command("1", "");
    pass();
    expectRefused("1", kUnverified, 1);
}

// The server copies text the sender chose into its own field: the envelope sender, the HELO
// name, a comment. Written as encoded words, it decodes to a pass; it is never decoded.
TEST_F(PhoneCommandCheckTest, EncodedWordsInTheServersOwnFieldPassNothing) {
    const QByteArray pass = "=?us-ascii?q?x=3B_dkim=3Dpass_header.d=3Ddocomo.ne.jp";
    const QByteArray field = "Authentication-Results: mx.kelvo.test; ";
    for (const QByteArray& forged : {
             field + "spf=none smtp.mailfrom=" + pass + "_x=3D?=@evil.example;\r\n\tdkim=none\r\n",
             field + "spf=none smtp.helo=" + pass + "?=;\r\n\tdkim=none\r\n",
             field +
                 "dkim=none (=?us-ascii?q?=29=3B_dkim=3Dpass_header.d=3Ddocomo.ne.jp_=28?=)\r\n",
         }) {
        command("Z", forged);
        command("G", forged);
    }
    cyclePass();
    // With "dmarc", an injected pass beside the server's own fail.
    useKeys("command-check = dmarc\nauthserv-id = mx.kelvo.test\n");
    const QByteArray dmarc = field + "spf=none smtp.mailfrom==?us-ascii?q?x=3B_dmarc=3Dpass_header."
                                     "from=3Ddocomo.ne.jp_x=3D?=@evil.example;\r\n\tdmarc=fail "
                                     "header.from=docomo.ne.jp\r\n";
    command("Z", dmarc);
    command("G", dmarc);
    cyclePass();
    EXPECT_EQ(finishes(), 0);
    EXPECT_TRUE(arrived(sink).empty());
    EXPECT_EQ(window.monitor.filter(kFailed).size(), 8);
    EXPECT_EQ(mail->unreadOnServer(), 0);
}

// The PIN alone, with any provider.
TEST_F(PhoneCommandCheckTest, PinInEitherWidthActsAndAWrongOrMissingOneIsRefused) {
    useKeys("command-pin = 4649\n");
    command("G", "", "1234");
    pass();
    expectRefused("G", QStringLiteral("暗証番号が違います"));
    command("G", "");
    pass();
    expectRefused("G", QStringLiteral("暗証番号が違います"));
    command("G", "", "\r\n ４６４９ \r\n");
    pass();
    ASSERT_EQ(arrived(sink).size(), 1u);
    EXPECT_EQ(arrived(sink)[0].subject, "一覧3");
    for (const QString& line : window.monitor)
        EXPECT_FALSE(line.contains("4649")) << line.toStdString();
}

} // namespace
} // namespace kelvo::test
