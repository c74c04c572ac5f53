// Header and footer lines with their fonts, and taxes, against the
// simulated register.
#include "SettingsRig.h"

using namespace settingstest;

namespace {

TSimRegister WithLines(TSimRegister reg, std::uint8_t titleFont, std::uint8_t footerFont) {
    for (int i = 0; i < 6; ++i) {
        reg.Header[static_cast<std::size_t>(i)].Font = titleFont;
        reg.Header[static_cast<std::size_t>(i)].Text = "Заголовок " + std::to_string(i + 1);
        reg.Footer[static_cast<std::size_t>(i)].Font = footerFont;
        reg.Footer[static_cast<std::size_t>(i)].Text = "Спасибо " + std::to_string(i + 1);
    }
    return reg;
}

// Lines 1..6 of the current profile.
void AddLineRows(TMemTable& t, const std::string& stem) {
    for (int i = 1; i <= 6; ++i) {
        t.Append();
        t.SetValue("Num", i);
        t.SetValue("Caption", stem + std::to_string(i));
        t.Post();
    }
}

}  // namespace

TEST(SettingsLines, ReadFillsTheLinesTheFontRowAndTheFontLists) {
    TSettingsRig rig;
    rig.SetRegister(WithLines(rig.Register(), 3, 6));
    int listChanges = 0;
    rig.Actions.OnFontListChanged = [&] { ++listChanges; };

    ASSERT_TRUE(rig.Actions.bLoadTitleClick());
    EXPECT_EQ(Texts(rig.BD.mtTitle, "Caption"),
              (std::vector<std::string>{"Заголовок 1", "Заголовок 2", "Заголовок 3", "Заголовок 4", "Заголовок 5",
                                        "Заголовок 6"}));
    EXPECT_EQ(Texts(rig.BD.mtFooter, "Caption")[5], "Спасибо 6");
    EXPECT_EQ(Numbers(rig.BD.mtFooter, "Num"), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(rig.BD.mtCheckFont.RecordCount(), 1);
    EXPECT_EQ(rig.BD.mtCheckFont.AsString("TitleFont"), "3 (24 символа, ВЫТЯНУТЫЙ по высоте)");
    EXPECT_EQ(rig.BD.mtCheckFont.AsString("footerFont"), "6 (32 символа, НОРМ по высоте)");
    EXPECT_EQ(rig.BD.mtCheckFont.AsString("LN"), "0");
    EXPECT_EQ(listChanges, 1);
    ASSERT_EQ(rig.Actions.FontList.size(), 9u) << "ver012 has fonts 0..8";
    EXPECT_EQ(rig.Actions.FontList[0], "0 (по умолчанию)");
    EXPECT_TRUE(rig.Log.Has("Загружены заголовок и окончание чека"));
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{4000});
    EXPECT_FALSE(rig.Wait.Visible);
    EXPECT_TRUE(rig.Actions.TitleLoaded);

    // A second read edits the same rows and the same font row.
    ASSERT_TRUE(rig.Actions.bLoadTitleClick());
    EXPECT_EQ(rig.BD.mtTitle.RecordCount(), 6);
    EXPECT_EQ(rig.BD.mtCheckFont.TotalRowCount(), 1);
}

TEST(SettingsLines, WriteWithAnEmptyFontSendsFontZero) {
    TSettingsRig rig;
    rig.SetRegister(WithLines(rig.Register(), 3, 6));
    ASSERT_TRUE(rig.Connect());
    rig.AddSavedProfile("45000", {});
    AddLineRows(rig.BD.mtTitle, "Шапка ");
    AddLineRows(rig.BD.mtFooter, "Подвал ");
    ASSERT_TRUE(rig.BD.mtCheckFont.IsEmpty()) << "the saved profile has no font row";
    rig.Wait.Clear();

    ASSERT_TRUE(rig.Actions.bSaveToKKMClick());
    const TSimRegister reg = rig.Register();
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(reg.Header[i].Font, 0) << i;
        EXPECT_EQ(reg.Footer[i].Font, 0) << i;
        EXPECT_EQ(reg.Header[i].Text, "Шапка " + std::to_string(i + 1));
        EXPECT_EQ(reg.Footer[i].Text, "Подвал " + std::to_string(i + 1));
    }
    EXPECT_TRUE(rig.Log.Has("Начало Footer"));
    EXPECT_TRUE(rig.Log.Has("Записаны заголовок и окончание чека"));
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{2000});
    EXPECT_FALSE(rig.Wait.Visible);
}

