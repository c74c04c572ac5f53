// The settings file and the journal's text and data files on a full disk
// and in a read-only folder: both are written whole beside the old file and
// put in its place only when complete, so a failed write names the file and
// leaves the old one as it was, with nothing beside it.
#include "StressSupport.h"

#include "app/ConfigFile.h"
#include "journal/MagazineFiles.h"
#include "link/Comport.h"

using namespace stresstest;

namespace {

const std::string kJournalText = "Чек 101\nХлеб белый нарезной   2 x 45.90\nИТОГ 91.80\n";

// A folder holding the settings file with the port section written.
struct TSettingsFolder {
    TSettingsFolder() {
        port.SetPortNumber(3);
        EXPECT_TRUE(port.SaveToIni(Path(), "Port"));
        Before = Bytes(Path());
    }
    std::string Path() const { return Dir / "VornikConfig.ini"; }
    // The port section with every value changed.
    bool SaveChanged() {
        TComPort changed;
        changed.SetPortNumber(12);
        changed.SetSpeed(115200);
        changed.ReadTotalTimeoutConstant = 777;
        return changed.SaveToIni(Path(), "Port");
    }
    TTempDir Dir;
    TComPort port;
    std::string Before;
};

}  // namespace

TEST(SettingsFileStress, FullDiskNamesTheFileAndKeepsIt) {
    TSettingsFolder f;
    const TChildRun run = OnFullDisk(static_cast<long long>(f.Before.size()) - 1, [&] { return f.SaveChanged(); });
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    EXPECT_TRUE(run.Said(f.Path())) << run.All();
    EXPECT_EQ(Bytes(f.Path()), f.Before);
    EXPECT_EQ(Entries(f.Dir.Path), std::vector<std::string>{"VornikConfig.ini"});
    EXPECT_TRUE(f.SaveChanged()) << "the disk has room again";
}

TEST(SettingsFileStress, ReadOnlyFolderNamesTheFileAndKeepsIt) {
    TSettingsFolder f;
    const TChildRun run = InReadOnlyFolder(f.Dir.Path, [&] { return f.SaveChanged(); });
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    EXPECT_TRUE(run.Said(f.Path())) << run.All();
    EXPECT_EQ(Bytes(f.Path()), f.Before);
    EXPECT_EQ(Entries(f.Dir.Path), std::vector<std::string>{"VornikConfig.ini"});
}

TEST(SettingsFileStress, ExchangeFileNameOnAFullDiskIsAnErrorBox) {
    TTempDir dir;
    const std::string old = CurrentDir();
    ASSERT_EQ(chdir(dir.Path.c_str()), 0);
    ASSERT_TRUE(WriteExchangeFile("goods.dbf"));
    const std::string before = Bytes(ConfigFilePath());
    const TChildRun run =
        OnFullDisk(static_cast<long long>(before.size()), [] {
            // As the window's close reports it.
            TUnsavedSettings unsaved;
            std::string error;
            const bool ok = unsaved.Note(WriteExchangeFile("/a/much/longer/name/goods.dbf", &error), "Exchange", error);
            unsaved.Report(true);
            return ok;
        });
    ASSERT_EQ(chdir(old.c_str()), 0);
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    ASSERT_EQ(run.Boxes.size(), 1u) << run.All();
    EXPECT_NE(run.Boxes[0].find("VornikConfig.ini"), std::string::npos) << run.Boxes[0];
    EXPECT_EQ(Bytes(dir / "VornikConfig.ini"), before);
}

TEST(JournalFilesStress, FullDiskNamesTheFileAndKeepsTheOldOne) {
    TTempDir dir;
    const std::string path = dir / "journal.txt";
    ASSERT_TRUE(SaveMagazineFile(path, "старый текст\n"));
    const std::string before = Bytes(path);
    const TChildRun run = OnFullDisk(static_cast<long long>(before.size()), [&] { return SaveMagazineFile(path, kJournalText); });
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    ASSERT_EQ(run.Boxes.size(), 1u) << run.All();
    EXPECT_NE(run.Boxes[0].find("Не удалось записать файл " + path), std::string::npos) << run.Boxes[0];
    EXPECT_EQ(Bytes(path), before);
    EXPECT_EQ(Entries(dir.Path), std::vector<std::string>{"journal.txt"});
}

TEST(JournalFilesStress, ReadOnlyFolderNamesTheFileAndKeepsTheOldOne) {
    TTempDir dir;
    const std::string path = dir / "journal.dat";
    ASSERT_TRUE(SaveMagazineFile(path, "A1;01;0001;\n"));
    const std::string before = Bytes(path);
    const TChildRun run = InReadOnlyFolder(dir.Path, [&] { return SaveMagazineFile(path, kJournalText); });
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    ASSERT_EQ(run.Boxes.size(), 1u) << run.All();
    EXPECT_NE(run.Boxes[0].find(path), std::string::npos) << run.Boxes[0];
    EXPECT_EQ(Bytes(path), before);
}

TEST(JournalFilesStress, AFolderInPlaceOfTheFileIsAnError) {
    TTempDir dir;
    const std::string path = dir / "journal.txt";
    fs::create_directory(path);
    TMessages messages;
    EXPECT_FALSE(SaveMagazineFile(path, kJournalText));
    ASSERT_EQ(messages.Boxes.size(), 1u);
    EXPECT_NE(messages.Boxes[0].find(path), std::string::npos) << messages.Boxes[0];
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(Entries(dir.Path), std::vector<std::string>{"journal.txt"});
}
