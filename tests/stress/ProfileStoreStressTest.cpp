// The profile store (six tables under bd) on a full disk and in a read-only
// folder: a save that cannot be written fails with an error naming the
// table, nothing crashes, and profiles saved before still load.
#include "StressSupport.h"
#include "ProfileListEntry.h"

#include "kkm/U_kkms.h"
#include "profiles/ProfileStore.h"
#include "settings/Unitbd.h"

using namespace stresstest;

namespace {

const char* const kTables[] = {"Profile.dbf", "options.dbf", "Dept.dbf", "Tax.dbf", "check.dbf", "checkFont.dbf"};

// The working tables with a store in dir.
struct TStoreRig {
    explicit TStoreRig(const std::string& dir) {
        Store.Dir = dir;
        Store.DecimalSeparator = '.';
        BD.Info = &Info;
    }

    // The register profile's rows: options 1..32 with value base + n,
    // departments 1..deps named after the tag, header lines after the tag.
    void Fill(int base, int deps, const std::string& tag) {
        BD.mtProfile.First();
        TMemTable& o = BD.mtOptions;
        TBD::ClearRows(o);
        for (int n = 1; n <= 32; ++n) {
            o.Append();
            o.SetValue("num", n);
            o.SetValue("Value", base + n);
            o.Post();
        }
        TMemTable& d = BD.mtDepatment;
        TBD::ClearRows(d);
        for (int n = 1; n <= deps; ++n) {
            d.Append();
            d.SetValue("Num", n);
            d.SetValue("Status", DepKindGoods);
            d.SetValue("Name", tag + " отдел " + std::to_string(n));
            d.SetValue("NG", "B");
            d.SetValue("Price", TCurrency::FromInteger(n));
            d.Post();
        }
        TMemTable& t = BD.mtTitle;
        for (int i = 0; i < t.RecordCount(); ++i) {
            t.GoToRow(i);
            t.Edit();
            t.SetValue("Caption", tag + " заголовок " + std::to_string(i + 1));
            t.Post();
        }
    }
    std::string Save(const std::string& name, const std::string& sn) { return Store.SaveProfile(name, sn, "ver012"); }

    // Makes a list entry for the stored profile current, which loads it.
    void Show(const std::string& name, const std::string& key) { ShowStoredProfile(BD.mtProfile, name, key); }
    std::vector<std::string> Column(TMemTable& t, const char* field) {
        std::vector<std::string> out;
        for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleRecord(i).AsString(field));
        return out;
    }
    std::vector<std::string> Options() { return Column(BD.mtOptions, "Value"); }
    std::vector<std::string> Deps() { return Column(BD.mtDepatment, "Name"); }
    std::vector<std::string> Titles() { return Column(BD.mtTitle, "Caption"); }

    TKKMInfo Info;
    TBD BD;
    TProfileStore Store{BD};
};

std::vector<std::string> Values(int base) {
    std::vector<std::string> v;
    for (int n = 1; n <= 32; ++n) v.push_back(std::to_string(base + n));
    return v;
}

std::vector<std::string> DepNames(const std::string& tag, int deps) {
    std::vector<std::string> v;
    for (int n = 1; n <= deps; ++n) v.push_back(tag + " отдел " + std::to_string(n));
    return v;
}

// A store holding profile "А" (options 101.., four departments "А").
struct TStoreFolder {
    TStoreFolder() {
        TMessages quiet;
        TStoreRig rig(Dir());
        rig.Fill(100, 4, "А");
        KeyA = rig.Save("Профиль А", "000000000111");
        EXPECT_FALSE(KeyA.empty()) << quiet.All();
        rig.Store.Close();
        Smallest = -1;
        for (const char* t : kTables) {
            const long long n = FileSize(Table(t));
            if (Smallest < 0 || n < Smallest) Smallest = n;
        }
    }
    std::string Dir() const { return Root / "bd"; }
    std::string Table(const std::string& file) const { return JoinPath(Dir(), file); }
    // Profile "А" loads as it was saved.
    void ExpectALoads() const {
        TMessages messages;
        TStoreRig rig(Dir());
        rig.Show("Профиль А", KeyA);
        EXPECT_EQ(rig.Options(), Values(100)) << messages.All();
        EXPECT_EQ(rig.Deps(), DepNames("А", 4));
        EXPECT_TRUE(messages.Boxes.empty()) << messages.All();
    }
    TTempDir Root;
    std::string KeyA;
    long long Smallest = 0;
};

// An error box naming one of the store's tables.
bool NamesATable(const TChildRun& run, const std::string& dir) {
    for (const auto& box : run.Boxes)
        if (box.find(dir) != std::string::npos && box.find(".dbf") != std::string::npos) return true;
    return false;
}

}  // namespace