TEST(SettingsLines, WritePostsTheFontBeingEditedAndSendsItsNumber) {
    TSettingsRig rig;
    rig.SetRegister(WithLines(rig.Register(), 3, 6));
    ASSERT_TRUE(rig.Actions.bLoadTitleClick());
    TMemTable& fonts = rig.BD.mtCheckFont;
    fonts.Edit();
    fonts.SetValue("TitleFont", rig.Actions.FontList[5]);
    fonts.SetValue("footerFont", rig.Actions.FontList[1]);
    ASSERT_TRUE(rig.BD.mtTitle.SetVisibleText(0, rig.BD.mtTitle.FieldIndex("Caption"), "Новая шапка"));

    ASSERT_TRUE(rig.Actions.bSaveToKKMClick());
    EXPECT_EQ(fonts.State(), TDataSetState::Browse);
    const TSimRegister reg = rig.Register();
    EXPECT_EQ(reg.Header[0].Font, 5);
    EXPECT_EQ(reg.Header[5].Font, 5);
    EXPECT_EQ(reg.Footer[3].Font, 1);
    EXPECT_EQ(reg.Header[0].Text, "Новая шапка");
    EXPECT_EQ(reg.Header[1].Text, "Заголовок 2");
}

TEST(SettingsLines, FailedFooterReadKeepsTheHeaderAlreadyRead) {
    TSettingsRig rig;
    rig.SetRegister(WithLines(rig.Register(), 3, 6));
    ASSERT_TRUE(rig.Connect());
    rig.Sim.RegisterCommand(0x05, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x05, 5)}; });
    EXPECT_FALSE(rig.Actions.bLoadTitleClick());
    EXPECT_TRUE(rig.Log.Has("не удалось получить информацию об окончании чека"));
    EXPECT_EQ(Texts(rig.BD.mtTitle, "Caption")[0], "Заголовок 1");
    EXPECT_TRUE(Texts(rig.BD.mtFooter, "Caption").empty());  // the start-up rows went at the connect
    EXPECT_FALSE(rig.Actions.TitleLoaded);
}

TEST(SettingsLines, FailedHeaderWriteStopsBeforeTheFooter) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Actions.bLoadTitleClick());
    rig.Sim.RegisterCommand(0x04, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x04, 5)}; });
    EXPECT_FALSE(rig.Actions.bSaveToKKMClick());
    EXPECT_TRUE(rig.Log.Has("не удалось записать информацию о заголовках"));
    EXPECT_FALSE(rig.Log.Has("Начало Footer"));
}

TEST(SettingsLines, FontNumbersComeFromTheFirstCharacter) {
    EXPECT_EQ(TSettingsActions::FontNumberOf(""), 0);
    EXPECT_EQ(TSettingsActions::FontNumberOf("7 (32 символа, ВЫТЯНУТЫЙ по высоте)"), 7);
    EXPECT_EQ(TSettingsActions::FontNumberOf("Шрифт"), 0);
}

TEST(SettingsTaxes, ReadShowsDefinedTaxesWithTheirKinds) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    for (auto& t : reg.Taxes) t = TSimTax{};
    reg.Taxes[0] = TSimTax{true, 0, 1800, "НДС 18%"};
    reg.Taxes[1] = TSimTax{true, 1, 1050, "НСП"};
    rig.SetRegister(reg);
    // An undefined tax keeps the rate it had.
    TMemTable& t = rig.BD.mtTax;
    ASSERT_TRUE(t.SetVisibleValue(4, t.FieldIndex("Percent"), 7.0));

    ASSERT_TRUE(rig.Actions.bLoadTaxClick());
    ASSERT_EQ(t.RecordCount(), 5);
    EXPECT_EQ(Numbers(t, "Num"), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Texts(t, "isDefined"), (std::vector<std::string>{"True", "True", "False", "False", "False"}));
    EXPECT_EQ(Texts(t, "Type"), (std::vector<std::string>{"0", "1", "2", "2", "2"}));
    const int type = t.FieldIndex("Type");
    EXPECT_EQ(t.DisplayText(0, type), "Начисляемый");
    EXPECT_EQ(t.DisplayText(1, type), "Выделяемый");
    EXPECT_EQ(t.DisplayText(2, type), "");
    EXPECT_EQ(t.VisibleRecord(0).AsString("Name"), "НДС 18%");
    EXPECT_DOUBLE_EQ(t.VisibleRecord(0).AsFloat("Percent"), 18.0);
    EXPECT_DOUBLE_EQ(t.VisibleRecord(1).AsFloat("Percent"), 10.5);
    EXPECT_DOUBLE_EQ(t.VisibleRecord(4).AsFloat("Percent"), 7.0);
    EXPECT_TRUE(rig.Log.Has("Загружена информация о налогах"));
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{4000});
    EXPECT_TRUE(rig.Actions.TaxLoaded);
}

TEST(SettingsTaxes, FailedReadNamesTheGroup) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Connect());
    rig.Sim.RegisterCommand(0x0D, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x0D, 5)}; });
    EXPECT_FALSE(rig.Actions.bLoadTaxClick());
    EXPECT_TRUE(rig.Log.Has("не удалось получить информацию о налогах"));
    EXPECT_FALSE(rig.Actions.TaxLoaded);
}
