// Identity, clock, options and taxes: the commands against the simulator,
// with answers shaped by hand for the edge cases.
#include "CommandTestSupport.h"

using namespace kkmtest;

namespace {

constexpr std::uint8_t Disc = 0xC0;

Bytes IdentityAnswer(const std::string& model, const Bytes& serial, const Bytes& version, std::uint8_t mode) {
    return Cat({{0x01, 0x01, 0x00}, Field(model, 16), serial, version, {mode}});
}

}  // namespace

TEST(VersionNormalisation, FinalDigitsArePaddedToThree) {
    EXPECT_EQ(NormalizeVersion("ver 7"), "ver 007");
    EXPECT_EQ(NormalizeVersion("R1.25"), "R1.025");
    EXPECT_EQ(NormalizeVersion("abc"), "abc000");
    EXPECT_EQ(NormalizeVersion(""), "000");
    EXPECT_EQ(NormalizeVersion("1.2.345"), "1.2.345");
    EXPECT_EQ(NormalizeVersion("ver012"), "ver012");
    EXPECT_EQ(NormalizeVersion("v12345"), "v12345");
}

TEST(GetKKMInfo, StoresTheIdentityAndLoadsTheModelFile) {
    TLogCapture log;
    TCommandRig rig;
    ASSERT_TRUE(rig.Link.GetKKMInfo());
    const TKKMInfo& info = *rig.Kkm.Info;
    EXPECT_EQ(info.Model, "ЗЕВРИН-101Ф");
    EXPECT_EQ(info.SerialNumber, "001234567890");
    EXPECT_EQ(info.Version, "ver012");
    EXPECT_EQ(info.CfgSuffix, "000000");
    EXPECT_EQ(info.Mode, 1);
    // ECR_CFG/ver012_000000.ini beside the program.
    EXPECT_EQ(info.maxCountDepat, 8);
    EXPECT_EQ(info.maxCountGoods, 200);
    EXPECT_EQ(info.GetOptionCaption(30), "Сетевой номер кассы");
    EXPECT_EQ(rig.LastRequest(), (Bytes{0x01, 0x01}));
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(Disc), 1);
    EXPECT_TRUE(log.Has("получаем инфо. о ККМ"));
}

TEST(GetKKMInfo, TrimsTheModelKeepsAFullSerialAndNormalisesTheVersion) {
    TCommandRig rig;
    Bytes serial = Field("ABCDEFGHIJKL", 12);  // all 12, no 0x00
    rig.Answer(IdentityAnswer("  КАССА-5  ", serial, Field("ver 7", 12), 2));
    ASSERT_TRUE(rig.Link.GetKKMInfo());
    const TKKMInfo& info = *rig.Kkm.Info;
    EXPECT_EQ(info.Model, "КАССА-5");
    EXPECT_EQ(info.SerialNumber, "ABCDEFGHIJKL");
    EXPECT_EQ(info.Version, "ver 007");
    EXPECT_EQ(info.Mode, 2);
    const std::string path = info.ModelConfigPath();
    EXPECT_EQ(path.substr(path.size() - 26), "ECR_CFG/ver 007_000000.ini");
    // No model file: the catalogue stands in, marked.
    EXPECT_NE(info.GetOptionCaption(1).find("def:"), std::string::npos);

    rig.Answer(IdentityAnswer("X", serial, Field("R1.25", 12), 0));
    ASSERT_TRUE(rig.Link.GetKKMInfo());
    EXPECT_EQ(rig.Kkm.Info->Version, "R1.025");
}

TEST(GetKKMInfo, ARefusalStoresNothingAndSendsNoDisc) {
    TLogCapture log;
    TCommandRig rig;
    rig.Answer({0x01, 0x01, 0x03});
    EXPECT_FALSE(rig.Link.GetKKMInfo());
    EXPECT_FALSE(rig.Kkm.Info);
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(Disc), 0);
    EXPECT_TRUE(log.Has("Error:Неверный формат команды или данных"));
}

