// Damaged files and failing writes: a clear error, no crash, nothing lost.
#include "DbfTestFiles.h"

#include <random>

namespace {

using F = TDbfFieldDef;

const std::vector<TDbfFieldDef> kFields = {F::Integer("CODE"), F::Text("NAME", 10), F::Boolean("OK")};  // 129 / 21

// A table of n records: CODE 1..n, NAME "Имя i".
std::string MakeTable(const TDbfScratch& dir, const std::string& name, int n) {
    const std::string path = dir.File(name);
    TDbfTable t;
    EXPECT_TRUE(t.Open(path, kFields));
    for (int i = 1; i <= n; ++i) {
        EXPECT_TRUE(t.Append());
        EXPECT_TRUE(t.SetInteger("CODE", i));
        EXPECT_TRUE(t.SetText("NAME", "Имя " + std::to_string(i)));
        EXPECT_TRUE(t.Post());
    }
    EXPECT_TRUE(t.Close());
    return path;
}

// The table must refuse the bytes with an error that names the file and
// contains the given words.
void ExpectRefused(const std::string& path, const std::string& bytes, const std::string& words) {
    PutFileBytes(path, bytes);
    TDbfTable t;
    EXPECT_FALSE(t.OpenExisting(path)) << words;
    EXPECT_FALSE(t.IsOpen());
    EXPECT_NE(t.LastError().find(path), std::string::npos) << t.LastError();
    EXPECT_NE(t.LastError().find(words), std::string::npos) << t.LastError();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.GetText("NAME"), "");
}


}  // namespace

TEST(DbfDamage, DamagedFilesAreRefusedWithAClearError) {
    TDbfScratch dir;
    const std::string good = FileBytes(MakeTable(dir, "good.dbf", 3));
    ASSERT_EQ(good.size(), 129u + 3 * 21 + 1);
    const std::string path = dir.File("bad.dbf");
    auto patched = [&](std::size_t at, std::string bytes) {
        std::string b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };

    ExpectRefused(path, "", "shorter than a table header");
    ExpectRefused(path, good.substr(0, 20), "shorter than a table header");
    ExpectRefused(path, "PK\x03\x04" + good.substr(4), "not a dBase table (version byte 0x50)");
    ExpectRefused(path, patched(0, std::string(1, '\0')), "version byte 0x00");
    ExpectRefused(path, patched(0, "\x04"), "dBase level 7");
    ExpectRefused(path, patched(0, "\x02"), "dBase II");
    ExpectRefused(path, patched(8, Le16(40)), "header size 40 is too small");
    ExpectRefused(path, patched(8, Le16(5000)), "header size 5000 is larger than the file");
    ExpectRefused(path, patched(8, Le16(128)), "descriptors do not end within the header size 128");
    ExpectRefused(path, patched(10, Le16(0)), "record size 0");
    ExpectRefused(path, patched(10, Le16(25)), "record size 25 disagrees with the fields, which need 21");
    ExpectRefused(path, patched(128, "X"), "runs past the header size 129");  // 0x0D overwritten
    ExpectRefused(path, patched(32 + 11, "Z"), "unknown kind \"Z\"");
    ExpectRefused(path, patched(32 + 11, std::string(1, '\0')), "unknown kind 0x00");
    ExpectRefused(path, patched(64 + 16, std::string(1, '\0')), "(NAME) has the width 0");
    ExpectRefused(path, patched(64, std::string(11, '\0')), "field 2 has no name");
    ExpectRefused(path, patched(32, std::string(1, '\x0D')), "declares no field");

    // A header that claims more records than the file holds is corrected to
    // the size (the file ends at a record boundary).
    PutFileBytes(path, patched(4, Le32(1000)));
    TDbfTable t;
    ASSERT_TRUE(t.OpenExisting(path)) << t.LastError();
    EXPECT_EQ(t.RecordCount(), 3u);
    EXPECT_EQ(FileBytes(path).substr(4, 4), Le32(3));  // open for writing: the header is put right
    t.Close();

    // Bytes after the last whole record (a record cut short, a stray byte,
    // 0x00 for the end mark): the whole records are read, a read-only table
    // stays as it is, and the next write leaves a clean file.
    const std::string clean = good.substr(0, good.size() - 1);
    for (const std::string& bytes : {good.substr(0, good.size() - 6), clean + "x", clean + std::string(1, '\0'),
                                     good.substr(0, 129 + 2 * 21 + 10)}) {
        const std::uint32_t whole = static_cast<std::uint32_t>((bytes.size() - 129) / 21);
        PutFileBytes(path, bytes);
        TDbfTable reader;
        ASSERT_TRUE(reader.OpenExisting(path, true)) << reader.LastError();
        EXPECT_EQ(reader.Count(), whole);
        reader.Close();
        EXPECT_EQ(FileBytes(path), bytes);
        TDbfTable writer;
        ASSERT_TRUE(writer.OpenExisting(path)) << writer.LastError();
        ASSERT_TRUE(writer.Append() && writer.SetInteger("CODE", 9) && writer.Post() && writer.Close());
        EXPECT_EQ(FileBytes(path).size(), 129u + (whole + 1) * 21 + 1);
        EXPECT_EQ(FileBytes(path).back(), '\x1A');
        EXPECT_EQ(FileBytes(path).substr(4, 4), Le32(whole + 1));
    }
}

