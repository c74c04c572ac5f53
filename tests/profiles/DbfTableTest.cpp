// Working with open tables: scanning, filters, editing, field access by name
// and kind, code pages, the open modes and replacing a file.
#include "DbfTestFiles.h"

#include "app/U_filedirwork.h"

#include <dirent.h>

namespace {

using F = TDbfFieldDef;

const std::vector<TDbfFieldDef> kProfile = {F::Text("NAME", 30), F::Text("SN", 30), F::Text("TYPEKKM", 20), F::Text("LN", 20)};

void AddProfile(TDbfTable& t, const std::string& name, const std::string& sn, const std::string& ln) {
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", name));
    ASSERT_TRUE(t.SetText("SN", sn));
    ASSERT_TRUE(t.SetText("LN", ln));
    ASSERT_TRUE(t.Post()) << t.LastError();
}

// LN of every record the scan visits.
std::string Scan(TDbfTable& t) {
    std::string keys;
    EXPECT_TRUE(t.First());
    for (; !t.Eof(); t.Next()) keys += t.GetText("LN") + ";";
    return keys;
}

std::vector<std::string> FilesOf(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

}  // namespace

TEST(DbfTable, ScanSkipsDeletedRecordsAndFiltersCompareValues) {
    TDbfScratch dir;
    TDbfTable t;
    ASSERT_TRUE(t.Open(dir.File("Profile.dbf"), kProfile));
    AddProfile(t, "Сохраненная", "123", "1");
    AddProfile(t, "O'Brien", "", "2");
    AddProfile(t, "o'brien", "", "3");
    AddProfile(t, "", "", "4");
    AddProfile(t, "Сохраненная", "456", "5");
    AddProfile(t, "  lead", "", "6");
    EXPECT_EQ(Scan(t), "1;2;3;4;5;6;");

    ASSERT_TRUE(t.SetFilter({{"Name", "O'Brien"}}));  // apostrophes are plain text; letters case-sensitive
    EXPECT_EQ(Scan(t), "2;");
    ASSERT_TRUE(t.SetFilter({{"NAME", "Сохраненная"}, {"SN", "456"}}));
    EXPECT_EQ(t.GetText("LN"), "5");  // setting the filter moves to its first record
    EXPECT_EQ(Scan(t), "5;");
    ASSERT_TRUE(t.SetFilter({{"NAME", ""}}));  // an empty literal finds only empty fields
    EXPECT_EQ(Scan(t), "4;");
    ASSERT_TRUE(t.SetFilter({{"SN", ""}, {"NAME", "lead"}}));  // leading blanks belong to the value
    EXPECT_EQ(Scan(t), "");
    ASSERT_TRUE(t.SetFilter({{"NAME", "  lead"}}));
    EXPECT_EQ(Scan(t), "6;");
    ASSERT_TRUE(t.SetFilter({{"NAME", "Сохраненная"}}));
    EXPECT_EQ(t.Count(), 2);

    // Deleting while filtered moves on to the next passing record.
    ASSERT_TRUE(t.First());
    while (!t.Eof()) ASSERT_TRUE(t.Delete());
    EXPECT_EQ(t.Count(), 0);
    t.ClearFilter();
    EXPECT_EQ(Scan(t), "2;3;4;6;");
    EXPECT_EQ(t.Count(), 4);
    EXPECT_EQ(t.RecordCount(), 6u);

    // A filter on a field the table lacks lets nothing through.
    EXPECT_FALSE(t.SetFilter({{"NAME", "O'Brien"}, {"OWNER", "x"}}));
    EXPECT_NE(t.LastError().find("OWNER"), std::string::npos);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.Count(), 0);
}

TEST(DbfTable, FilterFindsWhatWasStoredForAnOverlongOrNumericValue) {
    TDbfScratch dir;
    TDbfTable t;
    ASSERT_TRUE(t.Open(dir.File("t.dbf"), {F::Text("NAME", 5), F::Integer("NUM"), F::Boolean("OK")}));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", "Молоко"));  // stored as "Молок"
    ASSERT_TRUE(t.SetInteger("NUM", -12));
    ASSERT_TRUE(t.SetBool("OK", true));
    ASSERT_TRUE(t.Post());
    ASSERT_TRUE(t.SetFilter({{"NAME", "Молоко"}}));
    EXPECT_EQ(t.Count(), 1);
    ASSERT_TRUE(t.SetFilter({{"NAME", "Молок"}, {"NUM", "-12"}, {"OK", "T"}}));
    EXPECT_EQ(t.Count(), 1);
    ASSERT_TRUE(t.SetFilter({{"NUM", "12"}}));
    EXPECT_EQ(t.Count(), 0);
}

