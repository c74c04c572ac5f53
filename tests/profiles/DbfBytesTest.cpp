// Table files keep their exact bytes on every system: LF bytes in a header
// (a date on the 10th) and a table saved over an existing one.
#include "DbfTestFiles.h"

namespace {

const std::vector<TDbfFieldDef> kFields = {TDbfFieldDef::Text("NAME", 12), TDbfFieldDef::Integer("NUM")};
const std::vector<TExpectedField> kLayout = {{"NAME", 'C', 12}, {"NUM", 'N', 9}};

}  // namespace

TEST(DbfBytes, AHeaderDatedTheTenthKeepsItsLfBytes) {
    TDbfScratch dir;
    const std::string path = dir.File("dated.dbf");
    // 10.10.2010: month and day are the byte 0x0A.
    const std::string date = {static_cast<char>(110), '\x0A', '\x0A'};
    const std::string name = "\xCF\xE8\xE2\xEE\n" + std::string(7, ' ');  // "Пиво" and a line feed
    const std::string record = " " + name + std::string(7, ' ') + "10";
    PutFileBytes(path, ExpectedHeader(kLayout, 1, date) + record + '\x1A');

    TDbfTable t;
    ASSERT_TRUE(t.OpenExisting(path)) << t.LastError();
    EXPECT_EQ(t.GetText("NAME"), "Пиво\n");
    EXPECT_EQ(t.GetInteger("NUM"), 10);
    ASSERT_TRUE(t.SetInteger("NUM", 2570));  // 0x0A0A
    ASSERT_TRUE(t.Post()) << t.LastError();
    ASSERT_TRUE(t.Close()) << t.LastError();
    // An edit in place leaves the header alone.
    EXPECT_EQ(FileBytes(path), ExpectedHeader(kLayout, 1, date) + " " + name + "     2570" + '\x1A');
}

TEST(DbfBytes, ATableSavedOverAnExistingOneReplacesIt) {
    TDbfScratch dir;
    const std::string path = dir.File("goods.dbf");
    for (const char* name : {"first\r\n", "second\n"}) {
        TDbfTable t;
        ASSERT_TRUE(t.CreateReplacing(path, kFields)) << t.LastError();
        ASSERT_TRUE(t.Append());
        ASSERT_TRUE(t.SetText("NAME", name));
        ASSERT_TRUE(t.SetInteger("NUM", 10));
        ASSERT_TRUE(t.Close()) << t.LastError();
        std::string expected = ExpectedHeader(kLayout, 1, TodayBytes()) + ' ' + name;
        expected.resize(expected.size() + 12 - std::string(name).size(), ' ');
        EXPECT_EQ(FileBytes(path), expected + "       10" + '\x1A');
    }
    EXPECT_EQ(SysListDir(dir.Path()), std::vector<std::string>{"goods.dbf"}) << "no file left beside it";
}
