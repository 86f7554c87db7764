// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/private_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kelvo;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class UmaskOf {
public:
    explicit UmaskOf(mode_t mask) : before(::umask(mask)) {}
    ~UmaskOf() { ::umask(before); }

private:
    mode_t before;
};

} // namespace

// Under umask 002 (user private groups) mkpath made ~/.config/kelvo 0775, a folder the
// profiles check then refused. Kelvo's folders are the user's alone, each one it makes.
TEST(PrivateFolder, EachFolderMadeIsTheUsersAloneWhateverTheUmask) {
    QTemporaryDir home;
    const UmaskOf mask(002);
    const QString config = home.filePath(".config");
    ASSERT_TRUE(makePrivateFolder(config + "/kelvo/"));
    EXPECT_EQ(modeOf(config), 0700u);
    EXPECT_EQ(modeOf(config + "/kelvo"), 0700u);

    // One that exists keeps the mode its owner gave it.
    ASSERT_TRUE(QDir().mkdir(home.filePath("shown")));
    ASSERT_EQ(::chmod(QFile::encodeName(home.filePath("shown")).constData(), 0755), 0);
    EXPECT_TRUE(makePrivateFolder(home.filePath("shown")));
    EXPECT_TRUE(makePrivateFolder(home.filePath("shown/inner")));
    EXPECT_EQ(modeOf(home.filePath("shown")), 0755u);
    EXPECT_EQ(modeOf(home.filePath("shown/inner")), 0700u);

    // A file where a folder should be.
    QFile file(home.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(makePrivateFolder(home.filePath("file")));
    EXPECT_FALSE(makePrivateFolder(home.filePath("file/below")));
}
