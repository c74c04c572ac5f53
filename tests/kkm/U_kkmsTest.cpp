#include "kkm/U_kkms.h"

#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// A data folder of its own with an ECR_CFG folder; the program's data folder
// comes back at the end.
class ModelConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vornik-kkm-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        std::filesystem::create_directory(dir_ + "/ECR_CFG");
        SetDataDir(dir_);
        info.Version = "ver099";
        info.CfgSuffix = "000000";
    }
    void TearDown() override {
        SetDataDir("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // Writes the model file for info's version; text is UTF-8, the file cp1251.
    void WriteModelFile(const std::string& utf8) {
        std::ofstream(dir_ + "/ECR_CFG/ver099_000000.ini", std::ios::binary) << Utf8ToCp1251(utf8);
    }

    std::string dir_;
    TKKMInfo info;
};

std::string Marked(const char* caption) { return std::string("нет описания,def: ") + caption; }

}  // namespace

TEST(DeviceImage, StartsWithTheInitialValues) {
    TKKMInfo info;
    EXPECT_EQ(info.Model, "???");
    EXPECT_EQ(info.SerialNumber, "???");
    EXPECT_EQ(info.Version, "???");
    EXPECT_EQ(info.maxCountDepat, 4);
    EXPECT_EQ(info.maxCountFont, 8);
    EXPECT_EQ(info.maxCountGoods, 100);
    EXPECT_EQ(info.GetOptionCount(), 0);
    EXPECT_EQ(info.Options[63].Caption, "");
    EXPECT_EQ(info.Deps[15].Price, 0);
    EXPECT_FALSE(info.SaveGoodsCount);
}

TEST(DeviceImage, GoodsViewsReadTheGoodsRecordAndFollowCopies) {
    TKKMInfo info;
    EXPECT_TRUE(info.GoodsCode.FromStr("1234"));
    EXPECT_EQ(info.Goods[2], 0x34);
    EXPECT_EQ(info.Goods[3], 0x12);
    EXPECT_TRUE(info.GoodsPrice.FromStr("1250"));
    EXPECT_EQ(info.Goods[37], 0x50);
    EXPECT_EQ(info.Goods[38], 0x12);
    EXPECT_TRUE(info.GoodsShtrih.FromStr("46000000000012345678"));
    EXPECT_EQ(info.Goods[44], 0x78);
    EXPECT_EQ(info.Goods[53], 0x46);
    EXPECT_TRUE(info.GoodsCount.FromStr("1500"));
    EXPECT_EQ(info.Goods[54], 0x00);
    EXPECT_EQ(info.Goods[55], 0x15);
    EXPECT_EQ(info.Goods[59], 0x00);

    TKKMInfo copy(info);
    EXPECT_EQ(copy.GoodsCode.Data, copy.Goods + 2);
    EXPECT_EQ(copy.GoodsCount.Data, copy.Goods + 54);
    EXPECT_EQ(copy.GoodsShtrih.ToStr(), "46000000000012345678");
    copy.GoodsCode.FromStr("7");
    EXPECT_EQ(info.GoodsCode.ToStr(), "1234");  // the original is untouched

    TKKMInfo assigned;
    assigned = info;
    EXPECT_EQ(assigned.GoodsPrice.Data, assigned.Goods + 37);
    EXPECT_EQ(assigned.GoodsPrice.ToStr(), "1250");
}

TEST(DeviceImage, ModeTexts) {
    EXPECT_EQ(KKMModeText(0), "AUTONOM");
    EXPECT_EQ(KKMModeText(1), "ON-LINE");
    EXPECT_EQ(KKMModeText(2), "OFF-LINE");
    EXPECT_EQ(KKMModeText(7), "?:7");
}

