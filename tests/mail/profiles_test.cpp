#include "error_of.h"
#include "mail/address_book.h"
#include "mail/mail_error.h"
#include "mail/profiles.h"
#include "mail/vmime_text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
          "user = taro@example.jp\npassword-command = pass show mail\ntimeout = 20\n"
          "[自宅]\ndefault = yes\nstore = ~/Mail/box\naddress-book = ~/book.vcf\n");
    const MailProfile work = selectProfile(path, "仕事");
    EXPECT_EQ(work.name, "仕事");
    EXPECT_TRUE(work.storeIsImap());
    EXPECT_TRUE(work.transportIsSmtp());
    EXPECT_EQ(work.user, "taro@example.jp");
    EXPECT_EQ(work.from, "taro@example.jp"); // the user name when it is an address
    EXPECT_EQ(work.passwordCommand, "pass show mail");
    EXPECT_EQ(work.timeoutSeconds, 20);
    const MailProfile home = selectProfile(path, QString());
    EXPECT_EQ(home.name, "自宅");
    EXPECT_EQ(home.store, QDir::homePath() + "/Mail/box");
    EXPECT_EQ(home.addressBook, QDir::homePath() + "/book.vcf");
    EXPECT_TRUE(home.transport.endsWith("sendmail"));

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
}

TEST_F(ProfilesTest, AFileWithAPasswordReadableByOthersIsRefused) {
    write("[a]\nstore = imap://x\npassword = hunter2\n",
          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    QString description;
    EXPECT_EQ(errorOf([&] { selectProfile(path, "a"); }, &description), mailerr::ProfileInsecure);
    EXPECT_TRUE(description.contains("chmod 600 " + path)) << description.toStdString();
    EXPECT_FALSE(description.contains("hunter2"));
    write("[a]\nstore = imap://x\npassword = hunter2\n");
    EXPECT_EQ(selectProfile(path, "a").password, "hunter2");
    // Without a password the file may be read by others.
    write("[a]\nstore = imap://x\npassword-command = pass mail\n",
          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    EXPECT_EQ(selectProfile(path, "a").passwordCommand, "pass mail");
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
