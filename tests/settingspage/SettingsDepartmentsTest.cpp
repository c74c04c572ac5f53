// Departments against the simulated register (model ver012: 8 departments).
#include "SettingsRig.h"

#include "lang/U_language.h"

using namespace settingstest;

namespace {

TSimDepartment Dep(std::uint8_t kind, const std::string& name, std::uint8_t tax, long long kopecks) {
    TSimDepartment d;
    d.Kind = kind;
    d.Name = name;
    d.TaxGroup = tax;
    d.Price = kopecks;
    return d;
}

// Eight departments of every kind.
std::vector<TSimDepartment> SampleDepartments() {
    return {Dep(0xA1, "Хлеб", 2, 1250),    Dep(0xA2, "Ремонт", 0, 0),     Dep(0xA3, "", 0, 0),
            Dep(0xA1, "Молоко", 1, 9999), Dep(0xA1, "Овощи", 5, 100000), Dep(0xA3, "", 0, 0),
            Dep(0xA2, "Доставка", 3, 50), Dep(0xA1, "Прочее", 0, 1)};
}

// Department rows 1..count of the current profile, all goods departments.
void AddDepartmentRows(TBD& bd, int count) {
    for (int i = 1; i <= count; ++i) {
        bd.mtDepatment.Append();
        bd.mtDepatment.SetValue("Num", i);
        bd.mtDepatment.SetValue("Status", DepKindGoods);
        bd.mtDepatment.SetValue("Name", "Отдел " + std::to_string(i));
        bd.mtDepatment.SetValue("NG", "C");
        bd.mtDepatment.SetValue("Price", TCurrency::FromInteger(i));
        bd.mtDepatment.Post();
    }
}

}  // namespace

TEST(SettingsDepartments, ReadLeavesOneRowPerDepartmentOfTheModel) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Departments = SampleDepartments();
    rig.SetRegister(reg);

    ASSERT_TRUE(rig.Actions.bDepLoadFromKKMClick());
    TMemTable& t = rig.BD.mtDepatment;
    ASSERT_EQ(t.RecordCount(), 8);
    EXPECT_EQ(t.TotalRowCount(), 8) << "the start-up rows of all profiles are gone";
    EXPECT_EQ(Numbers(t, "Num"), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Numbers(t, "Status"), (std::vector<int>{0xA1, 0xA2, 0xA3, 0xA1, 0xA1, 0xA3, 0xA2, 0xA1}));
    EXPECT_EQ(Texts(t, "Name"),
              (std::vector<std::string>{"Хлеб", "Ремонт", "", "Молоко", "Овощи", "", "Доставка", "Прочее"}));
    EXPECT_EQ(Texts(t, "NG"), (std::vector<std::string>{"B", "@", "0", "A", "E", "0", "C", "@"}));
    EXPECT_EQ(Texts(t, "LN"), std::vector<std::string>(8, "0"));
    EXPECT_EQ(t.VisibleRecord(0).AsCurrency("Price"), TCurrency::FromDouble(12.5));
    EXPECT_EQ(t.VisibleRecord(4).AsCurrency("Price"), TCurrency::FromInteger(1000));
    const int price = t.FieldIndex("Price");
    EXPECT_EQ(t.DisplayText(0, price), "12.50");
    EXPECT_EQ(t.DisplayText(7, price), "0.01");
    EXPECT_EQ(t.DisplayText(1, t.FieldIndex("Status")), LangStr(46));
    EXPECT_TRUE(rig.Log.Has("Загружаем отделы..."));
    EXPECT_TRUE(rig.Log.Has("Отделы загружены"));
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{6000});
    EXPECT_FALSE(rig.Wait.Visible);
    EXPECT_TRUE(rig.Actions.DepsLoaded);
}

TEST(SettingsDepartments, WriteSendsTheFirstDepartmentsOfALongerProfile) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Departments = SampleDepartments();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Connect());
    rig.AddSavedProfile("45000", {});
    AddDepartmentRows(rig.BD, 16);
    rig.Wait.Clear();

    ASSERT_TRUE(rig.Actions.bSaveDepToKKMClick());
    const auto deps = rig.Register().Departments;
    ASSERT_EQ(deps.size(), 8u);
    for (int i = 1; i <= 8; ++i) {
        const TSimDepartment& d = deps[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(d.Kind, 0xA1) << i;
        EXPECT_EQ(d.Name, "Отдел " + std::to_string(i));
        EXPECT_EQ(d.TaxGroup, 3) << i;
        EXPECT_EQ(d.Price, i * 100LL) << i;
    }
    EXPECT_TRUE(rig.Log.Has("Записаны отделы: 8"));
    EXPECT_FALSE(rig.Log.Has(" из 8"));
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{5000});
    EXPECT_FALSE(rig.Wait.Visible);
}

