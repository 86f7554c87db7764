// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/paths.h"
#include "kelvo_instance.h"
#include "temp_dir.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const QString kSource = QStringLiteral(KELVO_HELP_SOURCE);
const QString kProgramDir = QStringLiteral(KELVO_PROGRAM_DIR);

QString document() {
    const QByteArray bytes = readAll(kSource);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    EXPECT_FALSE(utf8.hasError()) << "not UTF-8";
    return text;
}

QStringList captures(const QString& text, const QString& pattern) {
    QStringList out;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        out << it.next().captured(1);
    return out;
}

} // namespace

TEST(HelpDocument, EveryInternalLinkFindsItsPlace) {
    const QString html = document();
    const QStringList ids = captures(html, QStringLiteral(R"re(\bid="([^"]*)")re"));
    const QSet<QString> idSet(ids.cbegin(), ids.cend());
    EXPECT_EQ(idSet.size(), ids.size()) << "an id is used twice";
    EXPECT_TRUE(idSet.contains(QStringLiteral("contents")));
    const QStringList links = captures(html, QStringLiteral(R"re(href="#([^"]*)")re"));
    EXPECT_GT(links.size(), 20);
    for (const QString& link : links)
        EXPECT_TRUE(idSet.contains(link)) << "broken link #" << link.toStdString();
    // Only internal links: the document works without a network.
    EXPECT_TRUE(captures(html, QStringLiteral(R"re((?:href|src)="(?!#)([^"]*)")re")).isEmpty());
}

TEST(HelpDocument, TheContentsListTheChapterTheWelcomeNames) {
    const QString html = document();
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"UTF-8\">")));
    const QString contents = html.section(QStringLiteral("<nav id=\"contents\">"), 1)
                                 .section(QStringLiteral("</nav>"), 0, 0);
    EXPECT_TRUE(contents.contains(QStringLiteral(">３．はじめてお使いの方は</a>")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("<h2 id=\"first-steps\">３．はじめてお使いの方は</h2>")));
}

TEST(HelpDocument, ExplainsEverySettingCommandAndTheRisk) {
    const QString html = document();
    const QStringList needed{
        // phone settings
        QStringLiteral("携帯端末のメールアドレス"),
        QStringLiteral("件のリストを取得する。"),
        QStringLiteral("文字分まで取得する。"),
        QStringLiteral("プログラムを終了し、パソコンの電源を落とす。"),
        QStringLiteral("指定のプログラムを実行"),
        QStringLiteral("5～70"),
        QStringLiteral("3～30"),
        // options
        QStringLiteral("分ごとにチェックする。"),
        QStringLiteral("0～3600"),
        QStringLiteral("文字づつ分割して転送する。"),
        QStringLiteral("30～7000"),
        QStringLiteral("自動分割機能は使用しない。"),
        QStringLiteral("分割まで転送する。"),
        QStringLiteral("2～30"),
        QStringLiteral("開始と同時に接続する。"),
        QStringLiteral("ダイヤルアップユーザー向け自動転送システムを使用する。"),
        QStringLiteral("差出人メールアドレスの内容を含める。"),
        QStringLiteral("宛先の内容を含める。"),
        QStringLiteral("CCの内容を含める。"),
        QStringLiteral("添付ファイルも含めて転送する。"),
        QStringLiteral("改行しないで転送する。"),
        QStringLiteral("アドレス帳に登録されている場合"),
        QStringLiteral("メールの差出人が以下の場合"),
        QStringLiteral("の文字が存在したら転送しない。"),
        QStringLiteral("マルチアカウントを使用する。"),
        QStringLiteral("１週間単位で開始/停止時刻をスケジュールする。"),
        QStringLiteral("自動転送を開始して以下の時間が経過したら終了する。"),
        QStringLiteral("1～400"),
        QStringLiteral("終了と同時にパソコンの電源を切る。"),
        QStringLiteral("プログラム終了時にログを残す。"),
        QStringLiteral("MAPIへのアクセスにプロファイル名を使用する。"),
        // phone commands, files, start switch
        QStringLiteral("<kbd>G</kbd>"),
        QStringLiteral("<kbd>Z</kbd>"),
        QStringLiteral("一覧の番号"),
        QStringLiteral("profiles.ini"),
        QStringLiteral("setting.ini"),
        QStringLiteral("list.ini"),
        QStringLiteral("転送ログ.txt"),
        QStringLiteral("~/.config/kelvo"),
        QStringLiteral("scripts/run.sh"),
        QStringLiteral("/S"),
        // the risk of commands recognised by the sender address alone
        QStringLiteral("差出人のアドレスだけで判断されます"),
        QStringLiteral("誰でも"),
    };
    for (const QString& text : needed)
        EXPECT_TRUE(html.contains(text)) << text.toStdString();
}

TEST(HelpDocument, LiesBesideTheBuiltProgram) {
    const QString beside = kProgramDir + QStringLiteral("/kelvo.html");
    ASSERT_TRUE(QFileInfo::exists(beside));
    EXPECT_EQ(readAll(beside), readAll(kSource));
    EXPECT_EQ(ヘルプファイルパス(kProgramDir), beside);
}

TEST(HelpDocument, TheMenuAndTheToolbarOpenItAtItsContents) {
    VirtualClock clock;
    QTemporaryDir settings;
    KelvoInstance kelvo(settings.path(), clock);
    kelvo.ctx.programDirectory = kProgramDir;
    kelvo.window->mnuヘルプ->trigger();
    kelvo.window->toolbarButton(kKeyヘルプ)->trigger();
    ASSERT_EQ(kelvo.ui.opened.size(), 2u);
    for (const QUrl& url : kelvo.ui.opened) {
        EXPECT_EQ(url.toLocalFile(), kProgramDir + QStringLiteral("/kelvo.html"));
        EXPECT_EQ(url.fragment(), QStringLiteral("contents"));
    }
    EXPECT_TRUE(kelvo.ui.messages.empty());
}

TEST(HelpDocument, IsInstalledIntoTheDataDirectory) {
    QTemporaryDir prefix;
    QProcess install;
    install.start(QStringLiteral(KELVO_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(KELVO_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    const QString bin = prefix.path() + QStringLiteral("/bin");
    const QString installed = prefix.path() + QStringLiteral("/share/kelvo/kelvo.html");
    ASSERT_TRUE(QFileInfo::exists(installed));
    EXPECT_EQ(readAll(installed), readAll(kSource));
    EXPECT_TRUE(QFileInfo::exists(bin + QStringLiteral("/kelvo")));
    // An installed Kelvo has no help beside it and finds this one.
    EXPECT_FALSE(QFileInfo::exists(bin + QStringLiteral("/kelvo.html")));
    EXPECT_TRUE(isInstalledLayout(bin));
    EXPECT_EQ(ヘルプファイルパス(bin), installed);
}
