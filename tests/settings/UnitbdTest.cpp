#include "settings/Unitbd.h"

#include "lang/U_language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Appends a profile to the list and leaves it current.
void AddProfile(TBD& bd, const std::string& name, const std::string& key) {
    bd.mtProfile.Append();
    bd.mtProfile.SetValue("Name", name);
    bd.mtProfile.SetValue("LN", key);
    bd.mtProfile.Post();
}

void AddOption(TMemTable& t, int num, int value) {
    t.Append();
    t.SetValue("num", num);
    t.SetValue("Value", value);
    t.Post();
}

std::vector<int> Column(TMemTable& t, const char* field) {
    std::vector<int> out;
    int f = t.FieldIndex(field);
    for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleValue(i, f).AsInteger());
    return out;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> out;
    for (int i = from; i <= to; ++i) out.push_back(i);
    return out;
}

// Stands in for the profile store: a stored profile has options 1..count
// with value 100 + number.
struct FakeStore {
    TBD& bd;
    int count;
    int calls = 0;
    bool Load() {
        ++calls;
        if (bd.mtProfile.AsString("Name").empty() || bd.mtProfile.RecNo() == 1) return false;
        for (int n = 1; n <= count; ++n) AddOption(bd.mtOptions, n, 100 + n);
        return true;
    }
};

}  // namespace

TEST(DataModule, StartsWithTheRegisterProfileRows) {
    TBD bd;
    ASSERT_EQ(bd.mtProfile.RecordCount(), 1);
    EXPECT_EQ(bd.mtProfile.AsString("Name"), "Загруженая из ККМ");
    EXPECT_EQ(bd.mtProfile.AsString("LN"), "0");
    EXPECT_FALSE(bd.mtProfile.Filtered());

    for (TMemTable* t : bd.WorkingTables()) {
        EXPECT_TRUE(t->Active()) << t->Name;
        EXPECT_TRUE(t->Filtered()) << t->Name;
        EXPECT_EQ(t->FilterValue(), "0") << t->Name;
        for (int i = 0; i < t->RecordCount(); ++i) EXPECT_EQ(t->VisibleRecord(i).AsString("LN"), "0") << t->Name;
    }

    TMemTable& dep = bd.mtDepatment;
    EXPECT_EQ(Column(dep, "Num"), Range(1, 16));
    EXPECT_EQ(dep.CurrentRow(), 0);
    for (int i = 0; i < 16; ++i) {
        TRecordRef r = dep.VisibleRecord(i);
        EXPECT_EQ(r.AsInteger("Status"), DepKindClosed);
        EXPECT_EQ(r.AsString("Name"), "");
        EXPECT_EQ(r.AsString("NG"), "");
        EXPECT_TRUE(r.IsNull("Price"));
    }
    EXPECT_EQ(dep.DisplayText(0, dep.FieldIndex("Status")), "Закрыто");

    TMemTable& opt = bd.mtOptions;
    EXPECT_EQ(Column(opt, "num"), Range(1, 32));
    EXPECT_EQ(opt.CurrentRow(), 0);
    for (int i = 0; i < 32; ++i) {
        TRecordRef r = opt.VisibleRecord(i);
        EXPECT_EQ(r.Value("Value"), TFieldValue(0));
        EXPECT_EQ(r.Value("CanNul"), TFieldValue(0));
        EXPECT_TRUE(r.IsNull("Min"));
        EXPECT_TRUE(r.IsNull("Max"));
        EXPECT_EQ(r.AsString("Diapazon"), " - ");
    }
    EXPECT_EQ(opt.VisibleRecord(8).AsString("Captions"), "Системный шрифт");

    EXPECT_EQ(Column(bd.mtTax, "Num"), Range(1, 5));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bd.mtTax.VisibleRecord(i).AsString("Type"), "2");
    EXPECT_EQ(bd.mtTax.DisplayText(0, bd.mtTax.FieldIndex("Type")), "");
    EXPECT_EQ(Column(bd.mtTitle, "Num"), Range(1, 6));
    EXPECT_EQ(Column(bd.mtFooter, "Num"), Range(1, 6));
    EXPECT_TRUE(bd.mtCheckFont.Active());
    EXPECT_TRUE(bd.mtCheckFont.IsEmpty());
    EXPECT_TRUE(bd.mtTOBAP.Active());
    EXPECT_TRUE(bd.mtTOBAP.IsEmpty());
    EXPECT_FALSE(bd.mtTOBAP.Filtered());

    for (auto v : bd.KKMValues) EXPECT_EQ(v, 0);
    for (auto v : bd.SavedValues) EXPECT_EQ(v, 0);
    EXPECT_FALSE(bd.HasSavedProfile);

    // Running it again gives the start-up state, not twice the rows.
    AddProfile(bd, "Сохраненная", "45000");
    bd.HasSavedProfile = true;
    bd.DataModuleCreate();
    EXPECT_EQ(bd.mtProfile.RecordCount(), 1);
    EXPECT_EQ(bd.mtOptions.TotalRowCount(), 32);
    EXPECT_FALSE(bd.HasSavedProfile);
}

