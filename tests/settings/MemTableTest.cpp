#include "settings/MemTable.h"

#include "TestFiles.h"
#include "app/Dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TFieldDef Def(std::string name, TFieldType type, int size = 0, bool calc = false) {
    TFieldDef f;
    f.Name = std::move(name);
    f.Type = type;
    f.Size = size;
    f.Calculated = calc;
    return f;
}

// Num, Name(10), Price (money), LN(20), Label (calculated: "<Num>:<Name>").
struct TableFixture : ::testing::Test {
    TMemTable t{"mtTest"};
    std::vector<std::string> log;

    void SetUp() override {
        t.AddField(Def("Num", TFieldType::Integer));
        t.AddField(Def("Name", TFieldType::String, 10));
        TFieldDef price = Def("Price", TFieldType::Currency);
        price.DisplayFormat = "#0.00";
        t.AddField(price);
        t.AddField(Def("LN", TFieldType::String, 20));
        t.AddField(Def("Label", TFieldType::String, 20, true));
        t.OnCalcFields = [](TRecordRef r) {
            r.SetCalcValue("Label", r.AsString("Num") + ":" + r.AsString("Name"));
        };
        t.Open();
    }

    void Add(int num, const std::string& ln, const std::string& name = {}) {
        ASSERT_TRUE(t.Append());
        t.SetValue("Num", num);
        t.SetValue("LN", ln);
        if (!name.empty()) t.SetValue("Name", name);
        ASSERT_TRUE(t.Post());
    }

    std::vector<int> VisibleNums() {
        std::vector<int> out;
        for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleValue(i, 0).AsInteger());
        return out;
    }

    void Record() {
        t.AfterInsert = [this](TMemTable&) { log.push_back("AfterInsert"); };
        t.BeforePost = [this](TMemTable&) { log.push_back("BeforePost"); };
        t.AfterPost = [this](TMemTable& tt) { log.push_back("AfterPost " + tt.AsString("Num")); };
        t.AfterCancel = [this](TMemTable&) { log.push_back("AfterCancel"); };
        t.AfterDelete = [this](TMemTable&) { log.push_back("AfterDelete"); };
        t.BeforeScroll = [this](TMemTable&) { log.push_back("BeforeScroll"); };
        t.AfterScroll = [this](TMemTable& tt) { log.push_back("AfterScroll " + std::to_string(tt.CurrentRow())); };
        t.FindField("Name")->OnChange = [this](TMemTable& tt) { log.push_back("NameChange " + tt.AsString("Name")); };
    }
};

// Records what a grid model would be told.
struct Recorder : IMemTableObserver {
    std::vector<std::string> calls;
    void BeginReset() override { calls.push_back("BeginReset"); }
    void EndReset() override { calls.push_back("EndReset"); }
    void BeginInsertRow(int r) override { calls.push_back("BeginInsert " + std::to_string(r)); }
    void EndInsertRow() override { calls.push_back("EndInsert"); }
    void BeginRemoveRow(int r) override { calls.push_back("BeginRemove " + std::to_string(r)); }
    void EndRemoveRow() override { calls.push_back("EndRemove"); }
    void RowChanged(int r) override { calls.push_back("Changed " + std::to_string(r)); }
};

}  // namespace

TEST_F(TableFixture, RowsKeepAppendOrderAndInsertGoesBeforeTheCurrentRow) {
    Add(3, "0");
    Add(1, "0");
    Add(2, "0");
    EXPECT_EQ(VisibleNums(), (std::vector<int>{3, 1, 2}));
    t.First();
    t.Next();  // on 1
    ASSERT_TRUE(t.Insert());
    t.SetValue("Num", 9);
    t.Post();
    EXPECT_EQ(VisibleNums(), (std::vector<int>{3, 9, 1, 2}));
    EXPECT_EQ(t.AsInteger("Num"), 9);
}

TEST_F(TableFixture, FieldWritesAreTypedCutAndRefusedWhenImpossible) {
    TScratchDir dir;
    std::string oldLog = LogFileName();
    SetLogFileName(dir.File("t.log"));
    EXPECT_FALSE(t.SetValue("Num", 1)) << "no row is being edited";
    ASSERT_TRUE(t.Append());
    EXPECT_TRUE(t.SetValue("Name", "Молоко пастеризованное"));
    EXPECT_EQ(t.AsString("Name"), "Молоко пас");  // 10 characters, not 10 bytes
    EXPECT_TRUE(t.SetValue("Price", 12.34567));
    EXPECT_EQ(t.AsCurrency("Price").Units, 123457);
    EXPECT_TRUE(t.SetValue("Num", 5));
    EXPECT_FALSE(t.SetValue("Num", "пять"));
    EXPECT_EQ(t.AsInteger("Num"), 5) << "a refused value leaves the field as it was";
    EXPECT_NE(ReadCp1251(dir.File("t.log")).find("Error:mtTest: значение \"пять\" не подходит для поля Num"),
              std::string::npos);
    SetLogFileName(oldLog);
    EXPECT_FALSE(t.SetValue("Nope", 1));
    EXPECT_FALSE(t.SetValue("Label", "x")) << "calculated fields are not set from outside";
    EXPECT_TRUE(t.SetNull("Price"));
    EXPECT_TRUE(t.IsNull("Price"));
    EXPECT_EQ(t.AsInteger("price"), 0) << "names are case-insensitive, null reads as 0";
    t.Post();
}

