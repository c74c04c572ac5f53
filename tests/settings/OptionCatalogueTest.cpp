#include "settings/OptionCatalogue.h"

#include "app/TextCodec.h"
#include "kkm/U_kkms.h"
#include "settings/Unitbd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void AddProfile(TBD& bd, const std::string& name, const std::string& key) {
    bd.mtProfile.Append();
    bd.mtProfile.SetValue("Name", name);
    bd.mtProfile.SetValue("LN", key);
    bd.mtProfile.Post();
}

// Appends an option row to the current profile; bounds left null when negative.
TRecordRef AddOption(TBD& bd, int num, int value, int min = -1, int max = -1, int canNul = -1) {
    TMemTable& t = bd.mtOptions;
    t.Append();
    t.SetValue("num", num);
    t.SetValue("Value", value);
    if (min >= 0) t.SetValue("Min", min);
    if (max >= 0) t.SetValue("Max", max);
    if (canNul >= 0) t.SetValue("CanNul", canNul);
    t.Post();
    return t.CurrentRecord();
}

// A device image of a register that reported 40 options with its own captions.
TKKMInfo ReadImage() {
    TKKMInfo info;
    info.OptionCount = 40;
    for (int i = 0; i < KKMOptionCount; ++i) {
        info.Options[i].Min = 1;
        info.Options[i].Max = 300;  // cut to 44
        info.Options[i].Def = 2;
        info.Options[i].Caption = "модель " + std::to_string(i + 1);
    }
    info.Options[4].LeadingZero = true;
    info.Options[4].Def = 0x105;  // cut to 5
    return info;
}

}  // namespace

TEST(OptionCatalogue, RangeTextOfARow) {
    EXPECT_EQ(OptionRangeText(5, 99, 1), "0; 5 - 99");
    EXPECT_EQ(OptionRangeText(0, 3, 1), "0 - 3");
    EXPECT_EQ(OptionRangeText(5, 99, 0), "5 - 99");
    EXPECT_EQ(OptionRangeText(5, 99, TFieldValue()), "5 - 99");
    EXPECT_EQ(OptionRangeText(TFieldValue(), TFieldValue(), 1), "0;  - ") << "null Min is not the text \"0\"";
    EXPECT_EQ(OptionRangeText(TFieldValue(), TFieldValue(), TFieldValue()), " - ");
}

TEST(OptionCatalogue, CalculatedFieldsWithoutADeviceImage) {
    TBD bd;
    TMemTable& t = bd.mtOptions;
    EXPECT_EQ(t.VisibleRecord(0).AsString("Captions"), Utf8Left(DefaultOptions[0].Caption, OptionCaptionWidth));
    EXPECT_EQ(t.VisibleRecord(26).AsString("Captions"), "Зарезервировано");
    TRecordRef r = AddOption(bd, 34, 0, 5, 99, 1);
    EXPECT_EQ(r.AsString("Diapazon"), "0; 5 - 99");
    EXPECT_EQ(AddOption(bd, 64, 0).AsString("Captions"), "");
    EXPECT_EQ(AddOption(bd, 65, 0).AsString("Captions"), "");
    EXPECT_EQ(AddOption(bd, 3, 0, 1000, 2000, 1).AsString("Diapazon"), "0; 1000 - 20") << "cut to 12 characters";
    // Every caption fits its column.
    for (int i = 0; i < t.RecordCount(); ++i)
        EXPECT_LE(Cp1251Length(t.VisibleRecord(i).AsString("Captions")), 180u);
}

TEST(OptionCatalogue, CalculatedFieldsWithADeviceImage) {
    TBD bd;
    AddProfile(bd, "Шаблон", "-5");
    AddOption(bd, 9, 3, 1, 4, 0);  // a row loaded before any register was read
    EXPECT_EQ(bd.mtOptions.AsString("Captions"), "Системный шрифт");

    TKKMInfo info = ReadImage();
    info.Options[8].Caption = std::string(200, 'x');
    bd.Info = &info;
    EXPECT_EQ(bd.mtOptions.AsString("Captions"), std::string(180, 'x')) << "the model's caption, cut";
    EXPECT_EQ(bd.mtOptions.AsString("Diapazon"), "1 - 4") << "the range comes from the row";
    bd.mtProfile.First();
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsString("Captions"), "модель 1");
    EXPECT_EQ(AddOption(bd, 70, 0).AsString("Captions"), "");
}

