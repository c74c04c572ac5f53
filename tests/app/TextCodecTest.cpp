#include "app/TextCodec.h"

#include <gtest/gtest.h>

TEST(TextCodec, AllCodesRoundTripInBothCodePages) {
    for (auto cp : {TCodePage::cp1251, TCodePage::cp866}) {
        std::string all;
        for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
        EXPECT_EQ(Utf8ToCp(CpToUtf8(all, cp), cp), all);
    }
}

TEST(TextCodec, CyrillicLettersMapToTheirCodes) {
    EXPECT_EQ(Utf8ToCp1251("АЯая"), std::string("\xC0\xDF\xE0\xFF"));
    EXPECT_EQ(Utf8ToCp1251("Ёё№"), std::string("\xA8\xB8\xB9"));
    EXPECT_EQ(Cp1251ToUtf8("\xD1\xCE\xCC"), "СОМ");
    EXPECT_EQ(Utf8ToCp("Аа", TCodePage::cp866), std::string("\x80\xA0"));
}

TEST(TextCodec, CharactersWithoutACodeBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a€b"), std::string("a\x88" "b"));  // the euro sign has a code
    EXPECT_EQ(Utf8ToCp1251("äß中"), "???");
    EXPECT_EQ(Utf8ToCp1251(std::string("x\xFFy")), "x?y");  // malformed UTF-8
    EXPECT_EQ(Utf8ToCp1251(std::string("\xD0")), "?");     // cut sequence
}

TEST(TextCodec, WidthsCountCodePageCharacters) {
    EXPECT_EQ(Cp1251Length("Хлеб белый"), 10u);
    EXPECT_EQ(Utf8Left("Хлеб белый", 4), "Хлеб");
    EXPECT_EQ(Utf8Left("abc", 10), "abc");
}
