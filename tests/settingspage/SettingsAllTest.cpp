// "Считать всё из ККМ" and "Записать всё в ККМ" against the simulated register.
#include "SettingsRig.h"

#include "app/Utilscolor.h"
#include "lang/U_language.h"

using namespace settingstest;

TEST(SettingsAll, ReadAllReadsEveryGroupAndSetsTheFourFlags) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Actions.bLoadAllOptionsClick());
    EXPECT_EQ(rig.Wait.Shown, (std::vector<int>{4000, 6000, 4000, 4000}));
    EXPECT_FALSE(rig.Wait.Visible);
    for (const char* done : {"Опции загружены", "Отделы загружены", "Загружены заголовок и окончание чека",
                             "Загружена информация о налогах"})
        EXPECT_TRUE(rig.Log.Has(done)) << done;
    EXPECT_TRUE(rig.Log.Has("Загрузка " + colorToStrR(0xF0CAA6) + "завершена!"));
    EXPECT_TRUE(rig.Actions.OptionsLoaded);
    EXPECT_TRUE(rig.Actions.DepsLoaded);
    EXPECT_TRUE(rig.Actions.TitleLoaded);
    EXPECT_TRUE(rig.Actions.TaxLoaded);
    EXPECT_EQ(rig.BD.mtDepatment.RecordCount(), 8);
    EXPECT_EQ(static_cast<std::size_t>(rig.BD.mtOptions.RecordCount()), rig.Register().Options.size());
}

TEST(SettingsAll, ReadAllSetsOnlyTheFlagsOfTheGroupsItRead) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Connect());
    rig.Actions.OptionsLoaded = false;
    rig.Sim.RegisterCommand(0x07, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x07, 5)}; });
    EXPECT_FALSE(rig.Actions.bLoadAllOptionsClick());
    EXPECT_TRUE(rig.Log.Has("не удалось получить информацию о отделах"));
    EXPECT_TRUE(rig.Log.Has("Загружена информация о налогах")) << "a failing step does not stop the next";
    EXPECT_TRUE(rig.Log.Has("завершена!"));
    EXPECT_TRUE(rig.Actions.OptionsLoaded);
    EXPECT_FALSE(rig.Actions.DepsLoaded);
    EXPECT_TRUE(rig.Actions.TitleLoaded);
    EXPECT_TRUE(rig.Actions.TaxLoaded);
}

TEST(SettingsAll, ReadAllWithTheRegisterOffReportsEveryStepAndSetsNoFlag) {
    TSettingsRig rig;
    rig.SwitchRegisterOff();
    EXPECT_FALSE(rig.Actions.bLoadAllOptionsClick());
    EXPECT_EQ(rig.Log.Count("Не удалось подключиться!"), 4);
    EXPECT_TRUE(rig.Log.Has("завершена!"));
    EXPECT_FALSE(rig.Actions.OptionsLoaded);
    EXPECT_FALSE(rig.Actions.DepsLoaded);
    EXPECT_FALSE(rig.Actions.TitleLoaded);
    EXPECT_FALSE(rig.Actions.TaxLoaded);
}

TEST(SettingsAll, WriteAllSendsOptionsDepartmentsAndLines) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Actions.bLoadAllOptionsClick());
    TMemTable& o = rig.BD.mtOptions;
    ASSERT_TRUE(o.SetVisibleValue(3, o.FieldIndex("Value"), 9));  // option 4: 0..10
    TMemTable& d = rig.BD.mtDepatment;
    ASSERT_TRUE(d.SetVisibleText(7, d.FieldIndex("Status"), LangStr(46)));
    ASSERT_TRUE(d.SetVisibleText(7, d.FieldIndex("Name"), "Услуги связи"));
    ASSERT_TRUE(d.SetVisibleText(7, d.FieldIndex("NG"), "D"));
    ASSERT_TRUE(rig.BD.mtFooter.SetVisibleText(5, rig.BD.mtFooter.FieldIndex("Caption"), "До свидания"));
    rig.Wait.Clear();

    ASSERT_TRUE(rig.Actions.bSaveAllOptionsClick());
    const TSimRegister reg = rig.Register();
    EXPECT_EQ(reg.Options[3], 9);
    EXPECT_EQ(reg.Departments[7].Kind, 0xA2);
    EXPECT_EQ(reg.Departments[7].Name, "Услуги связи");
    EXPECT_EQ(reg.Departments[7].TaxGroup, 4);
    EXPECT_EQ(reg.Footer[5].Text, "До свидания");
    EXPECT_EQ(rig.Wait.Shown, (std::vector<int>{2000, 5000, 2000}));
    EXPECT_FALSE(rig.Wait.Visible);
    EXPECT_TRUE(rig.Log.Has("Запись" + colorToStrR(0xF0CAA6) + " завершена!"));
}
