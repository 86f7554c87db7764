// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "error_of.h"
#include "mail/mime/address_book.h"
#include "system/command_runner.h"
#include "mail/core/mail_error.h"
#include "mail/profile_backend.h"
#include "mail/core/profiles.h"
#include "mail/mime/vmime_text.h"
#include "temp_dir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo::test {
namespace {

class ProfilesTest : public ::testing::Test {
protected:
    QString write(const QString& text,
                  QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
        f.close();
        f.setPermissions(mode);
        return path;
    }
    QTemporaryDir dir;
    QString path = dir.filePath("profiles.ini");
};

TEST_F(ProfilesTest, WithoutAFileTheLocalMailboxIsTheDefault) {
    const MailProfile p = selectProfile(path, QString());
    EXPECT_EQ(p.store, QDir::homePath() + "/Maildir");
    EXPECT_FALSE(p.storeIsImap());
    EXPECT_FALSE(p.transportIsSmtp());
    EXPECT_TRUE(p.transport.endsWith("sendmail"));
    EXPECT_TRUE(p.from.contains('@'));
    QString description;
    EXPECT_EQ(errorOf([&] { selectProfile(path, "仕事"); }, &description), mailerr::ProfileMissing);
    EXPECT_TRUE(description.contains("仕事"));
    EXPECT_TRUE(description.contains(path));
}

TEST_F(ProfilesTest, NamedDefaultAndOnlyProfiles) {
    write("# comment\n[仕事]\nstore = imaps://imap.example.jp\ntransport = "
          "smtp://smtp.example.jp:587\n"
          "user = taro@example.jp\npassword-command = pass show mail\ntimeout = 20\npush = Yes\n"
          "[自宅]\ndefault = yes\nstore = ~/Mail/box\naddress-book = ~/book.vcf\n");
    const MailProfile work = selectProfile(path, "仕事");
    EXPECT_EQ(work.name, "仕事");
    EXPECT_TRUE(work.storeIsImap());
    EXPECT_TRUE(work.transportIsSmtp());
    EXPECT_EQ(work.user, "taro@example.jp");
    EXPECT_EQ(work.from, "taro@example.jp"); // the user name when it is an address
    EXPECT_EQ(work.passwordCommand, "pass show mail");
    EXPECT_EQ(work.timeoutSeconds, 20);
    EXPECT_TRUE(work.push);
    const MailProfile home = selectProfile(path, QString());
    EXPECT_EQ(home.name, "自宅");
    EXPECT_EQ(home.store, QDir::homePath() + "/Mail/box");
    EXPECT_EQ(home.addressBook, QDir::homePath() + "/book.vcf");
    EXPECT_TRUE(home.transport.endsWith("sendmail"));
    EXPECT_FALSE(home.push); // as before, until asked for

    write("[only]\nstore = /var/mail/box\n");
    EXPECT_EQ(selectProfile(path, QString()).name, "only");
    write("[a]\nstore = /x\n[b]\nstore = /y\n");
    EXPECT_EQ(errorOf([&] { selectProfile(path, QString()); }), mailerr::ProfileMissing);
}

TEST_F(ProfilesTest, MistakesInTheFileAreErrorsNamingIt) {
    write("[a]\nstore = /x\nstroe = /y\n");
    QString description;
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), mailerr::ProfileInvalid);
    EXPECT_TRUE(description.contains(path));
    EXPECT_TRUE(description.contains("stroe"));
    write("[a]\ntransport = smtp://x\n");
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }), mailerr::ProfileInvalid);
    write("[a]\nstore = /x\ntimeout = soon\n");
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }), mailerr::ProfileInvalid);
    write("[a]\nstore = /x\nstarttls = maybe\n");
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }), mailerr::ProfileInvalid);
    write("[a]\nstore = /x\npush = sometimes\n");
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }), mailerr::ProfileInvalid);
}

