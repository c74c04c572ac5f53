// Files written through the system's calls keep their exact bytes: no line
// end translation, and a save replaces an existing file.
#include "app/Platform.h"
#include "app/U_filedirwork.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes + "\n\r\n\x1A";
}

}  // namespace

TEST(FileWrites, ASaveOverAnExistingFileReplacesItWhole) {
    TScratchDir dir;
    const std::string path = dir.File("VornikConfig.ini");
    ASSERT_TRUE(WriteFileAtomic(path, std::string(5000, 'x')));
    std::string why;
    ASSERT_TRUE(WriteFileAtomic(path, AllBytes(), &why)) << why;
    EXPECT_EQ(ReadBytes(path), AllBytes());
    ASSERT_TRUE(WriteFileAtomic(path, "[Port]\nCOMPort=3\n", &why)) << why;
    EXPECT_EQ(ReadBytes(path), "[Port]\nCOMPort=3\n");
    EXPECT_EQ(SysListDir(dir.Path()), std::vector<std::string>{"VornikConfig.ini"});
}

TEST(FileWrites, AppendsAndOffsetsKeepLfBytes) {
    TScratchDir dir;
    const std::string log = dir.File("vornik.log");
    ASSERT_TRUE(AppendFileBytes(log, "a\n"));
    ASSERT_TRUE(AppendFileBytes(log, "b\r\n"));
    EXPECT_EQ(ReadBytes(log), "a\nb\r\n");

    TSysFile f;
    ASSERT_TRUE(f.Open(dir.File("t.bin"), TSysFile::TMode::CreateNew)) << f.Status().Text;
    ASSERT_TRUE(f.WriteAt(0, AllBytes().data(), AllBytes().size()));
    ASSERT_TRUE(f.WriteAt(10, "\n\n", 2));
    ASSERT_TRUE(f.Truncate(12));
    std::uint64_t size = 0;
    ASSERT_TRUE(f.Size(size));
    EXPECT_EQ(size, 12u);
    char back[3] = {};
    EXPECT_FALSE(f.ReadAt(10, back, 3)) << "past the end";
    EXPECT_EQ(f.Status().Fault, TFileFault::Ended);
    ASSERT_TRUE(f.ReadAt(9, back, 3));
    EXPECT_EQ(std::string(back, 3), "\x09\n\n");
    ASSERT_TRUE(f.Close());
    TSysFile again;
    EXPECT_FALSE(again.Open(dir.File("t.bin"), TSysFile::TMode::CreateNew));
    EXPECT_EQ(again.Status().Fault, TFileFault::Exists);
    EXPECT_FALSE(again.Open(dir.File("missing"), TSysFile::TMode::Read));
    EXPECT_EQ(again.Status().Fault, TFileFault::NotFound);
}

TEST(FileWrites, PathsSplitAtTheSystemsSeparators) {
    EXPECT_EQ(PathName(JoinPath(JoinPath("bd", "x"), "Profile.dbf")), "Profile.dbf");
    EXPECT_EQ(PathFolder(JoinPath("bd", "Profile.dbf")), "bd");
    EXPECT_EQ(PathFolder("/Profile.dbf"), "/");
    EXPECT_EQ(PathFolder("Profile.dbf"), "");
    if (IsPathSeparator('\\')) {
        EXPECT_EQ(PathName("C:\\Program Files\\Vornik\\vornik-cli.exe"), "vornik-cli.exe");
        EXPECT_EQ(PathFolder("C:/Vornik\\bd/Profile.dbf"), "C:/Vornik\\bd");
    } else {
        EXPECT_EQ(PathName("dir/a\\b"), "a\\b");
    }
    EXPECT_FALSE(SysProgramPath().empty());
    EXPECT_TRUE(FileExists(SysProgramPath()));
}

TEST(FileWrites, APrivateTempFolderIsNewEachTimeAndGoesAwayEmptied) {
    std::string a, b, why;
    ASSERT_TRUE(SysMakePrivateTempDir("vornik-test-", a, why)) << why;
    ASSERT_TRUE(SysMakePrivateTempDir("vornik-test-", b, why)) << why;
    EXPECT_NE(a, b);
    EXPECT_EQ(SysPathKind(a), TPathKind::Dir);
    EXPECT_TRUE(SysListDir(a).empty());
    const std::string file = JoinPath(a, "upload-1.csv");
    TSysFile f;
    ASSERT_TRUE(f.Open(file, TSysFile::TMode::CreatePrivate)) << f.Status().Text;
    ASSERT_TRUE(f.Close());
    EXPECT_FALSE(f.Open(file, TSysFile::TMode::CreatePrivate)) << "never one already there";
    EXPECT_FALSE(SysRemoveDir(a)) << "not empty";
    EXPECT_TRUE(SysRemoveFile(file));
    EXPECT_TRUE(SysRemoveDir(a));
    EXPECT_TRUE(SysRemoveDir(b));
    EXPECT_EQ(SysPathKind(a), TPathKind::None);
}
