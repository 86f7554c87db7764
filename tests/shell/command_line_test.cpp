#include "shell/command_line.h"

#include <gtest/gtest.h>

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