// The description goes to the monitor and the log: the line and the key, never a value.
TEST_F(ProfilesTest, MistakesAreNamedWithoutTheirValues) {
    QString description;
    for (const char* line :
         {"password hunter2", "hunter2", "Password:hunter2", "timeout = hunter2",
          "store = imap://u:hunter2@h:99999", "command-pin hunter2", "command-check = hunter2"}) {
        write(QStringLiteral("[a]\nstore = /x\n") + QLatin1String(line) + u'\n');
        EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description),
                  mailerr::ProfileInvalid);
        EXPECT_TRUE(description.contains(path)) << description.toStdString();
        EXPECT_FALSE(description.contains("hunter2")) << description.toStdString();
    }
    write("[a]\npassword secret\n");
    errorOf([&] { selectProfile(path, "a"); }, &description);
    EXPECT_EQ(description, mailErrorText(mailerr::ProfileInvalid) + "：" + path +
                               "の2行目：passwordの後に「=」がありません");
}

TEST_F(ProfilesTest, AServerUrlWithABadPortIsAnInvalidProfile) {
    for (const char* url : {"imap://127.0.0.1:99999", "imap://127.0.0.1:0", "imaps://h:x",
                            "pop3://127.0.0.1", "imap://"}) {
        write(QStringLiteral("[a]\nstore = ") + QLatin1String(url) + u'\n');
        EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }), mailerr::ProfileInvalid) << url;
    }
    write("[a]\nstore = imap://127.0.0.1\ntransport = smtp://127.0.0.1:65536\n");
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }), mailerr::ProfileInvalid);
    write("[a]\nstore = imap://127.0.0.1:65535\ntransport = smtps://127.0.0.1:1\n");
    EXPECT_EQ(selectProfile(path, "a").transport, "smtps://127.0.0.1:1");
}

TEST_F(ProfilesTest, AFileWithAPasswordOrPinReadableByOthersIsRefused) {
    QString description;
    for (const char* secret : {"password", "command-pin"}) {
        write(QStringLiteral("[a]\nstore = imap://x\n%1 = hunter2\n").arg(secret),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description),
                  mailerr::ProfileInsecure);
        EXPECT_TRUE(description.contains("他のユーザーが読めます（「chmod 600 " + path + "」"))
            << description.toStdString();
        EXPECT_FALSE(description.contains("hunter2"));
    }
    write("[a]\nstore = imap://x\npassword = hunter2\n");
    EXPECT_EQ(selectProfile(path, "a").password, "hunter2");
    // Without a password the file may be read by others.
    write("[a]\nstore = imap://x\npassword-command = pass mail\n",
          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    EXPECT_EQ(selectProfile(path, "a").passwordCommand, "pass mail");
}

TEST_F(ProfilesTest, CommandCheckNeedsTheAuthservId) {
    write("[a]\nstore = /x\ncommand-check = DKIM\nauthserv-id = mx.kelvo.jp\ncommand-pin = 42\n");
    const CommandPolicy p = selectProfile(path, "a").commands;
    EXPECT_EQ(p.check, SenderCheck::Dkim);
    EXPECT_EQ(p.authservId, "mx.kelvo.jp");
    EXPECT_EQ(p.pin, "42");
    write("[a]\nstore = /x\ncommand-check = dmarc\n");
    QString description;
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), mailerr::ProfileInvalid);
    EXPECT_TRUE(description.contains("authserv-id")) << description.toStdString();
    write("[a]\nstore = /x\ncommand-check = none\n");
    EXPECT_EQ(selectProfile(path, "a").commands.check, SenderCheck::None);
}

