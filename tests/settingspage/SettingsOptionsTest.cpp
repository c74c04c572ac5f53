// Option rows against the simulated register: the after-connect step, read,
// write (out-of-range values, another profile current, short profiles),
// "по умолчанию" and the marks.
#include "SettingsRig.h"

#include "settings/OptionCatalogue.h"

#include <memory>

using namespace settingstest;

namespace {

// 32 option values the ver012 model accepts (options 9..17 are fonts from 1).
std::vector<std::uint8_t> SampleOptions() {
    std::vector<std::uint8_t> v(32, 0);
    for (int i = 0; i < 32; ++i) v[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i % 2);
    for (int n = 9; n <= 17; ++n) v[static_cast<std::size_t>(n - 1)] = 1;
    v[16] = 6;  // option 17: 6..8
    return v;
}

std::vector<int> AsInts(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

}  // namespace

TEST(SettingsOptions, ConnectFillsTheRegisterRowsBeforeSayingConnected) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Options = SampleOptions();
    rig.SetRegister(reg);
    int rowsAtNextStep = -1;
    bool saidConnected = true;
    rig.Session.AfterConnectSteps.push_back([&] {
        rowsAtNextStep = rig.BD.mtOptions.RecordCount();
        saidConnected = rig.Log.Has("Подключились!");
    });

    ASSERT_TRUE(rig.Connect());
    EXPECT_EQ(rowsAtNextStep, 32);
    EXPECT_FALSE(saidConnected);
    EXPECT_TRUE(rig.Log.Has("Подключились!"));
    EXPECT_TRUE(rig.Actions.OptionsLoaded);
    EXPECT_EQ(Numbers(rig.BD.mtOptions, "Value"), AsInts(SampleOptions()));
    EXPECT_EQ(Texts(rig.BD.mtOptions, "LN"), std::vector<std::string>(32, "0"));
    EXPECT_EQ(rig.BD.mtOptions.RecNo(), 1);
    // Ranges and captions of the model file ver012: option 2 is 0..8.
    EXPECT_EQ(rig.BD.mtOptions.VisibleRecord(1).AsString("Diapazon"), "0 - 8");
    EXPECT_EQ(rig.BD.mtOptions.VisibleRecord(8).AsString("Captions"), "Системный шрифт");
    for (int n = 1; n <= 32; ++n) EXPECT_EQ(TBD::SnapshotValue(rig.BD.KKMValues, n), SampleOptions()[n - 1]) << n;
}

TEST(SettingsOptions, ReadConnectsFirstWhenThePortIsClosed) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Options = SampleOptions();
    rig.SetRegister(reg);

    ASSERT_TRUE(rig.Actions.bLoadOptionsClick());
    EXPECT_TRUE(rig.Session.IsConnected());
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{4000});
    EXPECT_EQ(rig.Wait.Texts, std::vector<std::string>{""});
    EXPECT_FALSE(rig.Wait.Visible);
    EXPECT_TRUE(rig.Log.Has("Опции загружены"));
    EXPECT_EQ(Numbers(rig.BD.mtOptions, "Value"), AsInts(SampleOptions()));

    // A second read replaces the register profile's option rows; the saved
    // profile keeps its own.
    rig.AddSavedProfile("45000", {5, 5, 5});
    reg.Options[0] = 3;
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Actions.bLoadOptionsClick());
    EXPECT_EQ(rig.BD.mtProfile.RecNo(), 1) << "reads go into the register profile";
    EXPECT_EQ(rig.BD.mtOptions.VisibleRecord(0).AsInteger("Value"), 3);
    EXPECT_EQ(rig.BD.mtOptions.TotalRowCount(), 32 + 3);
}

TEST(SettingsOptions, ReadWithTheRegisterOffStopsAfterTheConnectError) {
    TSettingsRig rig;
    rig.SwitchRegisterOff();
    EXPECT_FALSE(rig.Actions.bLoadOptionsClick());
    EXPECT_EQ(rig.Log.Count("Не удалось подключиться!"), 1);
    EXPECT_FALSE(rig.Log.Has("Опции загружены"));
    EXPECT_FALSE(rig.Wait.Visible);
    EXPECT_FALSE(rig.Actions.OptionsLoaded);
    EXPECT_EQ(Numbers(rig.BD.mtOptions, "Value"), std::vector<int>(32, 0));
}

TEST(SettingsOptions, WriteReportsOutOfRangeValuesAndSendsThemUnchanged) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Options = SampleOptions();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Connect());
    TMemTable& t = rig.BD.mtOptions;
    ASSERT_TRUE(t.SetVisibleValue(1, t.FieldIndex("Value"), 12));  // option 2: 0..8
    ASSERT_TRUE(t.SetVisibleValue(2, t.FieldIndex("Value"), 7));   // option 3: 0..10
    EXPECT_TRUE(OptionOutOfRange(t.VisibleRecord(1)));
    rig.Wait.Clear();

    ASSERT_TRUE(rig.Actions.bSaveOptionsClick());
    reg = rig.Register();
    ASSERT_EQ(reg.Options.size(), 32u);
    EXPECT_EQ(reg.Options[1], 12);
    EXPECT_EQ(reg.Options[2], 7);
    EXPECT_EQ(rig.Log.Count("опция вне интервала!"), 1);
    EXPECT_TRUE(rig.Log.Has("Error:опция вне интервала!"));
    EXPECT_TRUE(rig.Log.Has("опции записаны"));
    EXPECT_EQ(rig.Wait.Shown, std::vector<int>{2000});
    EXPECT_FALSE(rig.Wait.Visible);
}