TEST(DbfTable, EditingPostsOnMoveAndCancelDropsChanges) {
    TDbfScratch dir;
    const std::string path = dir.File("Profile.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, kProfile));
    AddProfile(t, "a", "", "1");
    AddProfile(t, "b", "", "2");

    // Next writes the changed record first.
    ASSERT_TRUE(t.First());
    ASSERT_TRUE(t.SetText("NAME", "a2"));
    EXPECT_TRUE(t.Modified());
    ASSERT_TRUE(t.Next());
    EXPECT_FALSE(t.Modified());
    EXPECT_EQ(t.GetText("NAME"), "b");
    EXPECT_EQ(t.RecNo(), 2u);

    // Cancel restores the record as it is in the file.
    ASSERT_TRUE(t.SetText("NAME", "zzz"));
    t.Cancel();
    EXPECT_EQ(t.GetText("NAME"), "b");

    // An append cancelled leaves no record and returns to where it was.
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", "c"));
    t.Cancel();
    EXPECT_EQ(t.GetText("NAME"), "b");
    EXPECT_EQ(t.RecordCount(), 2u);

    // Close posts an append still pending.
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", "d"));
    ASSERT_TRUE(t.SetText("LN", "4"));
    ASSERT_TRUE(t.Close());
    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.GetText("NAME"), "a2");
    EXPECT_EQ(Scan(t), "1;2;4;");
    EXPECT_EQ(FileBytes(path).size(), 161u + 3 * 101 + 1);
}

TEST(DbfTable, FieldsAreFoundByNameAndKindInAnyOrder) {
    TDbfScratch dir;
    const std::string path = dir.File("goods.dbf");
    TDbfTable t;
    // Another program's layout: other order, other widths, one more field.
    ASSERT_TRUE(t.Open(path, {F::Text("NAME", 40), F::Boolean("ISBLOCK"), F::Text("EXTRA", 3), F::Integer("CODE")}));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("name", "Хлеб"));
    ASSERT_TRUE(t.SetInteger("Code", 7));
    ASSERT_TRUE(t.Post());
    t.Close();

    ASSERT_TRUE(t.OpenExisting(path, true));
    EXPECT_TRUE(t.IsReadOnly());
    EXPECT_TRUE(t.HasFields({F::Integer("CODE"), F::Text("NAME", 32), F::Boolean("ISBLOCK")}));
    EXPECT_FALSE(t.HasFields({F::Integer("CODE"), F::Integer("NAME")}));
    EXPECT_NE(t.LastError().find("NAME"), std::string::npos);
    EXPECT_FALSE(t.HasFields({F::Text("PRICE", 20)}));
    EXPECT_NE(t.LastError().find("PRICE"), std::string::npos);
    EXPECT_EQ(t.FieldIndex("code"), 3);
    EXPECT_EQ(t.FieldIndex("PRICE"), -1);
    EXPECT_EQ(t.GetText(t.FieldIndex("NAME")), "Хлеб");
    EXPECT_EQ(t.GetInteger("CODE"), 7);

    // A missing field reads as null and says which one; a read-only table
    // refuses changes.
    EXPECT_EQ(t.GetText("PRICE"), "");
    EXPECT_NE(t.LastError().find("PRICE"), std::string::npos);
    EXPECT_FALSE(t.SetText("NAME", "x"));
    EXPECT_NE(t.LastError().find("read-only"), std::string::npos);
    EXPECT_FALSE(t.Append());
    EXPECT_EQ(t.GetText("NAME"), "Хлеб");

    // Opening for the store demands its fields by name and kind.
    t.Close();
    EXPECT_FALSE(t.Open(path, {F::Integer("CODE"), F::Text("PRICE", 20)}));
    EXPECT_FALSE(t.IsOpen());
    EXPECT_NE(t.LastError().find("PRICE"), std::string::npos);
    EXPECT_NE(t.LastError().find(path), std::string::npos);
}

