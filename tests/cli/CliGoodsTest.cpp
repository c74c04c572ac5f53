// vornik-cli goods read-all and goods write-all against the simulator: the
// goods exchange file it writes, the register's state after a write, the
// off-line rule, the capacity, refused rows and bad files.
#include "CliRunner.h"
#include "TestFiles.h"

#include "goods/GoodsExchange.h"
#include "profiles/DbfTable.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace clitest;

namespace {

void SetMode(TRegisterSimulator& sim, std::uint8_t mode, const std::string& version = "") {
    TSimState s = sim.State();
    s.Identity.Mode = mode;
    if (!version.empty()) s.Identity.Version = version;
    sim.SetState(s);
}

struct TRow {
    int Code;
    int Type;
    std::string Name;
    std::string Price;
    std::string Shtrih = "";
    bool Block = false;
};

// A goods exchange file with these rows.
std::string GoodsFile(const std::string& path, const std::vector<TRow>& rows) {
    TDbfTable f;
    EXPECT_TRUE(f.CreateReplacing(path, GoodsFileFields())) << f.LastError();
    for (const auto& r : rows) {
        f.Append();
        f.SetInteger("CODE", r.Code);
        f.SetInteger("TYPE", r.Type);
        f.SetText("NAME", r.Name);
        f.SetInteger("NG", 1);
        f.SetText("PRICE", r.Price);
        f.SetInteger("SECTION", 3);
        f.SetInteger("VESOVOY", 1);
        f.SetText("SHTRIH", r.Shtrih);
        f.SetBool("ISBLOCK", r.Block);
        f.SetText("COUNT", "1,5");
    }
    EXPECT_TRUE(f.Close()) << f.LastError();
    return path;
}

// The requests of one register command the simulator received.
int Requests(const TRegisterSimulator& sim, std::uint8_t command) {
    int n = 0;
    for (const auto& r : sim.History())
        n += r.Incoming && r.Block && r.Bytes.size() > 2 && r.Bytes[1] == 0x01 && r.Bytes[2] == command;
    return n;
}

int SetTobapRequests(const TRegisterSimulator& sim) { return Requests(sim, 0x11); }

}  // namespace

TEST(CliGoods, ReadAllWritesTheRegistersGoodsToAnExchangeFile) {
    TCliRig rig;
    const std::string path = rig.Dir + "/goods.dbf";
    const TRun run = rig.Run({"goods", "read-all", "--out", path});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "read 20 goods records from the register 001234567890 into " + path + "\n");
    EXPECT_EQ(run.Err, "") << "no bar when standard error is not a terminal";

    TDbfTable f;
    ASSERT_TRUE(f.OpenExisting(path)) << f.LastError();
    EXPECT_EQ(f.Count(), 20);
    ASSERT_TRUE(f.First());
    EXPECT_EQ(f.GetInteger("CODE"), 1);
    EXPECT_EQ(f.GetInteger("TYPE"), 170);
    EXPECT_EQ(f.GetText("NAME"), "Хлеб белый нарезной");
    const std::string price = f.GetText("PRICE");
    EXPECT_TRUE(price == "45,9" || price == "45.9") << price;
    EXPECT_EQ(f.GetText("SHTRIH"), "4607001234560");
    EXPECT_EQ(f.GetBool("ISBLOCK"), false);
    std::vector<long long> codes;
    for (f.First(); !f.Eof(); f.Next()) codes.push_back(*f.GetInteger("CODE"));
    EXPECT_EQ(codes, (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 25, 42, 150}));

    // The read asks the identity (capacity, serial number), not the clock or the options.
    EXPECT_EQ(Requests(rig.Sim, 0x01), 1);
    EXPECT_EQ(Requests(rig.Sim, 0x02), 0);
    EXPECT_EQ(Requests(rig.Sim, 0x09), 0);
    EXPECT_EQ(Requests(rig.Sim, 0x10), 1);

    const TRun json = rig.Run({"--json", "goods", "read-all", "--out=" + rig.Dir + "/second.dbf"});
    ASSERT_EQ(json.Status, 0) << json.Err;
    const auto doc = nlohmann::json::parse(json.Out);
    EXPECT_EQ(doc["records"], 20);
    EXPECT_EQ(doc["serialNumber"], "001234567890");
}

