// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window when the disk is full or setting.ini cannot be read as text.

#include "common/cp932.h"
#include "file_size_limit.h"
#include "kelvo_instance.h"
#include "shell/main_form.h"
#include "shell/monitor.h"
#include "temp_dir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString kGoodbye = QStringLiteral("Kelvoを終了します");

class ShellFaultTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualClock clock;
    std::unique_ptr<KelvoInstance> kelvo = std::make_unique<KelvoInstance>(dir.path(), clock);

    MainForm& w() { return *kelvo->window; }
    QString settingPath() const { return dir.filePath(QStringLiteral("setting.ini")); }
    QString logPath() const { return dir.filePath(QStringLiteral("転送ログ.txt")); }
    QStringList lines() const { return kelvo->window->モニターモデル->lines(); }
    QStringList errorLines() const {
        QStringList out;
        for (const QString& line : lines())
            if (line.contains(QStringLiteral("エラー！「")))
                out << line;
        return out;
    }
    // The program as it starts the next time.
    void restart() {
        kelvo.reset();
        kelvo = std::make_unique<KelvoInstance>(dir.path(), clock);
    }
};

TEST_F(ShellFaultTest, LogCutOffByAFullDiskIsShownAndTheLogKeepsOnlyWholeBlocks) {
    w().Form_Load();
    kelvo->ui.messages.clear();
    const QByteArray earlier = toCp932Lossy(
        QStringLiteral("2026/12/06 18:00のログファイル\r\n   18:00    前の日\r\n\r\n"));
    ASSERT_TRUE(writeAll(logPath(), earlier));
    w().モニター行追加(QStringLiteral("件名「会議」 を転送終了"));
    w().モニター行追加(QStringLiteral("件名「報告」 を転送終了"));
    QStringList seen;
    kelvo->ui.whileShown = [&](const QString&) { seen = lines(); };
    {
        // Room for a few bytes of the new block only.
        FileSizeLimit full(static_cast<rlim_t>(earlier.size()) + 20);
        w().close();
    }
    // The user saw the error line before the goodbye, and the program still ended.
    ASSERT_EQ(kelvo->ui.messages.size(), 1u);
    EXPECT_EQ(kelvo->ui.messages[0].text, kGoodbye);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_TRUE(seen[2].contains(QStringLiteral("エラー！「"))) << seen[2].toStdString();
    EXPECT_TRUE(seen[2].contains(logPath())) << seen[2].toStdString();
    EXPECT_EQ(kelvo->exit.ends, 1);
    // The half-written block was taken back: the log holds the earlier block alone.
    EXPECT_EQ(readAll(logPath()), earlier);

    // With space again the whole monitor, error line included, goes in as one block.
    w().ログファイル書込(logPath());
    const QString log = fromCp932(readAll(logPath()));
    EXPECT_TRUE(log.startsWith(fromCp932(earlier)));
    EXPECT_TRUE(log.endsWith(QStringLiteral("のログファイル\r\n") +
                             seen.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n")))
        << log.toStdString();
}

TEST_F(ShellFaultTest, LogOnADeviceThatIsAlwaysFullIsOneErrorLineWithTheDiskFullNumber) {
    w().Form_Load();
    kelvo->ctx.設定.ログファイルパス = QStringLiteral("/dev/full");
    w().モニター行追加(QStringLiteral("転送しました"));
    w().close();
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(QStringLiteral("/dev/full")));
    EXPECT_TRUE(errorLines()[0].endsWith(QStringLiteral("(61)」")));
    EXPECT_EQ(kelvo->ui.messages.back().text, kGoodbye);
    EXPECT_EQ(kelvo->exit.ends, 1);
}

TEST_F(ShellFaultTest, FirstStartOnAFullDiskIsAnErrorLineAndTheNextStartCreatesTheFile) {
    {
        FileSizeLimit full(64);
        w().Form_Load();
    }
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(settingPath())) << errorLines()[0].toStdString();
    EXPECT_EQ(w().実行状態(), 1);
    EXPECT_EQ(kelvo->ui.messages.size(), 1u); // greeted as at any first start
    EXPECT_EQ(w().panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_FALSE(QFile::exists(settingPath()));
    EXPECT_TRUE(QDir(dir.path())
                    .entryList({QStringLiteral("setting.ini*")}, QDir::Files | QDir::Hidden)
                    .isEmpty());

    restart();
    w().Form_Load();
    EXPECT_TRUE(errorLines().isEmpty());
    ASSERT_EQ(kelvo->ui.messages.size(), 1u); // the greeting of a first start
    EXPECT_TRUE(QFile::exists(settingPath()));
    EXPECT_EQ(w().panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_EQ(kelvo->ctx.設定.メールチェック間隔, QStringLiteral("30"));
}

TEST_F(ShellFaultTest, SettingsFileInNoCodePageIsAnErrorLineAtStartAndTheRestIsLoaded) {
    w().Form_Load();
    restart();
    QByteArray bytes = readAll(settingPath());
    const QByteArray address = toCp932Lossy(QStringLiteral("メールアドレス="));
    bytes.replace(address, address + "phone@docomo.ne.jp");
    bytes.replace(toCp932Lossy(QStringLiteral("プログラム名=")),
                  toCp932Lossy(QStringLiteral("プログラム名=")) + "\x81\x0b");
    ASSERT_TRUE(writeAll(settingPath(), bytes));

    w().Form_Load();
    ASSERT_EQ(errorLines().size(), 1);
    EXPECT_TRUE(errorLines()[0].contains(QDir::toNativeSeparators(settingPath()) +
                                         QStringLiteral("：7行目の文字を読めません")))
        << errorLines()[0].toStdString();
    EXPECT_TRUE(errorLines()[0].endsWith(QStringLiteral("(321)」")));
    // The load went on to its end: stopped, settings in the record, no greeting.
    EXPECT_EQ(w().panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_EQ(kelvo->ctx.設定.メールアドレス, QStringLiteral("phone@docomo.ne.jp"));
    EXPECT_TRUE(kelvo->ui.messages.empty());
    EXPECT_EQ(readAll(settingPath()), bytes);
}

} // namespace
