#include "app/Utilscolor.h"

#include <gtest/gtest.h>

namespace {
std::string Plain(const std::vector<TConsoleRun>& runs) {
    std::string s;
    for (const auto& r : runs) s += r.text;
    return s;
}
}  // namespace

TEST(ConsoleMarkup, ColourTagsAreEightUpperCaseDigits) {
    EXPECT_EQ(colorToStrR(255), "<c:000000FF>");
    EXPECT_EQ(colorToStrR(0xF0CAA6), "<c:00F0CAA6>");
}

TEST(ConsoleMarkup, ColourTagsSplitTheLineIntoColouredRuns) {
    const auto runs = ParseConsoleMarkup("<c:0000FFFF>12:00:00 <c:0000FF00>Старт");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "12:00:00 ");
    EXPECT_EQ(runs[0].color, 0x00FFFFu);
    EXPECT_EQ(runs[1].text, "Старт");
    EXPECT_EQ(runs[1].color, 0x00FF00u);
}

TEST(ConsoleMarkup, AMalformedColourGivesDarkRed) {
    const auto runs = ParseConsoleMarkup("<c:00GG00FF>x");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, "x");
    EXPECT_EQ(runs[0].color, C_BadColorTag);
}

TEST(ConsoleMarkup, StyleTagsRunToTheirOffTagOrTheEnd) {
    const auto runs = ParseConsoleMarkup("a<B>b{I>c<b>d<U>e");
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_FALSE(runs[0].bold);
    EXPECT_TRUE(runs[1].bold);
    EXPECT_TRUE(runs[2].bold && runs[2].italic);
    EXPECT_TRUE(!runs[3].bold && runs[3].italic);
    EXPECT_TRUE(runs[4].underline && runs[4].italic);
    EXPECT_EQ(Plain(runs), "abcde");
}

TEST(ConsoleMarkup, EscapesAndStrayOpeners) {
    EXPECT_EQ(Plain(ParseConsoleMarkup("a<<xb")), "a<b");  // second opener is text, x dropped
    EXPECT_EQ(Plain(ParseConsoleMarkup("a{<xb")), "a<b");
    EXPECT_EQ(Plain(ParseConsoleMarkup("a<zb")), "azb");   // opener dropped
    EXPECT_EQ(Plain(ParseConsoleMarkup("1 < 2")), "1  2");
}
