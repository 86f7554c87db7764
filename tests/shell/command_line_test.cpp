// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/command_line.h"
#include "shell/program_options.h"

#include <gtest/gtest.h>
#include <optional>

using namespace kelvo;

TEST(CommandLine, SwitchGivenLastInEitherCaseStartsSilently) {
    EXPECT_TRUE(コマンドライン解析(QStringLiteral("/S")).サイレント起動);
    EXPECT_TRUE(コマンドライン解析(QStringLiteral("/s")).サイレント起動);
    EXPECT_TRUE(コマンドライン解析(QStringLiteral("one two /s")).サイレント起動);
    EXPECT_TRUE(コマンドライン解析(QStringLiteral("\t /S \t")).サイレント起動);
}

TEST(CommandLine, SwitchFollowedByAnotherArgumentDoesNot) {
    EXPECT_FALSE(コマンドライン解析(QStringLiteral("/S x")).サイレント起動);
    EXPECT_FALSE(コマンドライン解析(QStringLiteral("/Sx")).サイレント起動);
    EXPECT_FALSE(コマンドライン解析(QString()).サイレント起動);
}

TEST(CommandLine, ArgumentsAreSplitAtBlanksAndTabsFromIndexOne) {
    const CommandLine c = コマンドライン解析(QStringLiteral("  a\tbb   ccc "));
    EXPECT_EQ(c.引数, (QStringList{QString(), QStringLiteral("a"), QStringLiteral("bb"), QStringLiteral("ccc")}));
    EXPECT_EQ(コマンドライン解析(QString()).引数, QStringList{QString()});
}

TEST(CommandLine, ScanningStopsAtTheEleventhArgument) {
    const QString ten = QStringLiteral("1 2 3 4 5 6 7 8 9 10");
    EXPECT_FALSE(コマンドライン解析(ten + QStringLiteral(" /S")).サイレント起動);
    EXPECT_EQ(コマンドライン解析(ten + QStringLiteral(" /S")).引数.size(), 11);
    EXPECT_TRUE(コマンドライン解析(QStringLiteral("1 2 3 4 5 6 7 8 9 /S")).サイレント起動);
    // A smaller maximum stops earlier.
    EXPECT_EQ(コマンドライン解析(QStringLiteral("a b c"), 2).引数,
              (QStringList{QString(), QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(TerminalOptions, HelpVersionAndUnknownOptionsAreAnsweredInOrderAndTheRestLeftToTheWindow) {
    struct Case {
        QStringList arguments;
        TerminalRequest::Kind kind;
        QString argument;
    };
    const Case cases[] = {
        {{}, TerminalRequest::None, {}},
        {{"/S"}, TerminalRequest::None, {}},
        {{"--help", "/S"}, TerminalRequest::Help, "--help"},
        {{"/s", "--version"}, TerminalRequest::Version, "--version"},
        {{"--version", "--bogus"}, TerminalRequest::Version, "--version"},
        {{"--bogus", "--help"}, TerminalRequest::Unknown, "--bogus"},
        {{"--Help"}, TerminalRequest::Unknown, "--Help"},
        {{"--"}, TerminalRequest::Unknown, "--"},
        {{"-platform", "offscreen"}, TerminalRequest::None, {}},
        // The sign-in command's profile may itself look like an option only when it does not
        // begin with "-"; the sign-in command takes the default profile then.
        {{"--sign-in", "仕事"}, TerminalRequest::None, {}},
        {{"--sign-in"}, TerminalRequest::None, {}},
        {{"--sign-in", "--help"}, TerminalRequest::Help, "--help"},
        {{"--sign-in", "Gmail", "--verbose"}, TerminalRequest::Unknown, "--verbose"},
        // Without windows nobody could start forwarding: the switch must come last.
        {{"--service", "/S"}, TerminalRequest::None, {}},
        {{"--service", "/s"}, TerminalRequest::None, {}},
        {{"/S", "--service"}, TerminalRequest::ServiceWithoutStart, "--service"},
        {{"--service"}, TerminalRequest::ServiceWithoutStart, "--service"},
        {{"--service", "/S", "x"}, TerminalRequest::ServiceWithoutStart, "--service"},
        {{"--service", "--help"}, TerminalRequest::Help, "--help"},
        {{"--sign-in", "--service"}, TerminalRequest::None, {}}, // the sign-in comes first
    };
    for (const Case& c : cases) {
        const TerminalRequest r = 端末要求(c.arguments);
        EXPECT_EQ(r.kind, c.kind) << c.arguments.join(u' ').toStdString();
        EXPECT_EQ(r.argument, c.argument) << c.arguments.join(u' ').toStdString();
    }
    EXPECT_TRUE(サービス指定({"--service", "/S"}));
    EXPECT_FALSE(サービス指定({"/S"}));
    EXPECT_FALSE(サービス指定({"--sign-in", "--service"}));
}

TEST(TerminalOptions, JapaneseWhenTheFirstSetOfLcAllLcMessagesAndLangSaysSo) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        bool japanese;
    };
    const Case cases[] = {
        {"", "", "ja_JP.UTF-8", true},  {"", "", "en_US.UTF-8", false},
        {"", "ja_JP.UTF-8", "C", true}, {"C", "ja_JP.UTF-8", "ja_JP.UTF-8", false},
        {"ja_JP.eucJP", "", "", true},  {"", "", "", false},
    };
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<QByteArray> saved[3];
    for (int i = 0; i < 3; ++i)
        if (qEnvironmentVariableIsSet(names[i]))
            saved[i] = qgetenv(names[i]);
    for (const Case& c : cases) {
        qputenv("LC_ALL", c.lcAll);
        qputenv("LC_MESSAGES", c.lcMessages);
        qputenv("LANG", c.lang);
        EXPECT_EQ(日本語ロケール(), c.japanese) << c.lcAll << '|' << c.lcMessages << '|' << c.lang;
    }
    for (int i = 0; i < 3; ++i)
        saved[i] ? qputenv(names[i], *saved[i]) : qunsetenv(names[i]);
}