TEST(CliGoods, ReadAllDrawsABarOnATerminal) {
    TCliRig rig;
    const std::string path = rig.Dir + "/goods.dbf";
    const std::string cmd = "cd " + rig.Dir + " && script -qec '" + CliPath() + " --port 7 goods read-all --out " + path +
                            "' /dev/null > " + rig.Dir + "/tty.txt 2>&1";
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is missing";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream in(rig.Dir + "/tty.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string tty = ss.str();
    EXPECT_NE(tty.find("\rgoods [#"), std::string::npos) << tty;
    EXPECT_NE(tty.find("] 20/200"), std::string::npos) << tty;
    EXPECT_NE(tty.find("read 20 goods records"), std::string::npos) << tty;
}

TEST(CliGoods, ReadAllNeedsItsFileAndOtherCommandsTakeNoOut) {
    TCliRig rig;
    const TRun missing = rig.Run({"goods", "read-all"});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_NE(missing.Err.find("--out FILE.dbf"), std::string::npos) << missing.Err;
    const TRun other = rig.Run({"goods", "get", "5", "--out", rig.Dir + "/x.dbf"});
    EXPECT_EQ(other.Status, 2);
    EXPECT_NE(other.Err.find("goods get takes no --out"), std::string::npos) << other.Err;
    const TRun unwritable = rig.Run({"goods", "read-all", "--out", rig.Dir + "/no/such/folder.dbf"});
    EXPECT_EQ(unwritable.Status, 2);
    EXPECT_NE(unwritable.Err.find("cannot write " + rig.Dir + "/no/such/folder.dbf"), std::string::npos) << unwritable.Err;
}

TEST(CliGoods, WriteAllPutsTheFilesRowsIntoTheRegister) {
    TCliRig rig;
    SetMode(rig.Sim, 2);
    const std::string path = GoodsFile(rig.Dir + "/in.dbf", {{5, 170, "Молоко", "12,5", "4607001234607"},
                                                             {42, 165, "Доставка", "150", "999", true},
                                                             {7, 0, "", ""},
                                                             {300, 160, "Ящик", "0.5"}});
    const TRun run = rig.Run({"goods", "write-all", path});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "wrote 4 goods records from " + path + " to the register 001234567890, read back and confirmed\n");
    const auto goods = rig.Sim.State().Register.Goods;
    EXPECT_EQ(goods.at(5).Name, "Молоко");
    EXPECT_EQ(goods.at(5).Price, 1250);
    EXPECT_EQ(goods.at(5).Sold, 44000);  // the register keeps its sold quantity
    EXPECT_EQ(goods.at(42).Type, 0xA5);
    EXPECT_TRUE(goods.at(42).Blocked);
    EXPECT_EQ(goods.at(42).Barcode, "");
    EXPECT_FALSE(goods.count(7));  // a row of type 0 clears the record
    EXPECT_EQ(goods.at(300).Price, 50);
    EXPECT_EQ(goods.size(), 20u);
    EXPECT_EQ(SetTobapRequests(rig.Sim), 4);
}

TEST(CliGoods, ReadAllThenWriteAllGivesTheSameRegister) {
    TCliRig rig;
    for (const char* name : {"goods.dbf", "goods.CSV"}) {
        SCOPED_TRACE(name);
        const std::string path = rig.Dir + "/" + name;
        ASSERT_EQ(rig.Run({"goods", "read-all", "--out", path}).Status, 0);
        EXPECT_EQ(ReadBytes(path).substr(0, 7) == "\xEF\xBB\xBF" "CODE", name[6] == 'C');  // CSV by the extension
        const auto before = rig.Sim.State().Register.Goods;
        SetMode(rig.Sim, 2);
        const TRun run = rig.Run({"goods", "write-all", path});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const auto after = rig.Sim.State().Register.Goods;
        ASSERT_EQ(after.size(), before.size());
        for (const auto& [code, g] : before) {
            SCOPED_TRACE(code);
            const auto& h = after.at(code);
            EXPECT_EQ(h.Name, g.Name);
            EXPECT_EQ(h.Price, g.Price);
            EXPECT_EQ(h.Type, g.Type);
            EXPECT_EQ(h.Blocked, g.Blocked);
            EXPECT_EQ(h.Barcode, g.Barcode);
            EXPECT_EQ(h.Sold, g.Sold);
            if (g.Type == 0xAA) {
                EXPECT_EQ(h.Piece, g.Piece);
            }
        }
    }
}