TEST(DeviceImage, FontNamesDependOnTheModelsFontCount) {
    TKKMInfo info;
    info.maxCountFont = 4;
    EXPECT_EQ(info.GetFontCount(), 5);
    EXPECT_EQ(info.GetFontName(5), "5 (24 символа, ДВОЙНОЙ по высоте, ЖИРНЫЙ)");
    EXPECT_EQ(info.GetFontName(0), "0 (по умолчанию)");
    info.maxCountFont = 3;
    EXPECT_EQ(info.GetFontName(5), "");
    info.maxCountFont = 20;
    EXPECT_EQ(info.GetFontName(8), "8 (32 символа, СЖАТЫЙ по высоте)");
    EXPECT_EQ(info.GetFontName(9), "");
    EXPECT_EQ(info.GetFontName(-1), "");
}

TEST(DeviceImage, OptionAccessorsCutToBytesAndRefuseOtherNumbers) {
    TKKMInfo info;
    info.Options[9].Min = 1;
    info.Options[9].Max = 300;
    info.Options[9].Def = 257;
    info.Options[9].Caption = "десятая";
    std::uint8_t lo = 9, hi = 9;
    info.GetOptionRange(10, lo, hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 44);
    EXPECT_EQ(info.GetOptionDef(10), 1);
    EXPECT_EQ(info.GetOptionCaption(10), "десятая");
    for (int bad : {0, 65, -3}) {
        EXPECT_EQ(info.GetOptionRange(bad), std::make_pair(std::uint8_t{0}, std::uint8_t{0})) << bad;
        EXPECT_EQ(info.GetOptionDef(bad), 0) << bad;
        EXPECT_EQ(info.GetOptionCaption(bad), "") << bad;
    }
}

TEST(OptionCatalogue, HoldsTheBuiltInRows) {
    EXPECT_EQ(DefaultOptions[0].Max, 3);
    EXPECT_EQ(std::string(DefaultOptions[8].Caption), "Системный шрифт");
    EXPECT_EQ(DefaultOptions[29].Max, 98);
    EXPECT_TRUE(DefaultOptions[33].LeadingZero);
    EXPECT_EQ(DefaultOptions[33].Min, 5);
    int leading = 0;
    for (const auto& d : DefaultOptions) leading += d.LeadingZero ? 1 : 0;
    EXPECT_EQ(leading, 1);
    for (int n : {27, 38, 44, 50}) EXPECT_EQ(std::string(DefaultOptions[n - 1].Caption), "Зарезервировано") << n;
    for (int n = 51; n <= 64; ++n) {
        EXPECT_EQ(std::string(DefaultOptions[n - 1].Caption), "") << n;
        EXPECT_EQ(DefaultOptions[n - 1].Max, 0) << n;
    }
    for (std::size_t f = 0; f < FontNames.size(); ++f) EXPECT_EQ(FontNames[f][0], static_cast<char>('0' + f));
}

TEST_F(ModelConfigTest, MissingFileGivesDefaultsAndTheMarkedCatalogue) {
    EXPECT_TRUE(info.LoadModelConfig());
    EXPECT_EQ(info.maxCountDepat, 4);
    EXPECT_EQ(info.maxCountFont, 4);  // the file default differs from the initial 8
    EXPECT_EQ(info.maxCountGoods, 100);
    const TOptionsInfo& o9 = info.Options[8];
    EXPECT_EQ(o9.Min, 1);
    EXPECT_EQ(o9.Max, 4);
    EXPECT_EQ(o9.Def, 3);
    EXPECT_EQ(o9.Caption, Marked("Системный шрифт"));
    EXPECT_EQ(info.Options[59].Caption, Marked(""));
    EXPECT_EQ(info.Options[59].Max, 0);
    EXPECT_TRUE(info.Options[33].LeadingZero);
    EXPECT_NE(info.GetOptionCaption(1).find("def:"), std::string::npos);
}