// Not one table can grow: the new profile's first row is refused.
TEST(ProfileStoreStress, FullDiskRefusesANewProfileAndKeepsTheOldOnes) {
    TStoreFolder f;
    const TChildRun run = OnFullDisk(f.Smallest, [&] {
        TStoreRig rig(f.Dir());
        rig.Fill(200, 8, "Б");
        return !rig.Save("Профиль Б", "000000000222").empty();
    });
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok) << "a save that could not be written reported success\n" << run.All();
    EXPECT_TRUE(NamesATable(run, f.Dir())) << run.All();
    f.ExpectALoads();

    // With room again the store takes the new profile.
    TMessages messages;
    TStoreRig rig(f.Dir());
    rig.Fill(200, 8, "Б");
    const std::string keyB = rig.Save("Профиль Б", "000000000222");
    ASSERT_FALSE(keyB.empty()) << messages.All();
    TStoreRig reader(f.Dir());
    reader.Show("Профиль Б", keyB);
    EXPECT_EQ(reader.Options(), Values(200));
    EXPECT_EQ(reader.Deps(), DepNames("Б", 8));
}

// The disk fills in the middle of a save: some tables took their rows.
TEST(ProfileStoreStress, DiskFillingDuringASaveKeepsTheOldProfiles) {
    TStoreFolder f;
    const long long limit = FileSize(f.Table("options.dbf"));  // the small tables can grow, options.dbf cannot
    const TChildRun run = OnFullDisk(limit, [&] {
        TStoreRig rig(f.Dir());
        rig.Fill(200, 8, "Б");
        return !rig.Save("Профиль Б", "000000000222").empty();
    });
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok) << run.All();
    EXPECT_TRUE(NamesATable(run, f.Dir())) << run.All();
    f.ExpectALoads();

    // The new profile is not in the list as if it had been saved.
    TMessages messages;
    TStoreRig rig(f.Dir());
    std::vector<TStoredProfile> found;
    ASSERT_TRUE(rig.Store.Find({{"NAME", "Профиль Б"}}, found)) << messages.All();
    EXPECT_TRUE(found.empty())
        << "a save that failed on a detail table leaves no master row behind";
}

// Overwriting a profile writes its rows in place, table by table: when the
// disk fills in the middle, that profile is left partly new (the rows the
// tables took), the failure is reported, and every other profile is intact.
TEST(ProfileStoreStress, OverwritingOnAFullDiskLeavesTheOtherProfiles) {
    TStoreFolder f;
    std::string keyC;
    {
        TMessages quiet;
        TStoreRig rig(f.Dir());
        rig.Fill(150, 4, "В");
        keyC = rig.Save("Профиль В", "000000000333");
        ASSERT_FALSE(keyC.empty()) << quiet.All();
    }
    const long long limit = FileSize(f.Table("Dept.dbf"));  // Dept.dbf cannot take more rows
    const TChildRun run = OnFullDisk(limit, [&] {
        TStoreRig rig(f.Dir());
        rig.Fill(200, 8, "А2");
        return !rig.Save("Профиль А", "000000000111").empty();
    });
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok) << run.All();
    EXPECT_TRUE(NamesATable(run, f.Dir())) << run.All();

    TMessages messages;
    TStoreRig rig(f.Dir());
    rig.Show("Профиль В", keyC);
    EXPECT_EQ(rig.Options(), Values(150));
    EXPECT_EQ(rig.Deps(), DepNames("В", 4));
    EXPECT_TRUE(messages.Boxes.empty()) << messages.All();
}

TEST(ProfileStoreStress, ReadOnlyFolderRefusesASaveWithTheTableNamed) {
    TStoreFolder f;
    const TChildRun run = InReadOnlyFolder(f.Dir(), [&] {
        TStoreRig rig(f.Dir());
        rig.Fill(200, 8, "Б");
        return !rig.Save("Профиль Б", "000000000222").empty();
    });
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    EXPECT_TRUE(NamesATable(run, f.Dir())) << run.All();
    f.ExpectALoads();
}

TEST(ProfileStoreStress, ProfilesOnAReadOnlyMediumStillLoad) {
    TStoreFolder f;
    const TChildRun run = InReadOnlyFolder(f.Dir(), [&] {
        TStoreRig rig(f.Dir());
        rig.Show("Профиль А", f.KeyA);
        return rig.Options() == Values(100) && rig.Deps() == DepNames("А", 4);
    });
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_TRUE(run.Ok) << "profiles saved before load from a read-only folder\n" << run.All();
}

// bd cannot be made: a file of that name is in its place.
TEST(ProfileStoreStress, AFileInPlaceOfTheFolderIsAnErrorNamingIt) {
    TTempDir root;
    const std::string dir = root / "bd";
    {
        std::FILE* file = std::fopen(dir.c_str(), "w");
        ASSERT_TRUE(file);
        std::fclose(file);
    }
    TMessages messages;
    TStoreRig rig(dir);
    rig.Fill(100, 4, "А");
    EXPECT_TRUE(rig.Save("Профиль А", "000000000111").empty());
    ASSERT_FALSE(messages.Boxes.empty());
    EXPECT_NE(messages.Boxes[0].find(dir), std::string::npos) << messages.Boxes[0];
    EXPECT_TRUE(fs::is_regular_file(dir));
}