TEST(GetDateTime, ShowsTheBytesAsHexadecimalDateAndTime) {
    TCommandRig rig;
    rig.Answer({0x01, 0x02, 0x00, 0x08, 0x12, 0x26, 0x13, 0x04, 0x01});
    ASSERT_TRUE(rig.Link.GetDateTime());
    EXPECT_EQ(rig.Kkm.Info->DateText, "08.12.26");
    EXPECT_EQ(rig.Kkm.Info->TimeText, "13:04:01");

    // The simulator's own clock.
    ASSERT_TRUE(rig.Link.GetDateTime());
    EXPECT_EQ(rig.Kkm.Info->DateText.size(), 8u);
    EXPECT_EQ(rig.Kkm.Info->TimeText[2], ':');
}

TEST(GetDateTime, AShortOrRefusedAnswerStoresNothingAfterTheDisc) {
    TLogCapture log;
    TCommandRig rig;
    rig.Info().DateText = "kept";
    rig.Answer({0x01, 0x02, 0x00, 0x08, 0x12, 0x26, 0x13, 0x04});
    EXPECT_FALSE(rig.Link.GetDateTime());
    rig.Answer({0x01, 0x02, 0x09, 0x08, 0x12, 0x26, 0x13, 0x04, 0x01});
    EXPECT_FALSE(rig.Link.GetDateTime());
    EXPECT_EQ(rig.Kkm.Info->DateText, "kept");
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(Disc), 2);
    EXPECT_TRUE(log.Has("Error:Не верный размер полученых данных"));
    EXPECT_TRUE(log.Has("Error:Товар/услуга не найдены"));
}

TEST(GetOptions, TheAnswerLengthGivesTheCount) {
    TLogCapture log;
    TCommandRig rig;
    ASSERT_TRUE(rig.Link.GetOptions());
    const auto state = rig.State();
    ASSERT_EQ(rig.Kkm.Info->OptionCount, 32);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(rig.Kkm.Info->OptionValues[i], state.Register.Options[i]) << i;

    Bytes answer{0x01, 0x09, 0x00};
    for (int i = 0; i < 64; ++i) answer.push_back(static_cast<std::uint8_t>(i + 1));
    rig.Answer(answer);  // 67 bytes
    ASSERT_TRUE(rig.Link.GetOptions());
    EXPECT_EQ(rig.Kkm.Info->OptionCount, 64);
    EXPECT_EQ(rig.Kkm.Info->OptionValues[63], 64);

    answer.push_back(65);  // 68 bytes: 65 options is more than a register has
    rig.Answer(answer);
    EXPECT_FALSE(rig.Link.GetOptions());
    EXPECT_EQ(rig.Kkm.Info->OptionCount, 32);
    EXPECT_TRUE(log.Has("ККМ вернула 65"));
}

TEST(GetOptions, ARefusalIsAFailureNotARegisterWithoutOptions) {
    TLogCapture log;
    TCommandRig rig;
    rig.Info().OptionCount = 32;
    rig.Answer({0x01, 0x09, 0x01});
    EXPECT_FALSE(rig.Link.GetOptions());
    EXPECT_EQ(rig.Kkm.Info->OptionCount, 32);
    EXPECT_TRUE(log.Has("Error:Команда не определена"));
}

TEST(SetOptions, WritesTheValuesAndTheRegisterKeepsThem) {
    TCommandRig rig;
    ASSERT_TRUE(rig.Link.GetOptions());
    rig.Kkm.Info->OptionValues[2] = 7;
    ASSERT_TRUE(rig.Link.SetOptions());
    const Bytes sent = rig.LastRequest();
    ASSERT_EQ(sent.size(), 34u);
    EXPECT_EQ(sent[0], 0x01);
    EXPECT_EQ(sent[1], 0x0A);
    EXPECT_EQ(sent[4], 7);
    EXPECT_EQ(rig.State().Register.Options[2], 7);
    rig.Kkm.Info->OptionValues[2] = 0;
    ASSERT_TRUE(rig.Link.GetOptions());
    EXPECT_EQ(rig.Kkm.Info->OptionValues[2], 7);
}