TEST_F(ModelConfigTest, PathIsVersionAndSuffixInEcrCfgInAnyLetterCase) {
    EXPECT_EQ(info.ModelConfigPath(), dir_ + "/ECR_CFG/ver099_000000.ini");
    // As copied from a Windows machine.
    std::ofstream(dir_ + "/ECR_CFG/VER099_000000.INI", std::ios::binary) << "[max]\r\nmaxCountDepat=12\r\n";
    EXPECT_EQ(info.ModelConfigPath(), dir_ + "/ECR_CFG/VER099_000000.INI");
    EXPECT_TRUE(info.LoadModelConfig());
    EXPECT_EQ(info.maxCountDepat, 12);
}

TEST_F(ModelConfigTest, ReadsCountsAndDescriptionsFromACodePage1251File) {
    WriteModelFile(
        "[MAX]\r\nmaxCountDepat=16\r\nmaxCountFont=6\r\nmaxCountGoods=500\r\n"
        "[opions]\r\nop1=0,3,0,'Журнал, при закрытии смены'\r\nop2=1,300,7,'Диапазон больше байта'\r\n"
        "op64=2,5,9,'Def вне диапазона'\r\n");
    EXPECT_TRUE(info.LoadModelConfig());
    EXPECT_EQ(info.GetMaxCountDepat(), 16);
    EXPECT_EQ(info.GetFontCount(), 7);
    EXPECT_EQ(info.GetMaxCountGoods(), 500);
    EXPECT_EQ(info.GetOptionCaption(1), "Журнал, при закрытии смены");
    EXPECT_EQ(info.GetOptionRange(2), std::make_pair(std::uint8_t{1}, std::uint8_t{44}));
    EXPECT_EQ(info.Options[63].Def, 9);  // stored as given
    EXPECT_EQ(info.GetOptionCaption(3), Marked("Количество строк дополнительного прогона бумаги между чеками"));
}

TEST_F(ModelConfigTest, DescriptionTokensAndQuotes) {
    EXPECT_TRUE(info.ParseOptionDescr(8, "1,4,3,'Шрифт, системный'"));
    EXPECT_EQ(info.Options[8].Min, 1);
    EXPECT_EQ(info.Options[8].Max, 4);
    EXPECT_EQ(info.Options[8].Def, 3);
    EXPECT_EQ(info.Options[8].Caption, "Шрифт, системный");

    EXPECT_TRUE(info.ParseOptionDescr(8, "2,7,5,'Шрифт, системный"));  // no closing quote
    EXPECT_EQ(info.Options[8].Caption, Marked("Системный шрифт"));
    EXPECT_EQ(info.Options[8].Min, 1);
    EXPECT_EQ(info.Options[8].Def, 3);

    EXPECT_TRUE(info.ParseOptionDescr(0, " 05 , 99 ,10,'  с нулём  '"));
    EXPECT_EQ(info.Options[0].Min, 5);
    EXPECT_TRUE(info.Options[0].LeadingZero);
    EXPECT_EQ(info.Options[0].Max, 99);
    EXPECT_EQ(info.Options[0].Caption, "с нулём");

    EXPECT_TRUE(info.ParseOptionDescr(0, "0,1,0,'x'"));
    EXPECT_EQ(info.Options[0].Min, 0);
    EXPECT_TRUE(info.Options[0].LeadingZero);

    EXPECT_TRUE(info.ParseOptionDescr(0, "x5,-1,3a,'y'"));
    EXPECT_EQ(info.Options[0].Min, 0);
    EXPECT_FALSE(info.Options[0].LeadingZero);
    EXPECT_EQ(info.Options[0].Max, 0);
    EXPECT_EQ(info.Options[0].Def, 0);
    EXPECT_EQ(info.Options[0].Caption, "y");

    EXPECT_TRUE(info.ParseOptionDescr(1, "'только текст'"));  // no commas: numbers are 0
    EXPECT_EQ(info.Options[1].Max, 0);
    EXPECT_EQ(info.Options[1].Caption, "только текст");

    EXPECT_TRUE(info.ParseOptionDescr(1, "1,2,3,''"));  // empty caption: catalogue row
    EXPECT_EQ(info.Options[1].Max, 16);
    EXPECT_FALSE(info.ParseOptionDescr(64, "1,2,3,'x'"));
}