TEST(DbfTable, ValuesConvertBetweenKinds) {
    TDbfScratch dir;
    const std::string path = dir.File("v.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, {F::Integer("N"), F::Text("C", 10), F::Boolean("L")}));
    ASSERT_TRUE(t.Append());
    EXPECT_FALSE(t.SetText("N", "12a"));  // not a number: refused, field unchanged
    EXPECT_NE(t.LastError().find("12a"), std::string::npos);
    EXPECT_TRUE(t.IsNull("N"));
    EXPECT_TRUE(t.SetText("N", "-0042"));
    EXPECT_EQ(t.GetInteger("N"), -42);
    EXPECT_TRUE(t.SetText("N", ""));
    EXPECT_TRUE(t.IsNull("N"));
    EXPECT_FALSE(t.SetBool("N", true));
    EXPECT_FALSE(t.SetInteger("L", 1));
    EXPECT_TRUE(t.SetText("L", "t"));
    EXPECT_EQ(t.GetBool("L"), true);
    EXPECT_EQ(t.GetText("L"), "T");
    EXPECT_FALSE(t.SetText("L", "maybe"));
    EXPECT_TRUE(t.SetText("C", " 15 "));
    EXPECT_EQ(t.GetInteger("C"), 15);
    EXPECT_TRUE(t.SetText("C", "abc"));
    EXPECT_EQ(t.GetInteger("C"), 0);  // text that is not a number reads as 0
    EXPECT_EQ(t.GetBool("C"), std::nullopt);
    ASSERT_TRUE(t.Post());
    t.Close();

    // Bytes other software writes into number and boolean fields.
    std::string bytes = FileBytes(path);
    const std::size_t r = 129 + 1;
    for (const auto& [n, l, number, flag] : std::vector<std::tuple<std::string, char, std::optional<long long>, std::optional<bool>>>{
             {"  12     ", 'Y', 12, true},
             {"     12.5", '?', 12, std::nullopt},
             {"      1e3", 'x', 0, false},
             {"         ", 'f', std::nullopt, false},
             {"-        ", 'N', 0, false}}) {
        bytes.replace(r, 9, n);
        bytes[r + 9 + 10] = l;
        PutFileBytes(path, bytes);
        ASSERT_TRUE(t.OpenExisting(path));
        EXPECT_EQ(t.GetInteger("N"), number) << n;
        EXPECT_EQ(t.GetBool("L"), flag) << l;
        EXPECT_EQ(t.IsNull("L"), !flag.has_value()) << l;
    }
}

TEST(DbfTable, CodePage866FilesAreConvertedBothWays) {
    TDbfScratch dir;
    const std::string path = dir.File("dos.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, {F::Text("NAME", 10), F::Integer("N")}));
    t.Close();
    std::string bytes = FileBytes(path);
    bytes[29] = 0x65;  // Russian MS-DOS
    // One record written by a DOS program: "Хлеб".
    bytes.insert(bytes.size() - 1, std::string(" \x95\xAB\xA5\xA1      ") + "        1");
    PutFileBytes(path, bytes);

    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.CodePage(), TCodePage::cp866);
    EXPECT_EQ(t.GetText("NAME"), "Хлеб");
    ASSERT_TRUE(t.SetFilter({{"NAME", "Хлеб"}}));
    EXPECT_EQ(t.Count(), 1);
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", "Молоко"));
    ASSERT_TRUE(t.Post());
    t.Close();
    bytes = FileBytes(path);
    EXPECT_EQ(bytes[29], '\x65');
    EXPECT_EQ(bytes.substr(bytes.size() - 20, 10), Utf8ToCp("Молоко", TCodePage::cp866) + "    ");

    // Language byte 0 names no code page: the bytes are taken as 1251.
    bytes[29] = 0;
    bytes.replace(bytes.size() - 20, 6, Utf8ToCp1251("Молоко"));
    PutFileBytes(path, bytes);
    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.CodePage(), TCodePage::cp1251);
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.GetText("NAME"), "Молоко");
}