TEST(SettingsOptions, WriteSendsTheCurrentProfileAndKeepsOptionsItHasNoRowFor) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Options = SampleOptions();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Connect());
    rig.AddSavedProfile("45000", {1, 2, 3, 4, 1});

    ASSERT_TRUE(rig.Actions.bSaveOptionsClick());
    std::vector<std::uint8_t> expected = SampleOptions();
    for (int i = 0; i < 5; ++i) expected[static_cast<std::size_t>(i)] = std::vector<std::uint8_t>{1, 2, 3, 4, 1}[i];
    EXPECT_EQ(rig.Register().Options, expected) << "options 6..32 keep the register's values, not option 5's";
}

TEST(SettingsOptions, RefusedWriteShowsTheInformationBoxText) {
    TSettingsRig rig;
    ASSERT_TRUE(rig.Connect());
    rig.Sim.RegisterCommand(0x0A, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x0A, 5)}; });
    EXPECT_FALSE(rig.Actions.bSaveOptionsClick());
    EXPECT_TRUE(rig.Log.Has("опции не записались"));
    EXPECT_FALSE(rig.Log.Has("опции записаны"));
    EXPECT_FALSE(rig.Wait.Visible);
}

TEST(SettingsOptions, DefaultsWithoutADeviceImageComeFromTheCatalogue) {
    TSettingsRig rig;
    TMemTable& t = rig.BD.mtOptions;
    ASSERT_TRUE(t.SetVisibleValue(0, t.FieldIndex("Value"), 3));
    rig.Actions.bSetDefaultOptionsClick();
    ASSERT_EQ(t.RecordCount(), 32);
    for (int n = 1; n <= 32; ++n) {
        const TDefaultOption& d = DefaultOptions[static_cast<std::size_t>(n - 1)];
        TRecordRef row = t.VisibleRecord(n - 1);
        EXPECT_EQ(row.AsInteger("num"), n);
        EXPECT_EQ(row.AsInteger("Value"), d.Def) << n;
        EXPECT_EQ(row.AsInteger("Min"), d.Min) << n;
        EXPECT_EQ(row.AsInteger("Max"), d.Max) << n;
    }
    EXPECT_FALSE(rig.Session.IsConnected()) << "nothing talks to the register";
}

TEST(SettingsOptions, DefaultsWithADeviceImageComeFromTheModelFile) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Options = SampleOptions();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Connect());
    rig.Actions.bSetDefaultOptionsClick();
    TMemTable& t = rig.BD.mtOptions;
    ASSERT_EQ(t.RecordCount(), rig.Info().GetOptionCount());
    for (int n = 1; n <= t.RecordCount(); ++n) {
        EXPECT_EQ(t.VisibleRecord(n - 1).AsInteger("Value"), rig.Info().GetOptionDef(n)) << n;
        EXPECT_EQ(t.VisibleRecord(n - 1).AsInteger("Max"), rig.Info().GetOptionRange(n).second) << n;
    }
    EXPECT_EQ(t.VisibleRecord(1).AsInteger("Max"), 8) << "option 2 of ver012";
    EXPECT_EQ(rig.Register().Options, SampleOptions()) << "nothing is sent";

    // An image whose options were never read offers no rows at all.
    rig.Session.KKM.Info = std::make_shared<TKKMInfo>();
    rig.Actions.bSetDefaultOptionsClick();
    EXPECT_EQ(t.RecordCount(), 0);
}

TEST(SettingsOptions, MarksCompareTheRegisterWithTheSavedProfile) {
    TSettingsRig rig;
    TSimRegister reg = rig.Register();
    reg.Options = SampleOptions();
    rig.SetRegister(reg);
    ASSERT_TRUE(rig.Connect());
    TMemTable& t = rig.BD.mtOptions;
    for (int i = 0; i < t.RecordCount(); ++i) EXPECT_FALSE(OptionDiffers(t.VisibleRecord(i), rig.BD)) << i;

    // A saved profile that differs in option 1 only.
    std::vector<int> saved = AsInts(SampleOptions());
    saved[0] = 1 - saved[0];
    rig.AddSavedProfile("45000", saved);
    rig.BD.HasSavedProfile = true;
    EXPECT_TRUE(OptionDiffers(t.VisibleRecord(0), rig.BD)) << "saved profile differs from the register";
    EXPECT_FALSE(OptionDiffers(t.VisibleRecord(1), rig.BD));

    rig.BD.mtProfile.First();  // back to the register's rows
    EXPECT_TRUE(OptionDiffers(t.VisibleRecord(0), rig.BD)) << "register differs from its saved profile";
    EXPECT_FALSE(OptionDiffers(t.VisibleRecord(1), rig.BD));

    // Range mark after an edit.
    EXPECT_FALSE(OptionOutOfRange(t.VisibleRecord(8)));
    ASSERT_TRUE(t.SetVisibleValue(8, t.FieldIndex("Value"), 0));  // option 9: 1..4
    EXPECT_TRUE(OptionOutOfRange(t.VisibleRecord(8)));
}