TEST(OptionCatalogue, DefaultsWithoutADeviceImageAre32CatalogueRows) {
    TBD bd;
    AddProfile(bd, "Шаблон", "-5");
    AddOption(bd, 1, 3);
    SetDefaultOptions(bd);
    TMemTable& t = bd.mtOptions;
    ASSERT_EQ(t.RecordCount(), 32);
    for (int i = 0; i < 32; ++i) {
        TRecordRef r = t.VisibleRecord(i);
        const TDefaultOption& d = DefaultOptions[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.AsInteger("num"), i + 1);
        EXPECT_EQ(r.AsInteger("Value"), d.Def);
        EXPECT_EQ(r.AsInteger("Min"), d.Min);
        EXPECT_EQ(r.AsInteger("Max"), d.Max);
        EXPECT_EQ(r.Value("CanNul"), TFieldValue(0));
        EXPECT_EQ(r.AsString("LN"), "-5");
    }
    bd.mtProfile.First();
    EXPECT_EQ(t.RecordCount(), 32) << "the register profile keeps its rows";
    for (int i = 0; i < 32; ++i) EXPECT_EQ(t.VisibleRecord(i).AsInteger("Value"), 0);
}

TEST(OptionCatalogue, DefaultsWithADeviceImageFollowTheModel) {
    TBD bd;
    TKKMInfo never;  // options never read: count 0
    bd.Info = &never;
    SetDefaultOptions(bd);
    EXPECT_TRUE(bd.mtOptions.IsEmpty()) << "the current profile's rows are deleted, none added";

    TKKMInfo info = ReadImage();
    bd.Info = &info;
    SetDefaultOptions(bd);
    TMemTable& t = bd.mtOptions;
    ASSERT_EQ(t.RecordCount(), 40);
    TRecordRef r5 = t.VisibleRecord(4);
    EXPECT_EQ(r5.AsInteger("Min"), 1);
    EXPECT_EQ(r5.AsInteger("Max"), 44);
    EXPECT_EQ(r5.AsInteger("CanNul"), 1);
    EXPECT_EQ(r5.AsInteger("Value"), 5);
    EXPECT_EQ(r5.AsString("Diapazon"), "0; 1 - 44");
    EXPECT_EQ(t.VisibleRecord(0).AsInteger("CanNul"), 0);
    EXPECT_EQ(bd.KKMValues[4], 5) << "defaults in the register profile update its snapshot";
}

TEST(OptionCatalogue, RangeTest) {
    TBD bd;
    EXPECT_FALSE(OptionOutOfRange(AddOption(bd, 34, 0, 5, 99, 1)));
    EXPECT_TRUE(OptionOutOfRange(AddOption(bd, 34, 3, 5, 99, 1)));
    EXPECT_FALSE(OptionOutOfRange(AddOption(bd, 34, 99, 5, 99, 1)));
    EXPECT_TRUE(OptionOutOfRange(AddOption(bd, 34, 100, 5, 99, 1)));
    EXPECT_TRUE(OptionOutOfRange(AddOption(bd, 34, 0, 5, 99, 0)));
    EXPECT_TRUE(OptionOutOfRange(AddOption(bd, 34, 0, 5, 99))) << "null CanNul allows no 0";
    EXPECT_FALSE(OptionOutOfRange(AddOption(bd, 1, 0))) << "null bounds count as 0";
    EXPECT_TRUE(OptionOutOfRange(AddOption(bd, 1, 1)));
    EXPECT_FALSE(OptionOutOfRange(bd.mtOptions.VisibleRecord(0))) << "start-up rows are in range";
}

TEST(OptionCatalogue, DifferenceMark) {
    TBD bd;
    bd.SavedValues[0] = 7;  // a saved profile said 7 for option 1
    TRecordRef reg = bd.mtOptions.VisibleRecord(0);
    ASSERT_EQ(reg.AsInteger("Value"), 0);
    EXPECT_FALSE(OptionDiffers(reg, bd)) << "no saved profile: register rows are never marked";
    bd.HasSavedProfile = true;
    EXPECT_TRUE(OptionDiffers(reg, bd));
    EXPECT_FALSE(OptionDiffers(bd.mtOptions.VisibleRecord(1), bd));

    AddProfile(bd, "Шаблон", "-5");
    EXPECT_TRUE(OptionDiffers(AddOption(bd, 2, 4), bd)) << "register has 0";
    EXPECT_FALSE(OptionDiffers(AddOption(bd, 3, 0), bd));
    EXPECT_FALSE(OptionDiffers(AddOption(bd, 70, 9), bd)) << "no snapshot entry beyond 64";

    AddProfile(bd, "Сохраненная", "9");
    TRecordRef saved = AddOption(bd, 4, 6);
    EXPECT_TRUE(OptionDiffers(saved, bd)) << "register's option 4 is 0";
    bd.mtProfile.First();
    bd.mtOptions.First();
    bd.mtOptions.MoveBy(3);
    bd.mtOptions.Edit();
    bd.mtOptions.SetValue("Value", 6);
    bd.mtOptions.Post();
    EXPECT_FALSE(OptionDiffers(saved, bd)) << "the register now has 6 as well";
    EXPECT_FALSE(OptionDiffers(bd.mtOptions.CurrentRecord(), bd)) << "and equals the saved 6";
}