TEST_F(TableFixture, EditPostAndCancel) {
    Add(1, "0", "old");
    ASSERT_TRUE(t.Edit());
    EXPECT_EQ(t.State(), TDataSetState::Edit);
    t.SetValue("Name", "new");
    t.Cancel();
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    EXPECT_EQ(t.AsString("Name"), "old");

    t.Edit();
    t.SetValue("Name", "new");
    t.Post();
    EXPECT_EQ(t.AsString("Name"), "new");
    EXPECT_TRUE(t.Post()) << "post without an edit does nothing";

    // Cancelling a new row removes it and returns to the row that was current.
    Add(2, "0");
    t.First();
    t.Append();
    t.SetValue("Num", 3);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.AsInteger("Num"), 1);
}

TEST_F(TableFixture, EditOfAnEmptyTableInsertsARow) {
    ASSERT_TRUE(t.IsEmpty());
    ASSERT_TRUE(t.Edit());
    EXPECT_EQ(t.State(), TDataSetState::Insert);
    t.SetValue("Name", "font");
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);
    // A second edit changes that row.
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::Edit);
    t.SetValue("Name", "font2");
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.AsString("Name"), "font2");
}

TEST_F(TableFixture, MovingAwayPostsAChangedRowAndDropsAnUntouchedNewRow) {
    Add(1, "0");
    t.Append();
    t.SetValue("Num", 2);
    t.First();  // posts
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.State(), TDataSetState::Browse);

    t.Append();  // nothing set
    t.First();
    EXPECT_EQ(t.RecordCount(), 2);

    t.Edit();
    t.SetValue("Name", "x");
    t.Next();
    t.First();
    EXPECT_EQ(t.AsString("Name"), "x");
}

TEST_F(TableFixture, EventsComeInOrder) {
    Record();
    t.Append();
    t.SetValue("Num", 1);
    t.SetValue("Name", "a");
    t.Post();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "AfterInsert", "AfterScroll 0", "NameChange a",
                                             "BeforePost", "AfterPost 1"}));
    log.clear();
    Add(2, "0");
    log.clear();
    t.First();
    t.Next();
    t.Next();  // at the end: no scroll
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "AfterScroll 0", "BeforeScroll", "AfterScroll 1"}));
    EXPECT_TRUE(t.Eof());
    log.clear();
    t.Edit();
    t.Cancel();
    t.Delete();
    EXPECT_EQ(log, (std::vector<std::string>{"AfterCancel", "BeforeScroll", "AfterDelete", "AfterScroll 0"}));
}

TEST_F(TableFixture, CursorWalkAndDelete) {
    for (int i = 1; i <= 4; ++i) Add(i, "0");
    t.First();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.MoveBy(10), 3);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.AsInteger("Num"), 4);
    EXPECT_EQ(t.MoveBy(-10), -3);
    EXPECT_TRUE(t.Bof());
    t.Prior();
    EXPECT_EQ(t.AsInteger("Num"), 1);
    int n = 0;
    for (t.First(); !t.Eof(); t.Next()) ++n;
    EXPECT_EQ(n, 4);

    ASSERT_TRUE(t.Locate("Num", 2));
    t.Delete();
    EXPECT_EQ(t.AsInteger("Num"), 3) << "the next row becomes current";
    t.Last();
    t.Delete();
    EXPECT_EQ(t.AsInteger("Num"), 3) << "deleting the last row moves up";
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 3}));
    t.Delete();
    t.Delete();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.CurrentRow(), -1);
    EXPECT_FALSE(t.Delete());
    EXPECT_TRUE(t.Eof() && t.Bof());
}

TEST_F(TableFixture, FilterShowsOneKeyAndSwitchesOff) {
    Add(1, "0");
    Add(1, "5");
    Add(2, "0");
    Add(2, "5");
    Add(3, "-7");
    t.SetFilter("LN", "5");
    EXPECT_EQ(t.RecordCount(), 5) << "the filter works only when switched on";
    t.SetFiltered(true);
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 2}));
    EXPECT_EQ(t.CurrentRow(), 0);
    // Insert under the filter: before the current row in the whole table too.
    t.Next();  // row 2 of key 5
    t.Insert();
    t.SetValue("Num", 7);
    t.SetValue("LN", "5");
    t.Post();
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 7, 2}));
    t.Delete();
    t.SetFilter("LN", "0");
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 2}));
    EXPECT_EQ(t.TotalRowCount(), 5);
    t.SetFilter("LN", "none");
    EXPECT_TRUE(t.IsEmpty());
    t.SetFiltered(false);
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 1, 2, 2, 3}));
    t.SetFilter("LN", "5");
    t.SetFiltered(true);
    t.Last();
    t.Insert();
    t.SetValue("Num", 8);
    t.SetValue("LN", "5");
    t.Post();
    t.SetFiltered(false);
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 1, 2, 8, 2, 3}));
}

