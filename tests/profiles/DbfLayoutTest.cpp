// The bytes a table file gets on disk: the program's seven tables, record
// encodings, and what appending, updating and deleting change.
#include "DbfTestFiles.h"

namespace {

using F = TDbfFieldDef;

struct TLayoutCase {
    const char* File;
    std::vector<TDbfFieldDef> Fields;
    std::vector<TExpectedField> Expected;
    int RecordSize;
    int HeaderSize;
};

std::vector<TLayoutCase> ProgramTables() {
    return {
        {"Profile.dbf", {F::Text("NAME", 30), F::Text("SN", 30), F::Text("TYPEKKM", 20), F::Text("LN", 20)},
         {{"NAME", 'C', 30}, {"SN", 'C', 30}, {"TYPEKKM", 'C', 20}, {"LN", 'C', 20}}, 101, 161},
        {"options.dbf", {F::Integer("NUM"), F::Integer("VAL"), F::Text("OLN", 20)},
         {{"NUM", 'N', 9}, {"VAL", 'N', 9}, {"OLN", 'C', 20}}, 39, 129},
        {"checkFont.dbf", {F::Integer("TITLEFONT"), F::Integer("FOOTERFONT"), F::Text("OLN", 20)},
         {{"TITLEFONT", 'N', 9}, {"FOOTERFONT", 'N', 9}, {"OLN", 'C', 20}}, 39, 129},
        {"check.dbf", {F::Integer("LINE"), F::Text("NAME", 32), F::Text("OLN", 20)},
         {{"LINE", 'N', 9}, {"NAME", 'C', 32}, {"OLN", 'C', 20}}, 62, 129},
        // Names given in mixed case are stored in upper case.
        {"Tax.dbf",
         {F::Boolean("IsDefined"), F::Text("Name", 12), F::Text("Type", 12), F::Text("Percent", 10), F::Text("OLN", 20),
          F::Integer("Num")},
         {{"ISDEFINED", 'L', 1}, {"NAME", 'C', 12}, {"TYPE", 'C', 12}, {"PERCENT", 'C', 10}, {"OLN", 'C', 20}, {"NUM", 'N', 9}},
         65, 225},
        {"Dept.dbf",
         {F::Text("OLN", 20), F::Integer("SEC"), F::Integer("STATUS"), F::Text("NAME", 22), F::Integer("NG"), F::Text("PRICE", 30)},
         {{"OLN", 'C', 20}, {"SEC", 'N', 9}, {"STATUS", 'N', 9}, {"NAME", 'C', 22}, {"NG", 'N', 9}, {"PRICE", 'C', 30}}, 100, 225},
        {"goods.dbf",
         {F::Integer("CODE"), F::Integer("TYPE"), F::Text("NAME", 32), F::Integer("NG"), F::Text("PRICE", 20), F::Integer("SECTION"),
          F::Integer("VESOVOY"), F::Text("SHTRIH", 20), F::Boolean("ISBLOCK"), F::Text("COUNT", 20)},
         {{"CODE", 'N', 9}, {"TYPE", 'N', 9}, {"NAME", 'C', 32}, {"NG", 'N', 9}, {"PRICE", 'C', 20}, {"SECTION", 'N', 9},
          {"VESOVOY", 'N', 9}, {"SHTRIH", 'C', 20}, {"ISBLOCK", 'L', 1}, {"COUNT", 'C', 20}},
         139, 353},
    };
}

// The file must be the header (dated today) followed by these bytes. The
// date is taken before and after, so a run across midnight still passes.
void ExpectTable(const std::string& path, const std::vector<TExpectedField>& fields, unsigned records, const std::string& rest,
                 const std::string& dateBefore) {
    const std::string bytes = FileBytes(path);
    const std::string a = ExpectedHeader(fields, records, dateBefore) + rest;
    const std::string b = ExpectedHeader(fields, records, TodayBytes()) + rest;
    EXPECT_TRUE(bytes == a || bytes == b) << path;
}

const std::vector<TDbfFieldDef> kOptions = {F::Integer("NUM"), F::Integer("VAL"), F::Text("OLN", 20)};
const std::vector<TExpectedField> kOptionsBytes = {{"NUM", 'N', 9}, {"VAL", 'N', 9}, {"OLN", 'C', 20}};

}  // namespace

