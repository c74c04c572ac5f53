#include "lang/U_language.h"

#include "app/Dialog.h"
#include "app/IniFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {
class Language : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataDir(dir.Path());
        ForceDir(dir.File("lang"));
        table.SetDefaults();
    }
    void TearDown() override { SetDataDir(""); }
    void Lng(const std::string& name, const std::string& utf8) {
        WriteBytes(dir.File("lang/" + name + ".lng"), Utf8ToCp1251(utf8));
    }
    TScratchDir dir;
    TLangResStrHandler table;
};
}  // namespace

TEST_F(Language, BuiltInTextsStartTheTable) {
    EXPECT_EQ(table[0], "Старт");
    EXPECT_EQ(table[3], "Конфигуратор");
    EXPECT_EQ(table[40], "Неизвестная ошибка");
    EXPECT_EQ(table[47], "Закрыто");
}

TEST_F(Language, CommentsEndEntriesAndEmptyLinesClearThem) {
    Lng("T", "Start\r\n\r\n;only a comment\r\nNo errors ;code 0\r\n");
    EXPECT_EQ(table.LoadLanguage("T"), 0);
    EXPECT_EQ(table[0], "Start");
    EXPECT_EQ(table[1], "");
    EXPECT_EQ(table[2], "");
    EXPECT_EQ(table[3], "No errors ");
    EXPECT_EQ(table[4], "Нет ошибок");  // beyond the file's lines
}

TEST_F(Language, LfLineEndsAndTooManyLines) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "L" + std::to_string(i) + "\n";
    Lng("T", text);
    table.LoadLanguage("T");
    EXPECT_EQ(table[0], "L0");
    EXPECT_EQ(table[47], "L47");
}

TEST_F(Language, AFileOfThreeLinesChangesThreeEntries) {
    Lng("T", "a\nb\nc");
    table.LoadLanguage("T");
    EXPECT_EQ(table[2], "c");
    EXPECT_EQ(table[3], "Конфигуратор");
}

TEST_F(Language, LongLinesAreReadIn999BytePieces) {
    Lng("T", std::string(1000, 'x') + "\r\nnext\r\n");
    table.LoadLanguage("T");
    EXPECT_EQ(table[0], std::string(999, 'x'));
    EXPECT_EQ(table[1], "x");
    EXPECT_EQ(table[2], "next");
}

TEST_F(Language, CyrillicFilesAreCp1251) {
    Lng("R", "Пуск\n");
    table.LoadLanguage("R");
    EXPECT_EQ(table[0], "Пуск");
}

TEST_F(Language, AMissingFileLeavesTheTable) {
    EXPECT_EQ(table.LoadLanguage("Nope"), 1);
    EXPECT_EQ(table[0], "Старт");
}

TEST_F(Language, ListAndSelect) {
    Lng("Deutsch", "Start\n");
    Lng("English", "Start\n");
    const std::string list = table.ListLanguages();
    EXPECT_TRUE(list == "Deutsch\r\nEnglish\r\n" || list == "English\r\nDeutsch\r\n") << list;
    ASSERT_TRUE(table.SelectLanguage("English"));
    EXPECT_EQ(table[0], "Start");
    EXPECT_EQ(ReadBytes(dir.File("lang/lang.ini")), "[MAIN]\r\nCurLang=English\r\n");
}

TEST_F(Language, SelectingWithoutALangFolderKeepsTheChoiceInTheWorkingDirectory) {
    TScratchDir work(true);
    SetDataDir(dir.File("elsewhere"));
    SetLogFileName(dir.File("x.log"));
    EXPECT_EQ(table.ListLanguages(), "");
    EXPECT_TRUE(table.SelectLanguage("English"));
    EXPECT_EQ(table[0], "Старт") << "no such language file: the table stays";
    EXPECT_EQ(TIniFile(work.File("lang.ini")).ReadString("MAIN", "CurLang", ""), "English");
    // Neither lang.ini can be written: the error names both.
    std::filesystem::remove(work.File("lang.ini"));
    std::filesystem::create_directory(work.File("lang.ini"));
    EXPECT_FALSE(table.SelectLanguage("English"));
    const std::string log = ReadCp1251(dir.File("x.log"));
    // Named as the program joins them (the system's separators).
    EXPECT_NE(log.find("Unable to write to " + JoinPath(JoinPath(dir.File("elsewhere"), "lang"), "lang.ini")),
              std::string::npos);
    EXPECT_NE(log.find("Unable to write to " + JoinPath(CurrentDir(), "lang.ini")), std::string::npos);
}
