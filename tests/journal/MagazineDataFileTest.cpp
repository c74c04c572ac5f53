// The journal's data file saved over an existing one: its line feeds stay
// single bytes after CR (no line end translation on any system).
#include "journal/MagazineFiles.h"

#include "app/Dialog.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

TEST(MagazineDataFile, SavedOverAnOldOneWithExactlyItsBytes) {
    TScratchDir dir;
    SetLogFileName(dir.File("test.log"));
    const std::string path = dir.File("journal.dat");
    WriteBytes(path, std::string(3000, '\n'));
    const std::string lines = "A3;1;12\nB5;2;2500\n0A0D0A\nЧЕК:15\n";
    ASSERT_TRUE(SaveMagazineFile(path, lines));
    ASSERT_TRUE(SaveMagazineFile(path, lines)) << "and once more over its own file";
    EXPECT_EQ(ReadBytes(path), "A3;1;12\r\nB5;2;2500\r\n0A0D0A\r\n\xD7\xC5\xCA:15\r\n");
    SetLogFileName("");
}