// Whoever can change the file chooses the commands Kelvo runs as the user.
TEST_F(ProfilesTest, AFileOthersCanWriteIsRefusedWhateverItHolds) {
    const QString text = "[a]\nstore = /x\ndownload-command = true\n";
    const auto rw = QFile::ReadOwner | QFile::WriteOwner;
    QString description;
    write(text, rw | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther);
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), mailerr::ProfileInsecure);
    EXPECT_EQ(description, mailErrorText(mailerr::ProfileInsecure) + "：" + path +
                               "は他のユーザーが書き込めます（「chmod go-w " + path +
                               "」で直せます）");
    // A 0644 file in a folder everyone can write to, and in a sticky one like /tmp.
    write(text, rw | QFile::ReadGroup | QFile::ReadOther);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), mailerr::ProfileInsecure);
    EXPECT_TRUE(description.endsWith("のフォルダーは他のユーザーが書き込めます（「chmod go-w " +
                                     dir.path() + "」で直せます）"))
        << description.toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 01777), 0);
    EXPECT_EQ(selectProfile(path, "a").downloadCommand, "true");
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    // Another user's file, whatever its mode.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description),
                  mailerr::ProfileInsecure);
        EXPECT_EQ(description, mailErrorText(mailerr::ProfileInsecure) + "：" + path +
                                   "は他のユーザーの所有です");
    }
}

// With user private groups (umask 002, Debian's way) the user's own group may write: it holds
// the user alone. A group that holds others may not, for the file as for its folder.
TEST_F(ProfilesTest, TheOwnersOwnGroupMayWriteASharedGroupMayNot) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving the file any group takes root";
    write("[a]\nstore = /x\ndownload-command = true\n",
          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(dir.path());
    ASSERT_EQ(::chmod(folder.constData(), 0775), 0);
    // root's group is root's alone; nogroup is the primary group of nobody.
    const gid_t own = 0;
    const gid_t shared = 65534;
    struct Case {
        gid_t fileGroup, folderGroup;
        int error;
        QString named;
    };
    for (const Case& c : {Case{own, own, 0, {}}, Case{shared, own, mailerr::ProfileInsecure, path},
                          Case{own, shared, mailerr::ProfileInsecure, dir.path()}}) {
        ASSERT_EQ(::chown(file.constData(), 0, c.fileGroup), 0);
        ASSERT_EQ(::chown(folder.constData(), 0, c.folderGroup), 0);
        QString description;
        EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), c.error)
            << c.fileGroup << ' ' << c.folderGroup;
        if (c.error != 0) {
            EXPECT_TRUE(description.contains("chmod go-w " + c.named)) << description.toStdString();
        }
    }
}

// profiles.ini may be a link (into a dotfiles repository, say), but what is read counts: the
// file at the end, the folder that holds it, and each link on the way with its folder.
TEST_F(ProfilesTest, ALinkLeadsNowhereOthersCanWrite) {
    QTemporaryDir other;
    const QString shared = other.filePath("shared");
    const QString safe = other.filePath("safe");
    const QString marker = other.filePath("password-command-ran");
    ASSERT_TRUE(QDir().mkpath(shared + "/sticky") && QDir().mkpath(safe));
    const QByteArray text =
        "[a]\nstore = /nowhere\npassword-command = touch " + QFile::encodeName(marker) + "\n";
    for (const QString& real :
         {safe + "/real.ini", shared + "/real.ini", shared + "/sticky/real.ini"}) {
        ASSERT_TRUE(writeAll(real, text));
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
    }
    ASSERT_TRUE(QFile::link(safe, shared + "/safe-folder"));
    ASSERT_TRUE(QFile::link(safe + "/real.ini", shared + "/hop"));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(shared + "/sticky").constData(), 01777), 0);
    struct Case {
        QString target;
        bool refused;
    };
    const Case cases[] = {
        {shared + "/real.ini", true},             // the file's folder
        {shared + "/hop", true},                  // a link's folder
        {shared + "/safe-folder/real.ini", true}, // a folder link's folder
        {safe + "/real.ini", false},
        {shared + "/sticky/real.ini", false},
    };
    for (const Case& c : cases) {
        QFile::remove(path);
        ASSERT_TRUE(QFile::link(c.target, path));
        QString description;
        const int error = errorOf([&] { ProfileBackend(path).signOn("a", false); }, &description);
        if (c.refused) {
            EXPECT_EQ(error, mailerr::ProfileInsecure) << c.target.toStdString();
            EXPECT_TRUE(description.contains("chmod go-w " + shared)) << description.toStdString();
            EXPECT_FALSE(QFile::exists(marker)) << c.target.toStdString();
        } else {
            EXPECT_NE(error, mailerr::ProfileInsecure) << description.toStdString();
        }
        QFile::remove(marker);
    }
}

