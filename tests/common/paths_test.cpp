// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/paths.h"
#include "temp_dir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kelvo;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : 名前(name), 旧(qgetenv(name)), あり(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (あり)
            qputenv(名前, 旧);
        else
            qunsetenv(名前);
    }

private:
    const char* 名前;
    QByteArray 旧;
    bool あり;
};

} // namespace

TEST(SettingsDirectory, WritableProgramDirectoryIsUsed) {
    QTemporaryDir dir;
    EXPECT_EQ(設定ディレクトリ(dir.path()), dir.path());
}

TEST(SettingsDirectory, InstalledLayoutUsesUserConfig) {
    QTemporaryDir dir;
    QTemporaryDir config;
    ScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString bin = dir.path() + QStringLiteral("/bin");
    EXPECT_FALSE(isInstalledLayout(bin));
    EXPECT_EQ(設定ディレクトリ(bin), bin);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("share/kelvo")));
    EXPECT_TRUE(isInstalledLayout(bin));
    EXPECT_EQ(設定ディレクトリ(bin), config.path() + QStringLiteral("/kelvo"));
}

TEST(SettingsDirectory, ReadOnlyDirectoryUsesUserConfigEvenForRoot) {
    QTemporaryDir dir;
    QTemporaryDir config;
    ScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_FALSE(isWritableByMode(dir.path()));
    EXPECT_EQ(設定ディレクトリ(dir.path()), config.path() + QStringLiteral("/kelvo"));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
}

TEST(SettingsDirectory, RelativeConfigHomeFallsBackToHome) {
    ScopedEnv env("XDG_CONFIG_HOME", "relative/path");
    EXPECT_EQ(userConfigDirectory(), QDir::homePath() + QStringLiteral("/.config/kelvo"));
}

TEST(HelpFile, FoundBesideExecutableThenInDataDirectory) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    QDir(dir.path()).mkpath(QStringLiteral("share/kelvo"));
    const QString bin = dir.path() + QStringLiteral("/bin");
    EXPECT_EQ(ヘルプファイルパス(bin), QString());
    const QString shared = dir.path() + QStringLiteral("/share/kelvo/kelvo.html");
    ASSERT_TRUE(test::writeAll(shared, "<html></html>"));
    EXPECT_EQ(ヘルプファイルパス(bin), shared);
    ASSERT_TRUE(test::writeAll(bin + QStringLiteral("/kelvo.html"), "<html></html>"));
    EXPECT_EQ(ヘルプファイルパス(bin), bin + QStringLiteral("/kelvo.html"));
}