TEST(DbfLayout, EachProgramTableIsCreatedByteExact) {
    TDbfScratch dir;
    for (const auto& c : ProgramTables()) {
        const std::string date = TodayBytes();
        TDbfTable t;
        ASSERT_TRUE(t.Open(dir.File(c.File), c.Fields)) << t.LastError();
        EXPECT_EQ(t.HeaderSize(), c.HeaderSize) << c.File;
        EXPECT_EQ(t.RecordSize(), c.RecordSize) << c.File;
        EXPECT_EQ(t.Count(), 0);
        EXPECT_TRUE(t.Eof());
        ASSERT_TRUE(t.Close());
        ExpectTable(dir.File(c.File), c.Expected, 0, "\x1A", date);
        EXPECT_EQ(FileBytes(dir.File(c.File)).size(), static_cast<std::size_t>(c.HeaderSize) + 1) << c.File;
        // Opening it again finds the same structure and changes nothing.
        const std::string before = FileBytes(dir.File(c.File));
        ASSERT_TRUE(t.Open(dir.File(c.File), c.Fields)) << t.LastError();
        ASSERT_EQ(t.Fields().size(), c.Expected.size());
        for (std::size_t i = 0; i < c.Expected.size(); ++i) {
            EXPECT_EQ(t.Fields()[i].Name, c.Expected[i].Name);
            EXPECT_EQ(t.Fields()[i].Kind, c.Expected[i].Kind);
            EXPECT_EQ(t.Fields()[i].Width, c.Expected[i].Width);
        }
        EXPECT_EQ(t.LanguageByte(), 0xC9);
        t.Close();
        EXPECT_EQ(FileBytes(dir.File(c.File)), before);
    }
}

TEST(DbfLayout, EmptyProfileTableIs162Bytes) {
    TDbfScratch dir;
    TDbfTable t;
    ASSERT_TRUE(t.Open(dir.File("Profile.dbf"), ProgramTables()[0].Fields));
    t.Close();
    const std::string bytes = FileBytes(dir.File("Profile.dbf"));
    ASSERT_EQ(bytes.size(), 162u);
    EXPECT_EQ(bytes[160], '\x0D');
    EXPECT_EQ(bytes[161], '\x1A');
}

TEST(DbfLayout, NumbersAreRightAlignedAndAppendUpdatesTheHeader) {
    TDbfScratch dir;
    const std::string path = dir.File("options.dbf");
    const std::string date = TodayBytes();
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, kOptions));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetInteger("NUM", 12));
    ASSERT_TRUE(t.SetInteger("VAL", -5));
    ASSERT_TRUE(t.SetText("OLN", "3900000000"));
    ASSERT_TRUE(t.Post());
    // Written at once: record, end mark and the count in the header.
    const std::string rec1 = std::string(" ") + "       12" + "       -5" + "3900000000" + std::string(10, ' ');
    ExpectTable(path, kOptionsBytes, 1, rec1 + "\x1A", date);

    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetInteger("NUM", 123456789));
    ASSERT_TRUE(t.SetInteger("VAL", 1234567890));   // only the lowest nine digits fit
    ASSERT_TRUE(t.SetInteger("OLN", -42));          // a number into a text field: its decimal text
    ASSERT_TRUE(t.Post());
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NUM", " 7 "));           // text into a number field: parsed
    ASSERT_TRUE(t.SetInteger("VAL", -1234567890));  // a negative number keeps its sign
    ASSERT_TRUE(t.Post());                          // OLN stays null: blank
    t.Close();
    const std::string rec2 = std::string(" ") + "123456789" + "234567890" + "-42" + std::string(17, ' ');
    const std::string rec3 = std::string(" ") + "        7" + "-34567890" + std::string(20, ' ');
    ExpectTable(path, kOptionsBytes, 3, rec1 + rec2 + rec3 + "\x1A", date);

    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.GetInteger("NUM"), 12);
    EXPECT_EQ(t.GetInteger("VAL"), -5);
    EXPECT_EQ(t.GetInteger("OLN"), 3900000000LL);  // beyond 32 bits
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.GetText("OLN"), "-42");
    EXPECT_EQ(t.GetText("NUM"), "123456789");
    ASSERT_TRUE(t.Next());
    EXPECT_TRUE(t.IsNull("OLN"));
    EXPECT_EQ(t.GetInteger("OLN"), std::nullopt);
    EXPECT_EQ(t.GetText("OLN"), "");
}

TEST(DbfLayout, TextIsCutToTheWidthInCodePageCharacters) {
    TDbfScratch dir;
    const std::string path = dir.File("Tax.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, ProgramTables()[4].Fields));
    const std::string twelve = "НДС и налоги";  // 12 characters, 22 bytes of UTF-8
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", twelve));
    ASSERT_TRUE(t.Post());
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", twelve + "Ж"));
    ASSERT_TRUE(t.SetText("TYPE", "  x  "));  // leading blanks stay, trailing ones go
    ASSERT_TRUE(t.Post());
    t.Close();

    const std::string bytes = FileBytes(path);
    const std::string cp = Utf8ToCp1251(twelve);
    ASSERT_EQ(cp.size(), 12u);
    EXPECT_EQ(bytes.substr(225 + 2, 12), cp);
    EXPECT_EQ(bytes.substr(225 + 65 + 2, 12), cp);
    EXPECT_EQ(bytes.substr(225 + 65 + 14, 12), "  x         ");

    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.GetText("NAME"), twelve);
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.GetText("NAME"), twelve);
    EXPECT_EQ(t.GetText("TYPE"), "  x");
}

