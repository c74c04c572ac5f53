// Receipt header and footer lines, departments: request bytes, storing rules
// and the simulator's answers.
#include "CommandTestSupport.h"

#include "lang/U_language.h"

using namespace kkmtest;

namespace {

constexpr std::uint8_t Disc = 0xC0;

Bytes LineAnswer(std::uint8_t code, std::uint8_t line, std::uint8_t font, const std::string& text) {
    return Cat({{0x01, code, 0x00, line, font}, Field(text, 32)});
}

Bytes DepAnswer(std::uint8_t n, std::uint8_t kind, const std::string& name, std::uint8_t tax, const Bytes& price) {
    return Cat({{0x01, 0x07, 0x00, n, kind}, Field(name, 22), {0, 0, 0, tax}, price});
}

Bytes PriceBytes(const Bytes& request) { return Bytes(request.begin() + 30, request.begin() + 35); }

}  // namespace

TEST(GetTitle, OnlyTheFirstLineSetsTheFont) {
    TCommandRig rig;
    rig.Info().TitleFont = 5;
    rig.Answer(LineAnswer(0x03, 1, 7, "Вторая строка"));
    ASSERT_TRUE(rig.Link.GetTitle(2));
    EXPECT_EQ(rig.Kkm.Info->TitleFont, 5);
    EXPECT_EQ(rig.Kkm.Info->Title[1], "Вторая строка");

    ASSERT_TRUE(rig.Link.GetTitle(1));  // the simulator's header line 1
    EXPECT_EQ(rig.LastRequest(), (Bytes{0x01, 0x03, 0x00}));
    EXPECT_EQ(rig.Kkm.Info->TitleFont, 3);
    EXPECT_EQ(rig.Kkm.Info->Title[0], "   ООО \"ЗЕВРИН-ТОРГ\"");  // untrimmed
}

TEST(GetFooter, ReadsTheSixLinesAndTheFontOfTheFirst) {
    TLogCapture log;
    TCommandRig rig;
    for (int n = 1; n <= 6; ++n) ASSERT_TRUE(rig.Link.GetFooter(n)) << n;
    EXPECT_EQ(rig.Taken()[5], (Bytes{0x01, 0x05, 0x05}));
    EXPECT_EQ(rig.Kkm.Info->FooterFont, 1);
    EXPECT_EQ(rig.Kkm.Info->Footer[0], "    Спасибо за покупку!");
    EXPECT_EQ(rig.Kkm.Info->Footer[5], "");
    EXPECT_TRUE(log.Has("получаем окончания чека из ККМ"));
    EXPECT_FALSE(rig.Link.GetFooter(7));
    EXPECT_FALSE(rig.Link.GetTitle(0));
}

TEST(SetTitle, SendsTheFontAndTheFirst32PrintableCharacters) {
    TCommandRig rig;
    TKKMInfo& info = rig.Info();
    info.TitleFont = 4;
    // 40 characters with a tab: the first 32 are taken, the tab among them is
    // left out and the rest closes up.
    info.Title[2] = "Касса\tномер один 0123456789ABCDEFGHIJKLMNOPQ";
    ASSERT_TRUE(rig.Link.SetTitle(3));
    const Bytes sent = rig.LastRequest();
    ASSERT_EQ(sent.size(), 36u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0x01, 0x04, 0x02, 0x04}));
    EXPECT_EQ(Bytes(sent.begin() + 4, sent.end()), Field("Кассаномер один 0123456789ABCDE", 32));
    const auto state = rig.State();
    EXPECT_EQ(state.Register.Header[2].Text, "Кассаномер один 0123456789ABCDE");
    EXPECT_EQ(state.Register.Header[2].Font, 4);
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(Disc), 1);
}

TEST(SetTitle, OutOfRangeOrWithoutAnImageSendsNothing) {
    TLogCapture log;
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.SetTitle(1));  // no device image
    rig.Info();
    EXPECT_FALSE(rig.Link.SetTitle(7));
    EXPECT_FALSE(rig.Link.SetTitle(0));
    EXPECT_TRUE(rig.NothingSent());
    EXPECT_FALSE(log.Has("записываем заголовки чека в ККМ"));
}

TEST(SetFooter, ChecksTheLineBeforeTracingAndTheImageAfter) {
    TLogCapture log;
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.SetFooter(7));
    EXPECT_FALSE(log.Has("записываем окончание чека в ККМ"));
    EXPECT_FALSE(rig.Link.SetFooter(1));
    EXPECT_TRUE(log.Has("записываем окончание чека в ККМ"));
    EXPECT_TRUE(rig.NothingSent());
}