// A section named twice would merge unseen; a file far bigger than any profiles is a mistake
// and is not read whole.
TEST_F(ProfilesTest, ASectionNamedTwiceOrAnOversizedFileIsInvalid) {
    write("[テスト]\nstore = /x\n\n[他]\nstore = /y\n[テスト]\npassword-command = evil\n");
    QString description;
    EXPECT_EQ(errorOf([&] { selectProfile(path, "テスト"); }, &description),
              mailerr::ProfileInvalid);
    EXPECT_TRUE(description.contains(path + "の1行目と6行目：[テスト]"))
        << description.toStdString();

    const auto bytesRead = [] {
        const QByteArray io = readAll("/proc/self/io");
        const qsizetype at = io.indexOf("rchar: ") + 7;
        return io.mid(at, io.indexOf('\n', at) - at).toLongLong();
    };
    // 60 MB of a comment: a hole in the file reads as zero bytes.
    write("[a]\nstore = /x\n#");
    ASSERT_TRUE(QFile::resize(path, 60 << 20));
    const qint64 before = bytesRead();
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), mailerr::ProfileInvalid);
    EXPECT_LT(bytesRead() - before, 2 << 20);
    EXPECT_TRUE(description.contains(path)) << description.toStdString();
    ASSERT_TRUE(QFile::resize(path, 1 << 20));
    EXPECT_EQ(selectProfile(path, "a").store, "/x");
}

// What a failing command says goes to the monitor: never the password command's output, and
// the download command's with the password blotted out, taken as text and not as a template.
TEST_F(ProfilesTest, AFailingCommandIsReportedWithoutThePassword) {
    write("[a]\nstore = /nowhere\npassword-command = echo hunter2 >&2; exit 3\n");
    ProfileBackend backend(path);
    QString description;
    EXPECT_EQ(errorOf([&] { backend.signOn("a", false); }, &description), mailerr::CommandFailed);
    EXPECT_EQ(description,
              mailErrorText(mailerr::CommandFailed) + "：password-command（終了コード 3）");
    write("[a]\nstore = /nowhere\npassword = hunter2\n"
          "download-command = echo 50%1 hunter2 %2 >&2; exit 2\n");
    EXPECT_EQ(errorOf([&] { backend.signOn("a", true); }, &description), mailerr::CommandFailed);
    EXPECT_EQ(description, mailErrorText(mailerr::CommandFailed) +
                               "：download-command（終了コード 2）：50%1 **** %2");
}

// Three accounts: the combining profile at the end, its inbox line given.
QString accounts(const QString& combining) {
    return QStringLiteral("[会社]\nstore = imaps://imap.example.com\ntransport = "
                          "smtps://smtp.example.com\nuser = taro@example.com\n"
                          "password-store = keyring\n"
                          "[Gmail]\nstore = imaps://imap.gmail.com\nuser = taro@gmail.com\n"
                          "auth = oauth2\noauth2-provider = google\nclient-id = x\n"
                          "command-check = dkim\nauthserv-id = mx.google.com\n"
                          "[プロバイダ]\nstore = imap://mail.example.net\nuser = taro\n"
                          "password-command = pass show isp\n"
                          "[全部]\n") +
           combining;
}