TEST(DataModule, NewWorkingRowsTakeTheCurrentProfileKey) {
    TBD bd;
    bd.mtTitle.Append();  // no LN set by the caller
    bd.mtTitle.SetValue("Num", 7);
    bd.mtTitle.Post();
    EXPECT_EQ(bd.mtTitle.AsString("LN"), "0");
    EXPECT_EQ(bd.mtTitle.RecordCount(), 7);

    AddProfile(bd, "Шаблон", "-77");
    EXPECT_TRUE(bd.mtTitle.IsEmpty());
    bd.mtCheckFont.Edit();  // the first edit creates the font row
    bd.mtCheckFont.SetValue("TitleFont", "3 (24 символа, ВЫТЯНУТЫЙ по высоте)");
    bd.mtCheckFont.Post();
    EXPECT_EQ(bd.mtCheckFont.AsString("LN"), "-77");
    bd.mtProfile.First();
    EXPECT_TRUE(bd.mtCheckFont.IsEmpty()) << "the register profile has no font row yet";
}

TEST(DataModule, ClosingADepartmentBlanksItsFields) {
    TBD bd;
    TMemTable& dep = bd.mtDepatment;
    dep.Edit();
    dep.SetValue("Status", DepKindGoods);
    dep.SetValue("Name", "Хлеб");
    dep.SetValue("NG", "A");
    dep.SetValue("Price", 12.5);
    dep.Post();

    dep.Edit();
    dep.SetValue("Status", DepKindService);
    dep.Post();
    EXPECT_EQ(dep.AsString("Name"), "Хлеб") << "another open kind keeps the fields";
    EXPECT_EQ(dep.AsString("NG"), "A");
    EXPECT_EQ(dep.AsCurrency("Price").Units, 125000);

    // Picking "Закрыто" in the grid.
    ASSERT_TRUE(dep.SetVisibleText(0, dep.FieldIndex("Status"), "Закрыто"));
    EXPECT_EQ(dep.AsInteger("Status"), DepKindClosed);
    EXPECT_EQ(dep.AsString("Name"), "");
    EXPECT_EQ(dep.AsString("NG"), "");
    EXPECT_TRUE(dep.IsNull("Price"));

    ASSERT_TRUE(dep.SetVisibleText(0, dep.FieldIndex("Status"), "Товар"));
    EXPECT_EQ(dep.AsInteger("Status"), DepKindGoods);
    EXPECT_FALSE(dep.SetVisibleText(0, dep.FieldIndex("Status"), "Склад"));
    EXPECT_EQ(dep.AsInteger("Status"), DepKindGoods);
    EXPECT_EQ(dep.FindField("Status")->PickList(), (std::vector<std::string>{"Закрыто", "Товар", "Услуга"}));
}