TEST(SetOptions, WithoutAnImageNothingIsSent) {
    TLogCapture log;
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.SetOptions());
    EXPECT_TRUE(rig.NothingSent());
    EXPECT_FALSE(log.Has("записываем опции в ККМ"));
}

TEST(SetOptions, NoOptionsSendsTheTwoCommandBytesAndTheRegisterRefuses) {
    TLogCapture log;
    TCommandRig rig;
    rig.Info().OptionCount = 0;
    EXPECT_FALSE(rig.Link.SetOptions());
    EXPECT_EQ(rig.LastRequest(), (Bytes{0x01, 0x0A}));
    EXPECT_TRUE(log.Has("Error:Неверный формат команды или данных"));
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(Disc), 0);  // a writing command sends DISC only after a good answer
    EXPECT_EQ(rig.State().Register.Options.size(), 32u);
}

TEST(GetTax, ReadsTheDefinedTaxesOfTheRegister) {
    TCommandRig rig;
    for (int n = 1; n <= 5; ++n) ASSERT_TRUE(rig.Link.GetTax(n)) << n;
    EXPECT_EQ(rig.Taken()[0], (Bytes{0x01, 0x0D, 0x01}));
    const auto& taxes = rig.Kkm.Info->Taxes;
    EXPECT_EQ(taxes[0].Defined, 0xAA);
    EXPECT_DOUBLE_EQ(taxes[0].Percent, 18.0);
    EXPECT_EQ(taxes[0].Name, "НДС 18%");
    EXPECT_DOUBLE_EQ(taxes[1].Percent, 10.0);
    EXPECT_EQ(taxes[2].Defined, 0);
}

TEST(GetTax, AnUndefinedTaxStoresOnlyItsMarkAndRatesAreHundredths) {
    TCommandRig rig;
    TTaxRec& tax = rig.Info().Taxes[2];
    tax = {0xAA, 4, "old", 5.0};
    rig.Answer(Cat({{0x01, 0x0D, 0x00, 0x00, 0x07, 0x50, 0x12}, Field("new", 12)}));
    ASSERT_TRUE(rig.Link.GetTax(3));
    EXPECT_EQ(tax.Defined, 0);
    EXPECT_EQ(tax.Type, 4);
    EXPECT_EQ(tax.Name, "old");

    rig.Answer(Cat({{0x01, 0x0D, 0x00, 0xAA, 0x02, 0x50, 0x12}, Field("НДС", 12)}));
    ASSERT_TRUE(rig.Link.GetTax(3));
    EXPECT_DOUBLE_EQ(tax.Percent, 12.5);
    EXPECT_EQ(tax.Type, 2);
    EXPECT_EQ(tax.Name, "НДС");
    rig.Answer(Cat({{0x01, 0x0D, 0x00, 0xAA, 0x02, 0x07, 0x18}, Field("", 12)}));
    ASSERT_TRUE(rig.Link.GetTax(3));
    EXPECT_DOUBLE_EQ(tax.Percent, 18.07);
}

TEST(GetTax, ANumberOutsideOneToFiveSendsNothing) {
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.GetTax(0));
    EXPECT_FALSE(rig.Link.GetTax(6));
    EXPECT_TRUE(rig.NothingSent());
}

TEST(SimulatorCommands, AnUnknownCommandAnswersResultCodeOne) {
    TCommandRig rig;
    TKKMPacket request = linktest::Request({0x01, 0x0E}), answer;
    ASSERT_TRUE(rig.Link.Exchange(request, answer, true));
    ASSERT_EQ(answer.Length, 3);
    EXPECT_EQ(answer.Data[2], 1);
}