TEST(SetFooter, AWrittenFooterReadsBack) {
    TCommandRig rig;
    for (int n = 1; n <= 6; ++n) ASSERT_TRUE(rig.Link.GetFooter(n));
    TKKMInfo& info = *rig.Kkm.Info;
    info.FooterFont = 6;
    info.Footer[5] = "До свидания!";
    for (int n = 1; n <= 6; ++n) ASSERT_TRUE(rig.Link.SetFooter(n));
    info.Footer[5].clear();
    info.FooterFont = 0;
    for (int n = 1; n <= 6; ++n) ASSERT_TRUE(rig.Link.GetFooter(n));
    EXPECT_EQ(info.Footer[5], "До свидания!");
    EXPECT_EQ(info.FooterFont, 6);
    EXPECT_EQ(info.Footer[0], "    Спасибо за покупку!");
}

TEST(GetDepatment, AGoodsDepartmentStoresKindNameTaxGroupAndPrice) {
    TLogCapture log;
    TCommandRig rig;
    rig.Answer(DepAnswer(3, 0xA1, "Хлеб", 2, {0x50, 0x12, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(rig.Link.GetDepatment(3));
    const TDepRec& d = rig.Kkm.Info->Deps[2];
    EXPECT_EQ(d.Kind, 0xA1);
    EXPECT_EQ(d.Status, "Товар");
    EXPECT_EQ(d.Name, "Хлеб");
    EXPECT_EQ(d.NG, "B");
    EXPECT_DOUBLE_EQ(d.Price, 12.5);
    EXPECT_TRUE(log.Has("получаем отдел из ККМ"));

    rig.Answer(DepAnswer(4, 0xA2, "Ремонт", 0, {0x00, 0x00, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(rig.Link.GetDepatment(4));
    EXPECT_EQ(rig.Kkm.Info->Deps[3].Status, "Услуга");
    EXPECT_EQ(rig.Kkm.Info->Deps[3].NG, "@");  // the register's 0: no tax group
}

TEST(GetDepatment, AClosedDepartmentWritesBackAsClosedAndZeros) {
    TCommandRig rig;
    rig.Answer(DepAnswer(5, 0x00, "мусор", 3, {0x99, 0x99, 0, 0, 0}));
    ASSERT_TRUE(rig.Link.GetDepatment(5));
    const TDepRec& d = rig.Kkm.Info->Deps[4];
    EXPECT_EQ(d.Kind, 0xA3);
    EXPECT_EQ(d.Status, "Закрыто");
    EXPECT_EQ(d.Name, "");
    EXPECT_EQ(d.NG, "0");
    EXPECT_EQ(d.Price, 0);
    ASSERT_TRUE(rig.Link.SetDepatment(5));
    Bytes expected(35, 0);
    expected[0] = 0x01;
    expected[1] = 0x08;
    expected[2] = 5;
    expected[3] = 0xA3;
    EXPECT_EQ(rig.LastRequest(), expected);
    EXPECT_EQ(rig.State().Register.Departments[4].Kind, 0xA3);
}

TEST(GetDepatment, PriceBytesThatAreNotBcdFailWithAnErrorLine) {
    TLogCapture log;
    TCommandRig rig;
    rig.Info().Deps[1].Name = "kept";
    rig.Answer(DepAnswer(2, 0xA1, "Хлеб", 1, {0x5A, 0x12, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(rig.Link.GetDepatment(2));
    EXPECT_EQ(rig.Kkm.Info->Deps[1].Name, "kept");
    EXPECT_TRUE(log.Has("Error:Отдел 2: цена из ККМ не в двоично-десятичном виде (5A 12 00 00 00)"));
}

TEST(GetDepatment, NumbersOutsideOneToSixteenSendNothing) {
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.GetDepatment(0));
    EXPECT_FALSE(rig.Link.GetDepatment(17));
    rig.Info();
    EXPECT_FALSE(rig.Link.SetDepatment(17));
    EXPECT_FALSE(rig.Link.SetDepatment(0));
    EXPECT_TRUE(rig.NothingSent());
}

TEST(GetDepatment, TheRegisterRefusesADepartmentItDoesNotHave) {
    TLogCapture log;
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.GetDepatment(9));  // the default register has 8
    EXPECT_TRUE(log.Has("Error:Неверный формат команды или данных"));
    ASSERT_TRUE(rig.Link.GetDepatment(7));
    EXPECT_EQ(rig.Kkm.Info->Deps[6].Name, "Доставка");
    EXPECT_DOUBLE_EQ(rig.Kkm.Info->Deps[6].Price, 150.0);
}

TEST(SetDepatment, TaxGroupIsSentOnlyForATextFromAToE) {
    TCommandRig rig;
    TDepRec& d = rig.Info().Deps[0];
    d.Kind = 0xA1;
    d.Name = "Хлеб";
    const std::pair<const char*, int> cases[] = {{"F", 0}, {"a", 0}, {"C", 3}, {"@", 0}, {"E", 5}};
    for (const auto& [ng, byte] : cases) {
        d.NG = ng;
        ASSERT_TRUE(rig.Link.SetDepatment(1)) << ng;
        EXPECT_EQ(rig.LastRequest()[29], byte) << ng;
    }
}

TEST(SetDepatment, PriceIsSentAsKopecksInPackedDecimal) {
    TCommandRig rig;
    TDepRec& d = rig.Info().Deps[1];
    d.Kind = 0xA2;
    d.Status = "Товар";  // a stale display text: the kind code decides
    d.Name = "Ремонт обуви";
    d.NG = "B";
    d.Price = 12.5;
    ASSERT_TRUE(rig.Link.SetDepatment(2));
    const Bytes sent = rig.LastRequest();
    ASSERT_EQ(sent.size(), 35u);
    EXPECT_EQ(sent[3], 0xA2);
    EXPECT_EQ(Bytes(sent.begin() + 4, sent.begin() + 26), Field("Ремонт обуви", 22));
    EXPECT_EQ(PriceBytes(sent), (Bytes{0x50, 0x12, 0x00, 0x00, 0x00}));

    d.Price = 99999999.99;  // the largest price: ten digits
    ASSERT_TRUE(rig.Link.SetDepatment(2));
    EXPECT_EQ(PriceBytes(rig.LastRequest()), (Bytes{0x99, 0x99, 0x99, 0x99, 0x99}));

    // Read back through the register.
    d = {};
    ASSERT_TRUE(rig.Link.GetDepatment(2));
    EXPECT_EQ(d.Kind, 0xA2);
    EXPECT_EQ(d.Name, "Ремонт обуви");
    EXPECT_EQ(d.NG, "B");
    EXPECT_DOUBLE_EQ(d.Price, 99999999.99);
}

TEST(SetDepatment, APriceTheRegisterCannotHoldIsRefusedAndNothingSent) {
    TLogCapture log;
    TCommandRig rig;
    TDepRec& d = rig.Info().Deps[2];
    d.Kind = 0xA1;
    d.Name = "Хлеб";
    for (double price : {0.015, -1.0, 100000000.0}) {
        d.Price = price;
        EXPECT_FALSE(rig.Link.SetDepatment(3)) << price;
    }
    EXPECT_TRUE(rig.NothingSent());
    EXPECT_EQ(log.Count("Error:Отдел 3: цену нельзя записать в ККМ"), 3);
    EXPECT_EQ(rig.State().Register.Departments[2].Name, "Бакалея");
}

TEST(DepartmentPrice, DigitsOfWholeKopecks) {
    std::string digits;
    EXPECT_TRUE(DepPriceDigits(12.5, digits));
    EXPECT_EQ(digits, "1250");
    EXPECT_TRUE(DepPriceDigits(0.1, digits));  // 10.000000000000002 kopecks in binary
    EXPECT_EQ(digits, "10");
    EXPECT_TRUE(DepPriceDigits(0, digits));
    EXPECT_EQ(digits, "0");
    EXPECT_FALSE(DepPriceDigits(0.015, digits));
    EXPECT_FALSE(DepPriceDigits(-0.01, digits));
    EXPECT_FALSE(DepPriceDigits(1e300, digits));
}

TEST(DepartmentKind, LanguageTextsOnlyForDisplay) {
    EXPECT_EQ(DepKindText(0xA1), LangStr(45));
    EXPECT_EQ(DepKindText(0xA2), LangStr(46));
    EXPECT_EQ(DepKindText(0xA3), LangStr(47));
    EXPECT_EQ(DepKindText(0x00), LangStr(47));
}
