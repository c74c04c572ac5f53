// The profile list, "Сохранить настройки", "Сохранить в шаблон", "Удалить"
// and the exit question, with the register simulator.
#include "ProfileActionsRig.h"

using profiletest::TProfileRig;

namespace {

const std::vector<std::string> kRegisterOnly = {"Загруженая из ККМ"};

}  // namespace

TEST(ProfileActions, FirstConnectListsTheRegisterProfileAndTheTemplatesOfItsVersion) {
    TProfileRig rig;
    rig.StoreRow("Чужая", "999999999999", "ver012", "100");
    rig.StoreRow("Шаблон 012", "", "ver012", "200");
    rig.StoreRow("Шаблон 099", "", "ver099", "300");
    ASSERT_TRUE(rig.Session.Connect()) << rig.Log.Text();

    EXPECT_EQ(rig.ListNames(), (std::vector<std::string>{"Загруженая из ККМ", "Шаблон 012"}));
    EXPECT_EQ(rig.ListKeys(), (std::vector<std::string>{"0", "-200"}));
    EXPECT_EQ(rig.BD.mtProfile.RecNo(), 1);
    EXPECT_FALSE(rig.BD.HasSavedProfile);
    EXPECT_EQ(rig.BD.SavedValues, rig.BD.KKMValues);
    EXPECT_EQ(rig.BlueMarks(), 0);
    EXPECT_EQ(rig.BD.mtOptions.RecordCount(), rig.Session.Info()->GetOptionCount());
    EXPECT_FALSE(rig.Log.Has("Error"));
}

TEST(ProfileActions, SaveSettingsStoresTheRegisterProfileAndDeleteTakesItAway) {
    TProfileRig rig;
    ASSERT_TRUE(rig.Session.Connect());
    ASSERT_TRUE(rig.Settings.bLoadAllOptionsClick()) << rig.Log.Text();
    ASSERT_TRUE(rig.AllLoaded());
    const int options = rig.BD.mtOptions.RecordCount();

    ASSERT_TRUE(rig.Profiles.bSavePropKKMtoBDClick()) << rig.Log.Text();
    const auto stored = rig.Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, "Сохраненная");
    EXPECT_EQ(stored[0].SN, "001234567890");
    EXPECT_EQ(stored[0].TypeKKM, "ver012");
    EXPECT_EQ(rig.ListNames(), (std::vector<std::string>{"Загруженая из ККМ", "Сохраненная"}));
    EXPECT_EQ(rig.ListKeys()[1], stored[0].LN);
    EXPECT_EQ(rig.BD.mtProfile.RecNo(), 2) << "the saved profile is shown as stored";
    EXPECT_EQ(rig.BD.mtOptions.RecordCount(), options);
    EXPECT_EQ(rig.BD.mtDepatment.RecordCount(), rig.Session.Info()->GetMaxCountDepat());
    EXPECT_EQ(rig.BD.mtTitle.RecordCount(), 6);
    EXPECT_EQ(rig.BD.mtFooter.RecordCount(), 6);
    EXPECT_TRUE(rig.BD.HasSavedProfile);
    EXPECT_FALSE(rig.Settings.OptionsLoaded || rig.Settings.DepsLoaded || rig.Settings.TitleLoaded ||
                 rig.Settings.TaxLoaded);

    // Nothing left to ask on closing.
    rig.Log.Clear();
    EXPECT_TRUE(rig.Profiles.FormCloseQuery());
    EXPECT_FALSE(rig.Log.Has("Query:"));

    // A changed register option is marked against the saved profile ...
    EXPECT_EQ(rig.BlueMarks(), 0);
    rig.EditRegisterOption(1, rig.BD.KKMValues[0] + 1);
    EXPECT_EQ(rig.BlueMarks(), 1);
    // ... until the saved profile is deleted.
    ASSERT_TRUE(rig.Profiles.SelectProfile(2));
    EXPECT_TRUE(rig.Profiles.bDelPropKKMtoBDClick());
    EXPECT_EQ(rig.ListNames(), kRegisterOnly);
    EXPECT_EQ(rig.BlueMarks(), 0);
    EXPECT_TRUE(rig.Stored().empty());
    // The register profile itself cannot be deleted.
    EXPECT_FALSE(rig.Profiles.bDelPropKKMtoBDClick());
    EXPECT_EQ(rig.ListNames(), kRegisterOnly);
}