TEST(DataModule, DepartmentKindSurvivesALanguageChange) {
    TBD bd;
    TMemTable& dep = bd.mtDepatment;
    const int status = dep.FieldIndex("Status");
    ASSERT_TRUE(dep.SetVisibleText(1, status, "Услуга"));
    LangRes().Strings[45] = "Goods";
    LangRes().Strings[46] = "Service";
    LangRes().Strings[47] = "Closed";
    EXPECT_EQ(dep.VisibleRecord(1).AsInteger("Status"), DepKindService);
    EXPECT_EQ(dep.DisplayText(1, status), "Service");
    EXPECT_EQ(dep.DisplayText(0, status), "Closed");
    EXPECT_EQ(DepKindFromText("Goods"), DepKindGoods);
    EXPECT_FALSE(DepKindFromText("Товар")) << "texts of the old language are no kind";
    EXPECT_EQ(DepKindFromText("161"), DepKindGoods) << "stored codes read as kinds";
    LangRes().SetDefaults();
    EXPECT_EQ(NormalDepKind(0x00), DepKindClosed);
    EXPECT_EQ(DepKindText(TFieldValue()), "");
}

TEST(DataModule, SnapshotsFollowRegisterAndSavedRowsOnly) {
    TBD bd;
    TMemTable& opt = bd.mtOptions;
    AddOption(opt, 64, 0x1FF);  // register profile, cut to 8 bits
    EXPECT_EQ(bd.KKMValues[63], 0xFF);
    EXPECT_EQ(TBD::SnapshotValue(bd.KKMValues, 64), 0xFF);
    AddOption(opt, 65, 9);  // no entry: nothing changes
    AddOption(opt, 0, 9);
    EXPECT_EQ(TBD::SnapshotValue(bd.KKMValues, 65), 0);

    AddProfile(bd, "Шаблон", "-100");
    AddOption(opt, 3, 7);
    for (auto v : bd.SavedValues) EXPECT_EQ(v, 0);
    EXPECT_EQ(bd.KKMValues[2], 0);

    AddProfile(bd, "Сохраненная", "100");
    AddOption(opt, 3, 8);
    EXPECT_EQ(bd.SavedValues[2], 8);
    EXPECT_EQ(bd.KKMValues[2], 0);

    // An edit of a register row is followed too.
    bd.mtProfile.First();
    opt.First();
    opt.MoveBy(4);
    opt.Edit();
    opt.SetValue("Value", 42);
    opt.Post();
    EXPECT_EQ(bd.KKMValues[4], 42);
}

TEST(DataModule, ProfileChangeLoadsEmptyProfilesAndKeepsTheOptionCursor) {
    TBD bd;
    FakeStore store{bd, 40};
    bd.LoadProfile = [&store] { return store.Load(); };
    AddProfile(bd, "Сохраненная", "555");
    bd.mtProfile.First();
    bd.mtOptions.First();
    bd.mtOptions.MoveBy(6);  // option 7
    store.calls = 0;

    bd.mtProfile.Next();
    EXPECT_EQ(store.calls, 1);
    EXPECT_EQ(Column(bd.mtOptions, "num"), Range(1, 40));
    EXPECT_EQ(bd.mtOptions.CurrentRow(), 6);
    EXPECT_EQ(bd.mtOptions.AsInteger("Value"), 107);
    EXPECT_EQ(bd.SavedValues[6], 107) << "loading the saved profile refreshes its snapshot";
    EXPECT_TRUE(bd.mtDepatment.IsEmpty());

    bd.mtOptions.MoveBy(30);  // option 37: the register profile has only 32
    bd.mtProfile.First();
    EXPECT_EQ(bd.mtOptions.RecordCount(), 32);
    EXPECT_EQ(bd.mtOptions.AsInteger("num"), 32);

    bd.mtOptions.First();
    bd.mtOptions.MoveBy(2);
    bd.mtProfile.Next();
    EXPECT_EQ(store.calls, 1) << "rows already in memory are not loaded again";
    EXPECT_EQ(bd.mtOptions.AsInteger("num"), 3);
}