TEST_F(ProfilesTest, ACombiningProfileSendsThroughItsFirstAccountUnlessItHasATransport) {
    write(accounts("inbox = 会社, Gmail ,プロバイダ\ncommand-pin = 1234\n"));
    const MailProfile p = selectProfile(path, "全部");
    ASSERT_EQ(p.stores.size(), 3u);
    EXPECT_EQ(p.stores[1].name, "Gmail");
    EXPECT_TRUE(p.stores[1].oauth2);
    EXPECT_FALSE(p.ownTransport);
    EXPECT_EQ(p.from, "taro@example.com");
    EXPECT_EQ(p.commands.pin, "1234");

    write(accounts("inbox = プロバイダ\ntransport = smtp://127.0.0.1:2525\nuser = a@b.jp\n"));
    const MailProfile own = selectProfile(path, "全部");
    EXPECT_TRUE(own.ownTransport);
    EXPECT_EQ(own.from, "a@b.jp");
    // A profile of one store is as it was.
    EXPECT_TRUE(selectProfile(path, "会社").stores.empty());
}

TEST_F(ProfilesTest, ACombiningProfileThatCannotWorkIsInvalidNamingTheLine) {
    // The combining profile's inbox is line 19.
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"inbox = 会社, 個人", "19行目：inboxの[個人]というプロファイルはありません"},
        {"inbox = 会社, 全部", "19行目：inboxが自分自身（[全部]）を指しています"},
        {"inbox = 会社, 会社", "19行目：inboxに[会社]が2回あります"},
        {"inbox = 会社,,Gmail", "19行目：inboxに空のプロファイル名があります"},
        {"inbox = 会社\nstore = imap://x", "20行目：storeはinboxのあるプロファイルには書けません"},
        {"inbox = 会社\npush = yes", "20行目：pushはinboxのあるプロファイルには書けません"},
        {"inbox = 会社\ndownload-command = true",
         "20行目：download-commandはinboxのあるプロファイルには書けません"},
        {"inbox = 会社, 入れ子\n[入れ子]\ninbox = Gmail",
         "19行目：inboxの[入れ子]もinboxのあるプロファイルです"},
        {"inbox = 会社, 輪\n[輪]\ninbox = Gmail, 全部",
         "19行目：inboxの[輪]が[全部]を指し返しています"},
    };
    for (const auto& c : cases) {
        write(accounts(QString::fromUtf8(c.text)) + "\n");
        QString description;
        EXPECT_EQ(errorOf([&] { selectProfile(path, "全部"); }, &description),
                  mailerr::ProfileInvalid)
            << c.text;
        EXPECT_TRUE(description.contains(path + "の" + QString::fromUtf8(c.says)))
            << description.toStdString();
    }
}

TEST(AddressBookTest, ReadsVCardsOfEveryVersion) {
    const std::string sjisName = *vm::encodeStrict("佐藤花子", "shift_jis");
    QByteArray qp;
    for (unsigned char c : sjisName)
        qp += '=' + QByteArray::number(c, 16).toUpper();
    const QByteArray data =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:鈴木\r\n  一郎\r\n"
        "item1.EMAIL;TYPE=INTERNET:Ichiro@Example.jp\r\nEMAIL:ichiro@work.example\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" +
        qp +
        "\nEMAIL;INTERNET:hanako@example.jp\nEND:VCARD\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:No Mail\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Comma\\, Escaped\r\nEMAIL:c@example.jp\r\nEND:VCARD\r\n";
    const AddressBook book = AddressBook::parse(data);
    ASSERT_EQ(book.entries.size(), 3u);
    EXPECT_EQ(book.entries[0].name, "鈴木 一郎");
    EXPECT_EQ(book.entries[0].addresses, (QStringList{"Ichiro@Example.jp", "ichiro@work.example"}));
    EXPECT_EQ(book.entries[1].name, "佐藤花子");
    EXPECT_EQ(book.entries[2].name, "Comma, Escaped");

    EXPECT_EQ(book.find("鈴木 一郎")->address, "Ichiro@Example.jp");
    EXPECT_EQ(book.find("ICHIRO@work.example")->address, "ichiro@work.example");
    EXPECT_EQ(book.find("ICHIRO@work.example")->displayName, "鈴木 一郎");
    EXPECT_FALSE(book.find("鈴木"));
    EXPECT_FALSE(book.find("No Mail"));
}

} // namespace
} // namespace kelvo::test