TEST(DbfLayout, BooleansAreTFOrBlankForNull) {
    TDbfScratch dir;
    const std::string path = dir.File("Tax.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, ProgramTables()[4].Fields));
    for (int v : {1, 0, -1}) {
        ASSERT_TRUE(t.Append());
        if (v >= 0) {
            ASSERT_TRUE(t.SetBool("ISDEFINED", v == 1));
        }
        ASSERT_TRUE(t.Post());
    }
    t.Close();
    const std::string bytes = FileBytes(path);
    EXPECT_EQ(bytes.substr(225 + 1, 1), "T");
    EXPECT_EQ(bytes.substr(225 + 65 + 1, 1), "F");
    EXPECT_EQ(bytes.substr(225 + 130, 65), std::string(65, ' '));

    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_EQ(t.GetBool("ISDEFINED"), true);
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.GetBool("ISDEFINED"), false);
    EXPECT_FALSE(t.IsNull("ISDEFINED"));
    ASSERT_TRUE(t.Next());
    EXPECT_EQ(t.GetBool("ISDEFINED"), std::nullopt);  // null, not false
    EXPECT_TRUE(t.IsNull("ISDEFINED"));
    // Set a null boolean back to a value and to null again.
    ASSERT_TRUE(t.SetBool("ISDEFINED", true));
    ASSERT_TRUE(t.SetNull("ISDEFINED"));
    ASSERT_TRUE(t.Post());
    EXPECT_EQ(FileBytes(path).substr(225 + 130, 1), " ");
}

TEST(DbfLayout, FileWithoutEndMarkOpensAndAppendsAfterItsLastRecord) {
    TDbfScratch dir;
    const std::string path = dir.File("options.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, kOptions));
    for (int i = 1; i <= 2; ++i) {
        ASSERT_TRUE(t.Append());
        ASSERT_TRUE(t.SetInteger("NUM", i));
    }
    t.Close();
    std::string bytes = FileBytes(path);
    bytes.pop_back();  // no 0x1A
    bytes[4] = 9;      // and a record count that disagrees with the size
    PutFileBytes(path, bytes);

    ASSERT_TRUE(t.OpenExisting(path)) << t.LastError();
    EXPECT_EQ(t.RecordCount(), 2u);
    EXPECT_EQ(t.Count(), 2);
    EXPECT_EQ(t.GetInteger("NUM"), 1);
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetInteger("NUM", 3));
    ASSERT_TRUE(t.Post());
    t.Close();
    bytes = FileBytes(path);
    ASSERT_EQ(bytes.size(), 129u + 3 * 39 + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(bytes.substr(4, 4), Le32(3));  // the header count is corrected
    EXPECT_EQ(bytes.substr(129 + 2 * 39, 10), "         3");
}

TEST(DbfLayout, UpdateInPlaceLeavesTheHeaderAlone) {
    TDbfScratch dir;
    const std::string path = dir.File("options.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, kOptions));
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(t.Append());
        ASSERT_TRUE(t.SetInteger("NUM", i));
    }
    t.Close();
    std::string bytes = FileBytes(path);
    bytes[1] = 90, bytes[2] = 1, bytes[3] = 2;  // last updated 1990-01-02
    PutFileBytes(path, bytes);

    ASSERT_TRUE(t.OpenExisting(path));
    ASSERT_TRUE(t.Next());
    ASSERT_TRUE(t.SetInteger("VAL", 77));
    ASSERT_TRUE(t.Post());
    t.Close();
    const std::string after = FileBytes(path);
    ASSERT_EQ(after.size(), bytes.size());
    EXPECT_EQ(after.substr(0, 129), bytes.substr(0, 129));
    EXPECT_EQ(after.substr(129 + 39 + 10, 9), "       77");
    // Only the second record changed.
    EXPECT_EQ(after.substr(129, 39), bytes.substr(129, 39));
    EXPECT_EQ(after.substr(129 + 78), bytes.substr(129 + 78));
}

TEST(DbfLayout, DeletingTheOnlyRecordMarksItAndKeepsItsSpace) {
    TDbfScratch dir;
    const std::string path = dir.File("Profile.dbf");
    TDbfTable t;
    ASSERT_TRUE(t.Open(path, ProgramTables()[0].Fields));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", "Сохраненная"));
    ASSERT_TRUE(t.Post());
    ASSERT_TRUE(t.First());
    ASSERT_TRUE(t.Delete());
    EXPECT_TRUE(t.Eof());
    t.Close();

    const std::string bytes = FileBytes(path);
    ASSERT_EQ(bytes.size(), 161u + 101 + 1);
    EXPECT_EQ(bytes[161], '*');
    EXPECT_EQ(bytes.substr(162, 11), Utf8ToCp1251("Сохраненная"));
    EXPECT_EQ(bytes.substr(4, 4), Le32(1));  // the count stays
    ASSERT_TRUE(t.OpenExisting(path));
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.RecordCount(), 1u);
}