TEST(DataModule, ProfileChangePostsEditsOfTheOldProfile) {
    TBD bd;
    AddProfile(bd, "Шаблон", "-9");
    bd.mtProfile.First();
    bd.mtTitle.Edit();
    bd.mtTitle.SetValue("Caption", "МАГАЗИН");
    bd.mtProfile.Next();
    EXPECT_EQ(bd.mtTitle.State(), TDataSetState::Browse);
    bd.mtProfile.First();
    EXPECT_EQ(bd.mtTitle.AsString("Caption"), "МАГАЗИН");
}

TEST(DataModule, EmptyingATableDropsEveryProfileUntilReloaded) {
    TBD bd;
    FakeStore store{bd, 3};
    bd.LoadProfile = [&store] { return store.Load(); };
    AddProfile(bd, "Сохраненная", "555");
    EXPECT_TRUE(bd.mtOptions.IsEmpty()) << "posting a new list entry only filters";
    bd.mtProfile.First();
    bd.mtProfile.Next();  // visiting it loads it
    EXPECT_EQ(bd.mtOptions.RecordCount(), 3);
    bd.mtProfile.First();
    bd.mtOptions.EmptyTable();
    EXPECT_EQ(bd.mtOptions.TotalRowCount(), 0);
    for (int n = 1; n <= 5; ++n) AddOption(bd.mtOptions, n, n);
    bd.mtProfile.Next();
    EXPECT_EQ(Column(bd.mtOptions, "Value"), (std::vector<int>{101, 102, 103}));
}

TEST(DataModule, ClearRowsAndCountRowsWorkOnTheCurrentProfile) {
    TBD bd;
    AddProfile(bd, "Шаблон", "-1");
    for (int n = 1; n <= 4; ++n) AddOption(bd.mtOptions, n, n);
    EXPECT_EQ(TBD::CountRows(bd.mtOptions), 4);
    EXPECT_TRUE(bd.mtOptions.Eof());
    TBD::ClearRows(bd.mtOptions);
    EXPECT_TRUE(bd.mtOptions.IsEmpty());
    EXPECT_EQ(bd.mtOptions.TotalRowCount(), 32);
    bd.mtProfile.First();
    EXPECT_EQ(TBD::CountRows(bd.mtOptions), 32);
}

TEST(DataModule, GoodsTableShowsCodesAsTexts) {
    TBD bd;
    TMemTable& g = bd.mtTOBAP;
    g.Append();
    EXPECT_EQ(g.Value("isBlock"), TFieldValue(false));
    g.SetValue("Code", 12);
    g.SetValue("Type", 170);
    g.SetValue("NG", 2);
    g.SetValue("Vesovoy", 2);
    g.SetValue("Price", "12.5");
    g.SetValue("Count", 1.5);
    g.SetValue("Shtrih", "46000000000000000000123");
    g.Post();
    EXPECT_EQ(g.DisplayText(0, g.FieldIndex("Type")), "товар");
    EXPECT_EQ(g.DisplayText(0, g.FieldIndex("NG")), "B");
    EXPECT_EQ(g.DisplayText(0, g.FieldIndex("Vesovoy")), "вес.");
    EXPECT_EQ(g.DisplayText(0, g.FieldIndex("Count")), "1.500");
    EXPECT_EQ(g.AsString("Shtrih").size(), 20u);
    ASSERT_TRUE(g.SetVisibleText(0, g.FieldIndex("Type"), "тара"));
    EXPECT_EQ(g.AsInteger("Type"), 160);
    ASSERT_TRUE(g.SetVisibleText(0, g.FieldIndex("Type"), "99"));
    EXPECT_EQ(g.DisplayText(0, g.FieldIndex("Type")), "99");
    EXPECT_EQ(g.FindField("NG")->PickList(), (std::vector<std::string>{"", "A", "B", "C", "D", "E"}));
}