TEST(SettingsDepartments, WriteLeavesDepartmentsTheProfileHasNoRowFor) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Departments = SampleDepartments();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Connect());
    rig.AddSavedProfile("45000", {});
    AddDepartmentRows(rig.BD, 3);

    ASSERT_TRUE(rig.Actions.bSaveDepToKKMClick());
    const auto deps = rig.Register().Departments;
    ASSERT_EQ(deps.size(), 8u);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(deps[static_cast<std::size_t>(i - 1)].Name, "Отдел " + std::to_string(i));
    const auto sample = SampleDepartments();
    for (int i = 4; i <= 8; ++i) {
        const TSimDepartment& was = sample[static_cast<std::size_t>(i - 1)];
        const TSimDepartment& is = deps[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(is.Kind, was.Kind) << i;
        EXPECT_EQ(is.Name, was.Name) << i;
        EXPECT_EQ(is.Price, was.Price) << i;
    }
    EXPECT_TRUE(rig.Log.Has("Записаны отделы: 3 из 8"));
}

TEST(SettingsDepartments, ClosingADepartmentInTheGridWritesItClosed) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Departments = SampleDepartments();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Actions.bDepLoadFromKKMClick());
    TMemTable& t = rig.BD.mtDepatment;
    ASSERT_TRUE(t.SetVisibleText(0, t.FieldIndex("Status"), LangStr(47)));
    EXPECT_EQ(t.VisibleRecord(0).AsString("Name"), "");
    ASSERT_TRUE(t.SetVisibleText(2, t.FieldIndex("Status"), LangStr(45)));
    ASSERT_TRUE(t.SetVisibleText(2, t.FieldIndex("Name"), "Новый"));
    ASSERT_TRUE(t.SetVisibleText(2, t.FieldIndex("Price"), "3,5"));

    ASSERT_TRUE(rig.Actions.bSaveDepToKKMClick());
    const auto deps = rig.Register().Departments;
    EXPECT_EQ(deps[0].Kind, 0xA3);
    EXPECT_EQ(deps[0].Name, "");
    EXPECT_EQ(deps[0].Price, 0);
    EXPECT_EQ(deps[2].Kind, 0xA1);
    EXPECT_EQ(deps[2].Name, "Новый");
    EXPECT_EQ(deps[2].Price, 350);
}

TEST(SettingsDepartments, KindsSurviveALanguageChangeBetweenReadAndWrite) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Departments = SampleDepartments();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Actions.bDepLoadFromKKMClick());
    ASSERT_EQ(LangRes().LoadLanguage("English"), 0);  // not recorded: later windows start in the built-in texts
    const bool written = rig.Actions.bSaveDepToKKMClick();
    const std::string shown = rig.BD.mtDepatment.DisplayText(0, rig.BD.mtDepatment.FieldIndex("Status"));
    const std::string goods = LangStr(45);
    LangRes().SetDefaults();
    ASSERT_TRUE(written);
    EXPECT_EQ(shown, goods);
    EXPECT_NE(shown, "Товар") << "the English file names the kinds differently";
    const auto deps = rig.Register().Departments;
    const auto sample = SampleDepartments();
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(deps[i].Kind, sample[i].Kind) << i + 1;
}

TEST(SettingsDepartments, FailedReadLeavesTheRowsAsTheyWere) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Connect());
    rig.Sim.RegisterCommand(0x07, [](TSimState&, const TSimRequest& request) {
        if (request.size() > 2 && request[2] == 3) return TSimFrames{SimAnswerHead(0x07, 5)};
        std::vector<std::uint8_t> answer = SimAnswerHead(0x07, 0);
        answer.resize(36, 0);
        answer[4] = 0xA3;
        return TSimFrames{answer};
    });
    EXPECT_FALSE(rig.Actions.bDepLoadFromKKMClick());
    EXPECT_TRUE(rig.Log.Has("не удалось получить информацию о отделах"));
    EXPECT_FALSE(rig.Log.Has("Отделы загружены"));
    EXPECT_EQ(rig.BD.mtDepatment.RecordCount(), 0) << "the connect emptied the start-up rows; nothing came since";
    EXPECT_FALSE(rig.Actions.DepsLoaded);
}

TEST(SettingsDepartments, FailedWriteNamesTheGroup) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Actions.bDepLoadFromKKMClick());
    rig.Sim.RegisterCommand(0x08, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x08, 5)}; });
    EXPECT_FALSE(rig.Actions.bSaveDepToKKMClick());
    EXPECT_TRUE(rig.Log.Has("не удалось записать информацию о отделах"));
    EXPECT_FALSE(rig.Log.Has("Записаны отделы"));
}
