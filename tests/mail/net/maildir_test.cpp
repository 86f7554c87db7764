// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/profile_backend.h"
#include "nested_mail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

// Sets an environment variable for the length of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name(name), old(qgetenv(name)), had(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }

private:
    const char* name;
    QByteArray old;
    bool had;
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A home folder with a Maildir and a stand-in for sendmail on the PATH, and the two controls
// signed on without a profiles file: the local default.
class MaildirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* sub : {"Maildir/cur", "Maildir/new", "Maildir/tmp", "bin"})
            QDir().mkpath(home.filePath(QLatin1String(sub)));
        const QString sendmail = home.filePath("bin/sendmail");
        // Records its arguments and the message; a recipient starting with "refuse" fails.
        writeFile(sendmail, "#!/bin/sh\n"
                            "dir=$(dirname \"$0\")\n"
                            "printf '%s\\n' \"$@\" > \"$dir/args\"\n"
                            "cat > \"$dir/message\"\n"
                            "case \"$5\" in refuse*) echo 'no such user' >&2; exit 67;; esac\n");
        QFile::setPermissions(sendmail, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        homeEnv = std::make_unique<ScopedEnv>("HOME", QFile::encodeName(home.path()));
        pathEnv = std::make_unique<ScopedEnv>("PATH", QFile::encodeName(home.filePath("bin")) +
                                                          ":" + qgetenv("PATH"));
    }

    QString deliver(const QByteArray& raw, const QString& unique, const QDateTime& when,
                    bool seen = false) {
        const QString path =
            home.filePath(seen ? "Maildir/cur/" + unique + ":2,S" : "Maildir/new/" + unique);
        EXPECT_TRUE(writeFile(path, raw));
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(when, QFileDevice::FileModificationTime);
        return path;
    }

    void signOn() {
        mapSess.SignOn();
        mapMess.setSessionID(mapSess.SessionID());
    }

    QTemporaryDir home;
    std::unique_ptr<ScopedEnv> homeEnv;
    std::unique_ptr<ScopedEnv> pathEnv;
    ProfileBackend backend{home.filePath("no-such-folder/profiles.ini")};
    MapiSession mapSess{backend};
    MapiMessages mapMess{mapSess};
};

const QDateTime kNine(QDate(2026, 12, 1), QTime(9, 0));

TEST_F(MaildirTest, TheDefaultProfileReadsTheLocalMaildir) {
    deliver(
        "Subject: old\r\nFrom: A <a@example.jp>\r\nDate: Mon, 1 Jan 2001 00:00:00 +0000\r\n\r\nx",
        "100.a.host", kNine, true);
    deliver("Subject: =?UTF-8?B?5paw552A?=\r\nFrom: b@example.jp\r\n\r\nnew text\r\n", "200.b.host",
            kNine.addSecs(600));
    signOn();
    mapMess.setFetchUnreadOnly(false);
    mapMess.Fetch();
    ASSERT_EQ(mapMess.MsgCount(), 2);
    EXPECT_EQ(mapMess.MsgSubject(), "新着");
    EXPECT_EQ(mapMess.MsgID(), "200.b.host");
    EXPECT_EQ(mapMess.MsgDateReceived(), kNine.addSecs(600)); // the delivery, not a header
    EXPECT_EQ(mapMess.MsgOrigDisplayName(), "b@example.jp");
    mapMess.setMsgIndex(1);
    EXPECT_EQ(mapMess.MsgID(), "100.a.host");
    EXPECT_EQ(mapMess.MsgDateReceived(), kNine);

    mapMess.setFetchUnreadOnly(true);
    mapMess.Fetch();
    ASSERT_EQ(mapMess.MsgCount(), 1);
    EXPECT_EQ(mapMess.MsgNoteText(), "new text\r\n");
    EXPECT_TRUE(QFile::exists(home.filePath("Maildir/new/200.b.host")));
    mapSess.SignOff();
    EXPECT_TRUE(QFile::exists(home.filePath("Maildir/cur/200.b.host:2,S")));
    EXPECT_TRUE(mapMess.ReadMarkStored("200.b.host"));
}

TEST_F(MaildirTest, SubjectKeepsItsBlanksButTheOneAfterTheColon) {
    deliver("Subject: Z \r\n\r\nx", "110.a.host", kNine);
    deliver("Subject:\t folded\r\n line\t\r\n\r\nx", "120.a.host", kNine.addSecs(60));
    signOn();
    mapMess.Fetch();
    ASSERT_EQ(mapMess.MsgCount(), 2);
    EXPECT_EQ(mapMess.MsgSubject(), " folded line\t");
    mapMess.setMsgIndex(1);
    EXPECT_EQ(mapMess.MsgSubject(), "Z ");
}

// The profile's sender check reaches the controls, and the fields are read topmost first.
TEST_F(MaildirTest, TheSenderCheckJudgesTheTopmostAuthenticationResults) {
    QDir().mkpath(home.filePath("no-such-folder"));
    writeFile(home.filePath("no-such-folder/profiles.ini"),
              "[l]\nstore = ~/Maildir\ncommand-check = dkim\nauthserv-id = mx.kelvo.jp\n");
    const QByteArray pass =
        "Authentication-Results: mx.kelvo.jp; dkim=pass header.d=docomo.ne.jp\r\n";
    deliver(pass + "Subject: Z\r\n\r\nx", "130.a.host", kNine);
    deliver("Authentication-Results: mx.kelvo.jp; dkim=fail\r\n" + pass + "Subject: Z\r\n\r\nx",
            "140.a.host", kNine.addSecs(60));
    signOn();
    mapMess.Fetch();
    ASSERT_EQ(mapMess.MsgCount(), 2);
    EXPECT_EQ(mapMess.MsgCommandVerdict("taro@docomo.ne.jp"), CommandVerdict::Failed);
    mapMess.setMsgIndex(1);
    EXPECT_EQ(mapMess.MsgCommandVerdict("taro@docomo.ne.jp"), CommandVerdict::Accepted);
}

