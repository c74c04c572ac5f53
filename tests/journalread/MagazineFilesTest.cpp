// The journal's text and data files: code page 1251, CR LF after every line,
// the old file replaced, and a file that cannot be written.
#include "journal/MagazineFiles.h"

#include "app/Dialog.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

struct TSaveRig {
    TSaveRig() {
        ResetSwitches();
        isAUTONOM = true;
        SetLogFileName(dir.File("test.log"));
    }
    ~TSaveRig() {
        SetLogFileName("");
        ResetSwitches();
    }
    std::string Log() const { return ReadCp1251(dir.File("test.log")); }
    TScratchDir dir;
};

}  // namespace

TEST(MagazineFile, EveryLineEndsWithCrLfInCodePage1251) {
    EXPECT_EQ(MagazineFileBytes(""), "");
    EXPECT_EQ(MagazineFileBytes("A3;1;12"), "A3;1;12\r\n");
    EXPECT_EQ(MagazineFileBytes("a\nb\n"), "a\r\nb\r\n") << "a final line end adds no empty line";
    EXPECT_EQ(MagazineFileBytes("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ(MagazineFileBytes("\na\n\nb"), "\r\na\r\n\r\nb\r\n") << "empty lines inside are lines";
    EXPECT_EQ(MagazineFileBytes("ЧЕК:15     ФИСКАЛЬНЫЙ"),
              "\xD7\xC5\xCA:15     \xD4\xC8\xD1\xCA\xC0\xCB\xDC\xCD\xDB\xC9\r\n");
    EXPECT_EQ(MagazineFileBytes("0xС5"), "0x\xD1" "5\r\n") << "the Cyrillic Es";
}

TEST(MagazineFile, SavingReplacesTheWholeFile) {
    TSaveRig rig;
    const std::string path = rig.dir.File("journal.txt");
    WriteBytes(path, std::string(1000, 'x'));
    ASSERT_TRUE(SaveMagazineFile(path, "ИТОГ           25.00\nНАЛИЧНЫМИ      30.00"));
    EXPECT_EQ(ReadBytes(path), "\xC8\xD2\xCE\xC3           25.00\r\n\xCD\xC0\xCB\xC8\xD7\xCD\xDB\xCC\xC8      30.00\r\n");
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(MagazineFile, AFileThatCannotBeWrittenIsNamedAndTheOldOneKept) {
    TSaveRig rig;
    const std::string missing = rig.dir.File("no-such-folder/journal.txt");
    EXPECT_FALSE(SaveMagazineFile(missing, "B5;2;2500"));
    EXPECT_NE(rig.Log().find("Error:Не удалось записать файл " + missing + ": No such file or directory"),
              std::string::npos);
    EXPECT_FALSE(FileExists(missing));

    const std::string notAFolder = rig.dir.File("plain");
    WriteBytes(notAFolder, "x");
    EXPECT_FALSE(SaveMagazineFile(notAFolder + "/journal.txt", "B5;2;2500"));
    EXPECT_NE(rig.Log().find(notAFolder + "/journal.txt: Not a directory"), std::string::npos);
    EXPECT_EQ(ReadBytes(notAFolder), "x");
}

TEST(MagazineFile, AFailedReplaceKeepsTheOldFile) {
    TSaveRig rig;
    const std::string kept = rig.dir.File("journal.txt");
    WriteBytes(kept, "old\r\n");
    ASSERT_TRUE(ForceDir(kept + ".tmp"));  // the new file cannot be made beside it
    EXPECT_FALSE(SaveMagazineFile(kept, "new"));
    EXPECT_EQ(ReadBytes(kept), "old\r\n");
    EXPECT_NE(rig.Log().find("Не удалось записать файл " + kept + ": Is a directory"), std::string::npos);
}
