#include "app/IniFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(IniFile, MissingFileAndKeysReadAsDefaults) {
    TScratchDir dir;
    TIniFile ini(dir.File("none.ini"));
    EXPECT_EQ(ini.ReadString("Port", "COMPort", "x"), "x");
    EXPECT_EQ(ini.ReadInteger("Port", "COMPort", 7), 7);
    EXPECT_FALSE(FileExists(dir.File("none.ini")));
}

TEST(IniFile, NamesCompareWithoutCaseAndValuesAreCp1251) {
    TScratchDir dir;
    WriteBytes(dir.File("a.ini"), Utf8ToCp1251("[port]\r\ncomport = 5\r\n[Опции]\r\nОП1=Текст, с запятой\r\n"));
    TIniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.ReadInteger("PORT", "COMPort", 1), 5);
    EXPECT_EQ(ini.ReadString("опции", "оп1", ""), "Текст, с запятой");
}

TEST(IniFile, IntegersThatAreNotNumbersGiveTheDefault) {
    TScratchDir dir;
    WriteBytes(dir.File("a.ini"), "[s]\nA=12x\nB=-40\nC=\nD= 300 \nE=99999999999\n");
    TIniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.ReadInteger("s", "A", 1), 1);
    EXPECT_EQ(ini.ReadInteger("s", "B", 1), -40);
    EXPECT_EQ(ini.ReadInteger("s", "C", 1), 1);
    EXPECT_EQ(ini.ReadInteger("s", "D", 1), 300);
    EXPECT_EQ(ini.ReadInteger("s", "E", 1), 1);
}

TEST(IniFile, WritingAKeyKeepsEveryOtherLineInItsPlace) {
    TScratchDir dir;
    const std::string path = dir.File("a.ini");
    WriteBytes(path, "; comment\n[Port]\nCOMPort=1\n\n[NET]\nNUMBER=3\n[Other]\nx=y\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteInteger("net", "number", 12));
    ASSERT_TRUE(ini.WriteInteger("Port", "Speed", 9600));
    ASSERT_TRUE(ini.WriteString("New", "Key", "Значение"));
    EXPECT_EQ(ReadBytes(path), Utf8ToCp1251("; comment\r\n[Port]\r\nCOMPort=1\r\nSpeed=9600\r\n\r\n[NET]\r\nnumber=12\r\n"
                                            "[Other]\r\nx=y\r\n[New]\r\nKey=Значение\r\n"));
    EXPECT_EQ(TIniFile(path).ReadInteger("NET", "NUMBER", 0), 12);
}

TEST(IniFile, WriteCreatesTheFileAndAFailedWriteKeepsTheOldOne) {
    TScratchDir dir;
    const std::string path = dir.File("new.ini");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteInteger("NET", "NUMBER", 1));
    EXPECT_EQ(ReadBytes(path), "[NET]\r\nNUMBER=1\r\n");

    TIniFile missingDir(dir.File("no/such/dir.ini"));
    EXPECT_FALSE(missingDir.WriteInteger("NET", "NUMBER", 2));
    EXPECT_NE(missingDir.LastError().find("Unable to write to"), std::string::npos);

    if (!WritesIgnoreFolderModes()) {
        ::chmod(dir.Path().c_str(), 0500);
        EXPECT_FALSE(TIniFile(path).WriteInteger("NET", "NUMBER", 5));
        ::chmod(dir.Path().c_str(), 0700);
        EXPECT_EQ(ReadBytes(path), "[NET]\r\nNUMBER=1\r\n");
    }
}