TEST(ProfileActions, TemplatesAreNamedSavedAndChosenAgainAndCancelStoresNothing) {
    TProfileRig rig;
    ASSERT_TRUE(rig.Session.Connect());
    ASSERT_TRUE(rig.Settings.bLoadAllOptionsClick());

    rig.Answer = std::nullopt;  // Cancel
    EXPECT_FALSE(rig.Profiles.bSavePropKKMtoBDasShablonClick());
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(rig.Asked[0], "Введите|Имя шаблона|");
    rig.Answer = "   ";
    EXPECT_FALSE(rig.Profiles.bSavePropKKMtoBDasShablonClick());
    EXPECT_TRUE(rig.Stored().empty());

    rig.Answer = "Магазин 'Ромашка'";
    ASSERT_TRUE(rig.Profiles.bSavePropKKMtoBDasShablonClick()) << rig.Log.Text();
    EXPECT_TRUE(rig.Log.Has("Шаблон записан"));
    const auto stored = rig.Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored[0].IsTemplate());
    EXPECT_EQ(stored[0].TypeKKM, "ver012");
    EXPECT_EQ(rig.ListNames(), (std::vector<std::string>{"Загруженая из ККМ", "Магазин 'Ромашка'"}));
    EXPECT_EQ(rig.ListKeys()[1], "-" + stored[0].LN);
    EXPECT_EQ(rig.BD.mtProfile.RecNo(), 1) << "the same list position stays chosen";
    EXPECT_TRUE(rig.AllLoaded()) << "a template does not count as storing the register's settings";

    // Chosen again, the template shows the rows it was saved with.
    const auto registerOptions = rig.BD.mtOptions.RecordCount();
    const std::string firstTitle = rig.BD.mtTitle.VisibleRecord(0).AsString("Caption");
    ASSERT_TRUE(rig.Profiles.SelectProfile(2));
    EXPECT_EQ(rig.BD.mtOptions.RecordCount(), registerOptions);
    EXPECT_EQ(rig.BD.mtTitle.VisibleRecord(0).AsString("Caption"), firstTitle);
    EXPECT_EQ(rig.BD.mtOptions.VisibleRecord(0).AsString("LN"), "-" + stored[0].LN);

    // With the template current the box proposes its name; Cancel still stores nothing.
    rig.Answer = std::nullopt;
    EXPECT_FALSE(rig.Profiles.bSavePropKKMtoBDasShablonClick());
    EXPECT_EQ(rig.Asked.back(), "Введите|Имя шаблона|Магазин 'Ромашка'");
    // Saving under the same name overwrites it: still one template, still chosen.
    rig.BD.mtTitle.First();
    rig.BD.mtTitle.Edit();
    rig.BD.mtTitle.SetValue("Caption", "Новая первая строка");
    rig.BD.mtTitle.Post();
    rig.Answer = "Магазин 'Ромашка'";
    ASSERT_TRUE(rig.Profiles.bSavePropKKMtoBDasShablonClick());
    EXPECT_EQ(rig.Stored().size(), 1u);
    EXPECT_EQ(rig.BD.mtProfile.RecNo(), 2);
    rig.Profiles.SelectProfile(1);
    rig.Profiles.SelectProfile(2);
    EXPECT_EQ(rig.BD.mtTitle.VisibleRecord(0).AsString("Caption"), "Новая первая строка");
}

TEST(ProfileActions, TheExitQuestionUnderAutonomStoresTheRegisterProfile) {
    TProfileRig rig;
    isAUTONOM = true;
    ASSERT_TRUE(rig.Session.Connect());
    // Options only: nothing to ask.
    EXPECT_TRUE(rig.Profiles.FormCloseQuery());
    EXPECT_FALSE(rig.Log.Has("Query:"));
    EXPECT_TRUE(rig.Stored().empty());

    ASSERT_TRUE(rig.Settings.bLoadAllOptionsClick());
    ASSERT_TRUE(rig.Profiles.SelectProfile(1));
    EXPECT_TRUE(rig.Profiles.FormCloseQuery());
    EXPECT_TRUE(rig.Log.Has("Query:Записать в БД загруженные из ККМ настройки? - Yes")) << rig.Log.Text();
    const auto stored = rig.Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, "Сохраненная");
    EXPECT_EQ(stored[0].SN, "001234567890");
    EXPECT_FALSE(rig.AllLoaded());
}

TEST(ProfileActions, SavingWithoutARegisterStoresNothing) {
    TProfileRig rig;
    rig.Session.ComPort.SetDevicePath("/nonexistent/vornik-register");
    EXPECT_FALSE(rig.Profiles.bSavePropKKMtoBDClick());
    EXPECT_TRUE(rig.Log.Has("Не удалось подключиться!"));
    EXPECT_FALSE(FileExists(JoinPath(rig.Dir.Path(), "bd/Profile.dbf")));
    // Without a device image there is no version to file a template under.
    rig.Answer = "Шаблон";
    EXPECT_FALSE(rig.Profiles.bSavePropKKMtoBDasShablonClick());
    EXPECT_TRUE(rig.Asked.empty());
}

TEST(ProfileActions, AReconnectShowsRegisterOptionsThatDifferFromTheSavedProfile) {
    TProfileRig rig;
    ASSERT_TRUE(rig.Session.Connect());
    ASSERT_TRUE(rig.Settings.bLoadAllOptionsClick());
    ASSERT_TRUE(rig.Profiles.bSavePropKKMtoBDClick());
    rig.Session.Connect();  // disconnects
    ASSERT_FALSE(rig.Session.IsConnected());

    // Meanwhile option 3 changed on the register.
    TSimState s = rig.State();
    s.Register.Options[2] = static_cast<std::uint8_t>(s.Register.Options[2] == 0 ? 1 : 0);
    rig.SetState(s);
    ASSERT_TRUE(rig.Session.Connect());
    EXPECT_EQ(rig.ListNames(), (std::vector<std::string>{"Загруженая из ККМ", "Сохраненная"}));
    EXPECT_EQ(rig.BD.mtProfile.RecNo(), 1);
    EXPECT_NE(rig.BD.SavedValues[2], rig.BD.KKMValues[2]) << "the list build loaded the saved profile";
    EXPECT_EQ(rig.BlueMarks(), 1);

    // Storing a template rebuilds the list; the saved profile still marks.
    rig.Answer = "Шаблон";
    ASSERT_TRUE(rig.Profiles.bSavePropKKMtoBDasShablonClick());
    EXPECT_EQ(rig.ListNames(), (std::vector<std::string>{"Загруженая из ККМ", "Сохраненная", "Шаблон"}));
    EXPECT_EQ(rig.BlueMarks(), 1);
}