TEST_F(ModelConfigTest, NumberBeyond32BitsStopsReadingAtThatOption) {
    // Earlier state that must survive for the options after the bad one.
    info.Options[4].Caption = "прежнее описание";
    info.Options[2].Max = 77;
    WriteModelFile(
        "[max]\r\nmaxCountDepat=12\r\n[opions]\r\nop1=0,3,0,'первая'\r\nop3=1,99999999999,0,'плохая'\r\n"
        "op5=0,1,0,'не будет прочитана'\r\n");
    EXPECT_FALSE(info.LoadModelConfig());
    EXPECT_EQ(info.maxCountDepat, 12);
    EXPECT_EQ(info.Options[0].Caption, "первая");
    EXPECT_EQ(info.Options[2].Min, 1);   // parsed before the bad token
    EXPECT_EQ(info.Options[2].Max, 77);  // kept
    EXPECT_EQ(info.Options[2].Caption, "");
    EXPECT_EQ(info.Options[4].Caption, "прежнее описание");
    EXPECT_EQ(info.Options[1].Caption, Marked("Номер секции по умолчанию, 0 – режим отключен"));

    EXPECT_FALSE(info.ParseOptionDescr(6, "2147483648,1,1,'x'"));
    EXPECT_TRUE(info.ParseOptionDescr(6, "2147483647,1,1,'x'"));
    EXPECT_EQ(info.Options[6].Min, 2147483647);
}

TEST(ShippedModelFiles, DefaultRegisterVersionHasItsOwnDescriptions) {
    SetDataDir("");  // the files the build puts beside the program
    TKKMInfo info;
    info.Version = "ver012";
    info.CfgSuffix = "000000";
    ASSERT_TRUE(FileExists(info.ModelConfigPath())) << info.ModelConfigPath();
    EXPECT_TRUE(info.LoadModelConfig());
    EXPECT_EQ(info.maxCountDepat, 8);
    EXPECT_EQ(info.maxCountFont, 8);
    EXPECT_EQ(info.maxCountGoods, 200);
    for (int n = 1; n <= 32; ++n) {
        const TOptionsInfo& o = info.Options[n - 1];
        const TDefaultOption& d = DefaultOptions[n - 1];
        EXPECT_EQ(o.Caption.find("def:"), std::string::npos) << n;
        EXPECT_LE(o.Min, o.Def) << n;
        EXPECT_LE(o.Def, o.Max) << n;
        EXPECT_GE(o.Min, d.Min) << n;
        EXPECT_LE(o.Max, d.Max) << n;
    }
    EXPECT_EQ(info.GetOptionCaption(9), "Системный шрифт");
}

TEST(ShippedModelFiles, SecondModelAllowsZeroBesidesTheRangeOfOption34) {
    SetDataDir("");  // the files the build puts beside the program
    TKKMInfo info;
    info.Version = "R1.025";
    info.CfgSuffix = "000000";
    ASSERT_TRUE(FileExists(info.ModelConfigPath())) << info.ModelConfigPath();
    EXPECT_TRUE(info.LoadModelConfig());
    EXPECT_EQ(info.maxCountDepat, 16);
    EXPECT_EQ(info.maxCountGoods, 1000);
    EXPECT_TRUE(info.Options[33].LeadingZero);
    EXPECT_EQ(info.Options[33].Min, 5);
    for (int n = 1; n <= 37; ++n) EXPECT_EQ(info.GetOptionCaption(n).find("def:"), std::string::npos) << n;
    EXPECT_NE(info.GetOptionCaption(38).find("def:"), std::string::npos);
}
