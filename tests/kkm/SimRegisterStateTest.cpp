// The simulated register's content: the default shop register, its sections
// of the state file, and writes that reach the file.
#include "CommandTestSupport.h"

#include "app/U_filedirwork.h"
#include "journal/U_magazineoperation.h"

#include <fstream>

using namespace kkmtest;
using nlohmann::json;

TEST(SimDefaultRegister, OptionsLieInsideTheModelFileRanges) {
    const TSimRegister reg = TSimRegister::Default();
    TKKMInfo model;
    model.Version = "ver012";
    model.CfgSuffix = "000000";
    ASSERT_TRUE(model.LoadModelConfig());
    ASSERT_EQ(reg.Options.size(), 32u);
    for (int n = 1; n <= 32; ++n) {
        const TOptionsInfo& o = model.Options[n - 1];
        ASSERT_EQ(o.Caption.find("def:"), std::string::npos) << "the model file describes option " << n;
        const int v = reg.Options[n - 1];
        EXPECT_TRUE((v >= o.Min && v <= o.Max) || (v == 0 && o.LeadingZero)) << "option " << n << " = " << v;
    }
}

TEST(SimDefaultRegister, HoldsTaxesLinesDepartmentsGoodsAndAJournal) {
    const TSimRegister reg = TSimRegister::Default();
    int defined = 0;
    for (const auto& t : reg.Taxes) defined += t.Defined;
    EXPECT_EQ(defined, 2);
    EXPECT_EQ(reg.Departments.size(), 8u);
    EXPECT_EQ(reg.Goods.size(), 20u);
    for (const auto& line : reg.Header) EXPECT_LE(Cp1251Length(line.Text), 32u);
    EXPECT_FALSE(reg.Header[0].Text.empty());
    EXPECT_FALSE(reg.Footer[0].Text.empty());
    // Every journal record is one the decoder knows, of its length.
    for (const auto& rec : reg.Journal) {
        const TAbstMagOper* oper = MagOperFor(rec[0]);
        ASSERT_NE(oper, nullptr) << std::hex << int(rec[0]);
        EXPECT_EQ(static_cast<int>(rec.size()), oper->RecordLength()) << std::hex << int(rec[0]);
    }
}

TEST(SimRegisterFile, RoundTripsThroughJson) {
    TSimState state;
    state.Register.GoodsStream = TSimGoodsStream::Slots;
    state.Register.Goods[9].Blocked = true;
    const json doc = state.ToJson();
    EXPECT_EQ(doc["goodsTable"]["stream"], "slots");
    EXPECT_EQ(doc["departments"][6]["kind"], "service");
    EXPECT_EQ(doc["departments"][6]["priceKopecks"], 15000);
    EXPECT_EQ(doc["journal"][0], "A3 01 01 00 00 00 20 00 00 00 90 45 00 00 00 01 01 00");
    TSimState back;
    std::string error;
    ASSERT_TRUE(back.FromJson(json::parse(doc.dump()), error)) << error;
    EXPECT_EQ(back.ToJson(), doc);
    EXPECT_TRUE(back.Register.Goods.at(9).Blocked);
    EXPECT_TRUE(back.Other.empty());
}

TEST(SimRegisterFile, AFieldThatDoesNotFitIsNamedAndNothingChanges) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"departments":[{"kind":"goods","name":"Очень длинное название отдела"}]})", "departments[0].name"},
        {R"({"departments":[{"kind":"open"}]})", "departments[0].kind"},
        {R"({"options":[1,2,300]})", "options[2]"},
        {R"({"taxes":[{"percent":120}]})", "taxes[0].percent"},
        {R"({"header":[{"font":1,"text":5}]})", "header[0].text"},
        {R"({"goodsTable":{"items":[{"code":1},{"code":1}]}})", "goodsTable.items[1].code"},
        {R"({"goodsTable":{"items":[{"code":2,"barcode":"12a"}]}})", "goodsTable.items[0].barcode"},
        {R"({"goodsTable":{"stream":"all"}})", "goodsTable.stream"},
        {R"({"journal":["A3 0"]})", "journal[0]"},
    };
    for (const auto& [text, field] : cases) {
        TSimState state;
        state.Identity.Model = "kept";
        std::string error;
        EXPECT_FALSE(state.FromJson(json::parse(text), error)) << text;
        EXPECT_EQ(error.rfind(field, 0), 0u) << error;
        EXPECT_EQ(state.Identity.Model, "kept");
        EXPECT_EQ(state.Register.Departments.size(), 8u);
    }
}

TEST(SimRegisterFile, WritesOverTheLinkReachTheStateFile) {
    linktest::TTempDir dir;
    TSimOptions options;
    options.Speed = 0;
    options.StateFile = dir.Path + "/register.json";
    {
        std::ofstream(options.StateFile) << R"({"identity":{"mode":2},"journal":["CC 01 00"]})";
    }
    TRegisterSimulator sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    TComPort port;
    port.SetDevicePath(sim.DevicePath());
    TKKM kkm;
    kkm.Port = &port;
    TProtocolKKM link(&kkm);
    ASSERT_TRUE(link.GetDepatment(8));
    TDepRec& d = kkm.Info->Deps[7];
    d.Kind = 0xA2;
    d.Name = "Ремонт";
    d.NG = "B";
    d.Price = 250;
    ASSERT_TRUE(link.SetDepatment(8));
    ASSERT_TRUE(link.GetTOBAP(1));
    kkm.Info->GoodsPrice.FromStr("4990");
    ASSERT_TRUE(link.SetTOBAP());
    port.Close();
    ASSERT_TRUE(sim.Stop()) << sim.StopError();

    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(options.StateFile, bytes));
    const json doc = json::parse(bytes);
    EXPECT_EQ(doc["departments"][7], json::parse(R"({"kind":"service","name":"Ремонт","taxGroup":2,"priceKopecks":25000})"));
    EXPECT_EQ(doc["goodsTable"]["items"][0]["priceKopecks"], 4990);
    EXPECT_EQ(doc["journal"], json::parse(R"(["CC 01 00"])"));  // sections from the file stay
    EXPECT_EQ(doc["identity"]["mode"], 2);
}