TEST_F(MaildirTest, CraftedMailOfThousandsOfNestedPartsIsReadWithTheMailBehindIt) {
    // VMime's parser overflowed the stack at such a mail.
    deliver(nestedMail("Subject: nested\r\n", 4000), "130.a.host", kNine);
    deliver("Subject: behind\r\n\r\ntext\r\n", "140.a.host", kNine.addSecs(60));
    signOn();
    mapMess.Fetch();
    ASSERT_EQ(mapMess.MsgCount(), 2);
    EXPECT_EQ(mapMess.MsgNoteText(), "text\r\n");
    mapMess.setMsgIndex(1);
    EXPECT_EQ(mapMess.MsgSubject(), "nested");
    EXPECT_EQ(mapMess.MsgNoteText(), "readable");
    EXPECT_EQ(mapMess.AttachmentCount(), 1);
}

TEST_F(MaildirTest, SendingGoesThroughTheSendmailProgram) {
    signOn();
    mapMess.Compose();
    mapMess.setMsgSubject("件名");
    mapMess.setMsgNoteText("本文\r\n");
    mapMess.setRecipDisplayName("phone@example.jp");
    mapMess.Send();
    const QStringList args =
        QString::fromUtf8(readFile(home.filePath("bin/args"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(args.size(), 5);
    EXPECT_EQ(args[0], "-i");
    EXPECT_EQ(args[1], "-f");
    EXPECT_TRUE(args[2].contains('@'));
    EXPECT_EQ(args[3], "--");
    EXPECT_EQ(args[4], "phone@example.jp");
    const QByteArray message = readFile(home.filePath("bin/message"));
    EXPECT_TRUE(message.contains("Subject: =?ISO-2022-JP?B?"));
    EXPECT_TRUE(message.contains("To: phone@example.jp\n"));
    EXPECT_FALSE(message.contains('\r'));

    mapMess.Compose();
    mapMess.setRecipAddress("refuse@example.jp");
    try {
        mapMess.Send();
        FAIL() << "sent";
    } catch (const KelvoError& e) {
        EXPECT_EQ(e.number(), mailerr::SendRefused);
        EXPECT_TRUE(e.description().contains("no such user")) << e.description().toStdString();
    }
}

TEST_F(MaildirTest, KeepUnreadRenamesTheMarkAway) {
    deliver("Subject: a\r\n\r\nx", "300.c.host", kNine);
    signOn();
    mapMess.setFetchUnreadOnly(true);
    mapMess.Fetch();
    mapMess.MsgNoteText();
    mapSess.SignOff();
    signOn();
    mapMess.KeepUnread();
    EXPECT_TRUE(QFile::exists(home.filePath("Maildir/cur/300.c.host:2,")));
    mapMess.Fetch();
    EXPECT_EQ(mapMess.MsgCount(), 1);
}

TEST_F(MaildirTest, AMissingMaildirIsASignOnError) {
    QDir(home.filePath("Maildir")).removeRecursively();
    try {
        mapSess.SignOn();
        FAIL() << "signed on";
    } catch (const KelvoError& e) {
        EXPECT_EQ(e.number(), mailerr::MailboxMissing);
        EXPECT_TRUE(e.description().contains(home.filePath("Maildir")));
    }
    EXPECT_EQ(mapSess.SessionID(), 0);
}

TEST(MaildirProfileTest, TheDownloadCommandRunsAtSignOnOnlyWhenAsked) {
    QTemporaryDir dir;
    for (const char* sub : {"box/cur", "box/new", "box/tmp"})
        QDir().mkpath(dir.filePath(QLatin1String(sub)));
    const QString profiles = dir.filePath("profiles.ini");
    writeFile(profiles,
              QStringLiteral("[local]\nstore = %1\ntransport = /bin/true\n"
                             "download-command = printf 'Subject: fetched\\n\\nx' > %1/new/1.x.y\n")
                  .arg(dir.filePath("box"))
                  .toUtf8());
    QFile::setPermissions(profiles, QFile::ReadOwner | QFile::WriteOwner); // whatever the umask
    ProfileBackend backend(profiles);
    MapiSession mapSess(backend);
    MapiMessages mapMess(mapSess);
    mapSess.setUserName("local");
    mapSess.setDownLoadMail(false);
    mapSess.SignOn();
    EXPECT_FALSE(QFile::exists(dir.filePath("box/new/1.x.y")));
    mapSess.SignOff();
    mapSess.setDownLoadMail(true);
    mapSess.SignOn();
    mapMess.setSessionID(mapSess.SessionID());
    mapMess.Fetch();
    ASSERT_EQ(mapMess.MsgCount(), 1);
    EXPECT_EQ(mapMess.MsgSubject(), "fetched");
}

} // namespace
} // namespace kelvo::test