TEST(DbfTable, OpenModes) {
    TDbfScratch dir;
    TDbfTable t;
    // Import never creates.
    EXPECT_FALSE(t.OpenExisting(dir.File("none.dbf")));
    EXPECT_NE(t.LastError().find(dir.File("none.dbf")), std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("none.dbf")));
    // A folder that does not exist: a clear error naming the file.
    EXPECT_FALSE(t.Open(dir.File("bd/Profile.dbf"), kProfile));
    EXPECT_FALSE(t.IsOpen());
    EXPECT_NE(t.LastError().find("bd/Profile.dbf"), std::string::npos);
    // Field lists that cannot make a table.
    for (const auto& bad : std::vector<std::vector<TDbfFieldDef>>{
             {}, {F::Text("ELEVENCHARS", 5)}, {F::Text("1ST", 5)}, {F::Text("A B", 5)}, {F::Text("NAME", 0)},
             {F::Text("NAME", 300)}, {F::Text("A", 5), F::Integer("a")}, {{"D", 'D', 8, 0}}}) {
        EXPECT_FALSE(t.Open(dir.File("bad.dbf"), bad));
        EXPECT_FALSE(t.LastError().empty());
        EXPECT_FALSE(FileExists(dir.File("bad.dbf")));
    }
    // Operations on a closed table fail without harm.
    EXPECT_FALSE(t.First());
    EXPECT_FALSE(t.Append());
    EXPECT_FALSE(t.Delete());
    EXPECT_EQ(t.GetText("NAME"), "");
    EXPECT_TRUE(t.Close());
}

TEST(DbfTable, ReplacingWritesBesideTheTargetUntilClosed) {
    TDbfScratch dir;
    const std::string path = dir.File("goods.dbf");
    const std::vector<TDbfFieldDef> fields = {F::Integer("CODE"), F::Text("NAME", 32)};
    PutFileBytes(path, "previous export");

    {
        TDbfTable t;
        ASSERT_TRUE(t.CreateReplacing(path, fields)) << t.LastError();
        for (int i = 1; i <= 20000; ++i) {
            ASSERT_TRUE(t.Append());
            ASSERT_TRUE(t.SetInteger("CODE", i));
            ASSERT_TRUE(t.SetText("NAME", "Товар " + std::to_string(i)));
            ASSERT_TRUE(t.Post());
        }
        // Records still buffered can be read and changed.
        EXPECT_EQ(t.GetInteger("CODE"), 20000);
        ASSERT_TRUE(t.SetText("NAME", "последний"));
        ASSERT_TRUE(t.Post());
        EXPECT_EQ(FileBytes(path), "previous export");
        EXPECT_EQ(FilesOf(dir.Path()).size(), 2u);
        // Leaving without Close abandons the new table.
    }
    EXPECT_EQ(FileBytes(path), "previous export");
    EXPECT_EQ(FilesOf(dir.Path()).size(), 1u);

    TDbfTable t;
    ASSERT_TRUE(t.CreateReplacing(path, fields));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetInteger("CODE", 1));
    t.Discard();
    EXPECT_EQ(FileBytes(path), "previous export");

    ASSERT_TRUE(t.CreateReplacing(path, fields));
    for (int i = 1; i <= 20000; ++i) {
        ASSERT_TRUE(t.Append());
        ASSERT_TRUE(t.SetInteger("CODE", i));
        ASSERT_TRUE(t.SetText("NAME", "Товар " + std::to_string(i)));
    }
    ASSERT_TRUE(t.Close()) << t.LastError();
    EXPECT_EQ(FilesOf(dir.Path()), std::vector<std::string>{"goods.dbf"});
    EXPECT_EQ(FileBytes(path).size(), 97u + 20000 * 42 + 1);

    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.Count(), 20000);
    long long expected = 1;
    bool inOrder = true;
    for (; !t.Eof(); t.Next(), ++expected)
        inOrder = inOrder && t.GetInteger("CODE") == expected && t.GetText("NAME") == "Товар " + std::to_string(expected);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, 20001);
    t.Close();
    EXPECT_EQ(FileBytes(path).substr(4, 4), Le32(20000));

    // Exporting again leaves only the second table's records.
    ASSERT_TRUE(t.CreateReplacing(path, fields));
    ASSERT_TRUE(t.Close());
    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.RecordCount(), 0u);
}