TEST(DbfDamage, OtherLevelsAreReadWhereTheyAreSimple) {
    TDbfScratch dir;
    const std::string path = MakeTable(dir, "t.dbf", 1);
    std::string bytes = FileBytes(path);
    // A dBase III table with a memo file, a date and a number with decimals,
    // as other software writes them: rename CODE to an N(9,2) and NAME to a
    // D(8) plus a two-byte memo-like field.
    bytes[0] = '\x83';
    bytes[32 + 17] = 2;  // CODE: 2 decimals
    bytes.replace(64 + 11, 1, "D");
    bytes[64 + 16] = 8;
    bytes.replace(128, 1, std::string("M\0\0\0\0\0\0\0\0\0\0M\0\0\0\0", 16) + '\x02' + std::string(15, '\0') + '\x0D');
    bytes[8] = static_cast<char>(129 + 32);
    bytes.replace(129 + 32, 21, std::string(" ") + "    12.50" + "20240506" + "T" + "  ");
    PutFileBytes(path, bytes);

    TDbfTable t;
    ASSERT_TRUE(t.OpenExisting(path)) << t.LastError();
    EXPECT_EQ(t.GetText("CODE"), "12.50");
    EXPECT_EQ(t.GetInteger("CODE"), 12);
    EXPECT_EQ(t.GetText("NAME"), "20240506");
    EXPECT_EQ(t.GetBool("OK"), true);
    EXPECT_TRUE(t.HasField("M", 'M'));
    EXPECT_EQ(t.GetText("M"), "");
    EXPECT_NE(t.LastError().find("kind M"), std::string::npos);
    EXPECT_FALSE(t.SetText("M", "x"));
    // Writing a number with decimals keeps the field's layout.
    ASSERT_TRUE(t.SetInteger("CODE", -3));
    ASSERT_TRUE(t.Post());
    t.Close();
    EXPECT_EQ(FileBytes(path).substr(129 + 32 + 1, 9), "    -3.00");
}

TEST(DbfDamage, MutatedHeadersNeverCrash) {
    TDbfScratch dir;
    const std::string good = FileBytes(MakeTable(dir, "good.dbf", 4));
    const std::string path = dir.File("m.dbf");
    std::mt19937 rng(20240506);
    int opened = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string b = good;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < changes; ++k) b[rng() % 130] = static_cast<char>(rng());
        if (round % 7 == 0) b.resize(rng() % b.size());
        PutFileBytes(path, b);
        TDbfTable t;
        if (!t.OpenExisting(path)) {
            EXPECT_FALSE(t.LastError().empty());
            continue;
        }
        ++opened;
        t.Count();
        for (; !t.Eof(); t.Next())
            for (int i = 0; i < static_cast<int>(t.Fields().size()); ++i) {
                t.GetText(i);
                t.GetInteger(i);
                t.GetBool(i);
            }
    }
    EXPECT_GT(opened, 0);
}

TEST(DbfDamage, AFailedAppendKeepsEarlierRecordsAndTheFileReadable) {
    TDbfScratch dir;
    const std::string path = MakeTable(dir, "t.dbf", 5);
    const std::string before = FileBytes(path);
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, kFields));
    bool appended = true, updated = false;
    std::string error;
    {
        // The file may not grow by a whole record: the append fails.
        TFileSizeLimit limit(before.size() + 10);
        appended = t.Append() && t.SetInteger("CODE", 6) && t.Post();
        error = t.LastError();
        // Changing a record in place still works.
        updated = t.First() && t.SetText("NAME", "новое") && t.Post();
    }
    EXPECT_FALSE(appended);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_TRUE(updated) << t.LastError();
    EXPECT_EQ(t.RecordCount(), 5u);
    EXPECT_EQ(t.Count(), 5);
    t.Close();

    std::string expected = before;
    expected.replace(129 + 1 + 9, 10, Utf8ToCp1251("новое") + "     ");
    EXPECT_EQ(FileBytes(path), expected);

    // Later writes work again once there is room.
    ASSERT_TRUE(t.Open(path, kFields));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetInteger("CODE", 6));
    ASSERT_TRUE(t.Close());
    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.Count(), 6);
}

TEST(DbfDamage, AFailedExportLeavesThePreviousFile) {
    TDbfScratch dir;
    const std::string path = MakeTable(dir, "goods.dbf", 5);
    const std::string before = FileBytes(path);
    bool created = false, closed = true;
    std::string error;
    {
        TFileSizeLimit limit(600 * 1024);
        TDbfTable t;
        created = t.CreateReplacing(path, kFields);
        for (int i = 1; i <= 100000 && created; ++i)
            if (!(t.Append() && t.SetInteger("CODE", i) && t.Post())) break;
        closed = t.Close();
        error = t.LastError();
    }
    EXPECT_TRUE(created);
    EXPECT_FALSE(closed);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(std::filesystem::directory_iterator(dir.Path()) == std::filesystem::directory_iterator(), false);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);  // no new file left behind
}

TEST(DbfDamage, ACreationCutShortLeavesNothingHalfWritten) {
    TDbfScratch dir;
    const std::string path = dir.File("Profile.dbf");
    const std::vector<TDbfFieldDef> fields = {F::Text("NAME", 30), F::Text("LN", 20)};
    bool opened = true;
    std::string error;
    {
        TFileSizeLimit limit(50);  // less than the header
        TDbfTable t;
        opened = t.Open(path, fields);
        error = t.LastError();
    }
    EXPECT_FALSE(opened);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));

    // An empty file left by such a failure becomes the empty table.
    PutFileBytes(path, "");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, fields)) << t.LastError();
    EXPECT_EQ(t.RecordCount(), 0u);
    t.Close();
    EXPECT_EQ(FileBytes(path).size(), 32u + 64 + 1 + 1);
    // Import never rewrites such a file.
    PutFileBytes(path, "");
    EXPECT_FALSE(t.OpenExisting(path));
    EXPECT_EQ(FileBytes(path), "");
}