TEST_F(TableFixture, RowsPostedUnderAnotherKeyLeaveTheViewAfterTheirPostEvent) {
    Add(1, "0");
    Add(2, "0");
    t.SetFilter("LN", "0");
    t.SetFiltered(true);
    int seenInAfterPost = 0;
    t.AfterPost = [&](TMemTable& tt) { seenInAfterPost = tt.AsInteger("Num"); };

    // A row appended under the filter is visible while it is being inserted.
    t.Append();
    EXPECT_EQ(t.RecordCount(), 3);
    t.SetValue("Num", 3);
    t.SetValue("LN", "9");
    t.Post();
    EXPECT_EQ(seenInAfterPost, 3);
    EXPECT_EQ(VisibleNums(), (std::vector<int>{1, 2}));
    EXPECT_EQ(t.AsInteger("Num"), 2);
    t.SetFilter("LN", "9");
    EXPECT_EQ(VisibleNums(), (std::vector<int>{3}));
}

TEST_F(TableFixture, DeletingUnderAFilterKeepsTheOtherKeysRows) {
    Add(1, "0");
    Add(1, "5");
    Add(2, "0");
    t.SetFilter("LN", "0");
    t.SetFiltered(true);
    t.First();
    while (!t.IsEmpty()) t.Delete();
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.AsString("LN"), "5");
}

TEST_F(TableFixture, CloseAndOpenEmptiesEveryKey) {
    Add(1, "0");
    Add(1, "5");
    t.SetFilter("LN", "0");
    t.SetFiltered(true);
    t.Close();
    EXPECT_FALSE(t.Active());
    EXPECT_FALSE(t.Append());
    t.Open();
    EXPECT_EQ(t.TotalRowCount(), 0);
    EXPECT_TRUE(t.Filtered()) << "the filter stays set";
    Add(2, "5");
    EXPECT_TRUE(t.IsEmpty()) << "a row of another key is hidden";
}

TEST_F(TableFixture, CalculatedFieldsFollowTheRow) {
    Add(1, "0", "a");
    Add(2, "0", "b");
    t.First();
    EXPECT_EQ(t.AsString("Label"), "1:a");
    EXPECT_EQ(t.VisibleValue(1, t.FieldIndex("Label")).AsString(), "2:b");
    EXPECT_EQ(t.CurrentRow(), 0) << "reading a visible row does not move the cursor";
    t.Edit();
    t.SetValue("Name", "z");
    EXPECT_EQ(t.AsString("Label"), "1:z") << "recalculated from the edited values";
    t.Cancel();
    EXPECT_EQ(t.CurrentRecord().AsString("Label"), "1:a");
}

TEST_F(TableFixture, GridAccessByVisibleRow) {
    Add(1, "0", "a");
    Add(2, "0", "b");
    Add(3, "5", "c");
    t.SetFilter("LN", "0");
    t.SetFiltered(true);
    const int price = t.FieldIndex("Price");
    t.FindField("Name")->OnGetText = [](const TFieldValue& v) { return "<" + v.AsString() + ">"; };

    EXPECT_EQ(t.DisplayText(1, 1), "<b>");
    EXPECT_EQ(t.DisplayText(1, price), "") << "null shows empty";
    ASSERT_TRUE(t.SetVisibleText(1, price, "12,5"));
    EXPECT_EQ(t.DisplayText(1, price), "12.50");
    EXPECT_EQ(t.State(), TDataSetState::Browse) << "a grid edit is posted at once";
    EXPECT_EQ(t.CurrentRow(), 1);
    EXPECT_FALSE(t.SetVisibleText(0, price, "много"));
    EXPECT_TRUE(t.VisibleValue(0, price).IsNull());
    EXPECT_FALSE(t.SetVisibleValue(7, 0, 1));
    EXPECT_TRUE(t.VisibleValue(7, 0).IsNull());
    EXPECT_FALSE(t.VisibleRecord(7).Valid());
}

TEST_F(TableFixture, ObserversSeeEveryChangeUnlessControlsAreOff) {
    Recorder r;
    t.AddObserver(&r);
    Add(1, "0");
    EXPECT_EQ(r.calls, (std::vector<std::string>{"BeginInsert 0", "EndInsert", "Changed 0", "Changed 0", "Changed 0"}));
    r.calls.clear();
    t.Delete();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"BeginRemove 0", "EndRemove"}));
    r.calls.clear();

    t.DisableControls();
    Add(2, "0");
    Add(3, "0");
    t.SetFilter("LN", "0");
    t.SetFiltered(true);
    EXPECT_TRUE(r.calls.empty());
    t.EnableControls();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"BeginReset", "EndReset"}));
    t.RemoveObserver(&r);
}