TEST(CliGoods, WriteAllOnlyOffLine) {
    TCliRig rig;
    const std::string path = GoodsFile(rig.Dir + "/in.dbf", {{5, 170, "Молоко", "12,5"}});
    const TRun run = rig.Run({"goods", "write-all", path});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("Запись возможна только в OFF-LINE режиме"), std::string::npos) << run.Err;
    EXPECT_EQ(SetTobapRequests(rig.Sim), 0);
    EXPECT_EQ(rig.Sim.State().Register.Goods.at(5).Name, "Молоко 3,2% 1 л");
}

TEST(CliGoods, WriteAllRefusesRowsPastTheCapacityAndSendsNothingTwice) {
    TCliRig rig;
    SetMode(rig.Sim, 2, "ver999");  // no model file: 100 goods
    std::vector<TRow> rows;
    for (int i = 1; i <= 103; ++i) rows.push_back({1000 + i, 170, "т" + std::to_string(i), std::to_string(i)});
    const std::string path = GoodsFile(rig.Dir + "/many.dbf", rows);
    const TRun run = rig.Run({"goods", "write-all", path});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("3 goods rows lie past the model's capacity of 100; nothing written"), std::string::npos)
        << run.Err;
    EXPECT_EQ(SetTobapRequests(rig.Sim), 0);
    EXPECT_FALSE(rig.Sim.State().Register.Goods.count(1001));

    // Within the capacity it is written; the same file again sends nothing.
    rows.resize(100);
    const std::string fits = GoodsFile(rig.Dir + "/fits.dbf", rows);
    ASSERT_EQ(rig.Run({"goods", "write-all", fits}).Status, 0);
    EXPECT_TRUE(rig.Sim.State().Register.Goods.count(1100));
    rig.Sim.ClearHistory();
    const TRun again = rig.Run({"--json", "goods", "write-all", fits});
    ASSERT_EQ(again.Status, 0) << again.Err;
    EXPECT_EQ(nlohmann::json::parse(again.Out)["changed"], false) << again.Out;
    EXPECT_EQ(SetTobapRequests(rig.Sim), 0);
}

TEST(CliGoods, RowsTheRegisterCannotTakeAndBadFiles) {
    TCliRig rig;
    SetMode(rig.Sim, 2);
    const std::string refused = GoodsFile(rig.Dir + "/refused.dbf", {{60, 170, "первый", "1"}, {61, 170, "дробный", "12,505"},
                                                                     {62, 170, "третий", "3"}});
    const TRun run = rig.Run({"goods", "write-all", refused});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("Товар с кодом 61 не записан: поле \"Цена\" \"12.505\" не целое число копеек"), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("В ККМ ничего не записано"), std::string::npos) << run.Err;
    EXPECT_EQ(SetTobapRequests(rig.Sim), 0);  // every row is checked before the first is sent
    // Values the record would carry cut, and a code given twice.
    const std::vector<std::pair<std::vector<TRow>, std::string>> cut = {
        {{{80, 170, "a", "1"}, {81, 99, "b", "1"}}, "Товар с кодом 81 не записан: поле \"Тип\" \"99\""},
        {{{83, 170, "a", "1"}, {84, 170, "b", "1"}, {83, 165, "c", "2"}},
         "Товар с кодом 83 не записан: код повторяется в строках 1 и 3"}};
    for (const auto& [rows, said] : cut) {
        const TRun r = rig.Run({"--json", "goods", "write-all", GoodsFile(rig.Dir + "/cut.dbf", rows)});
        EXPECT_EQ(r.Status, 2) << said;
        EXPECT_NE(r.Err.find(said), std::string::npos) << r.Err;
        EXPECT_EQ(nlohmann::json::parse(r.Out)["error"]["kind"], "bad-input") << r.Out;
    }
    EXPECT_EQ(SetTobapRequests(rig.Sim), 0);

    rig.Sim.ClearHistory();
    const std::string bad = GoodsFile(rig.Dir + "/bad.dbf", {{70, 170, "x", "дорого"}});
    const TRun badRun = rig.Run({"goods", "write-all", bad});
    EXPECT_EQ(badRun.Status, 2);
    EXPECT_NE(badRun.Err.find("Запись 1 файла " + bad + ": поле PRICE \"дорого\" не число"), std::string::npos) << badRun.Err;
    const TRun missing = rig.Run({"goods", "write-all", rig.Dir + "/none.dbf"});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_NE(missing.Err.find("cannot read " + rig.Dir + "/none.dbf"), std::string::npos) << missing.Err;
    EXPECT_TRUE(rig.Sim.History().empty()) << "a bad file never reaches the register";
}
