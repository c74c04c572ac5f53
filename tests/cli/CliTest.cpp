// vornik-cli end to end: the program against the simulator, its output, its
// exit status and what it leaves in the register.
#include "CliRunner.h"

#include "link/Comport.h"
#include "sim/SimLine.h"

#include <nlohmann/json.hpp>

using namespace clitest;
using nlohmann::json;

namespace {

const char* const kCommands[] = {"ports",       "info",         "options get",     "options set",
                                 "taxes",       "departments get", "departments set", "lines get",
                                 "lines set",   "goods get",       "search"};

std::vector<std::string> Words(const std::string& name, std::vector<std::string> more = {}) {
    std::vector<std::string> w;
    std::size_t from = 0;
    for (auto sp = name.find(' '); ; sp = name.find(' ', from)) {
        w.push_back(name.substr(from, sp == std::string::npos ? std::string::npos : sp - from));
        if (sp == std::string::npos) break;
        from = sp + 1;
    }
    w.insert(w.end(), more.begin(), more.end());
    return w;
}

}  // namespace

TEST(CliUsage, HelpListsEveryCommandAndEachCommandHasItsOwn) {
    const TRun all = RunCli({"--help"});
    EXPECT_EQ(all.Status, 0);
    for (const char* c : kCommands) {
        EXPECT_NE(all.Out.find("  " + std::string(c)), std::string::npos) << c;
        const TRun one = RunCli(Words(c, {"--help"}));
        EXPECT_EQ(one.Status, 0) << c;
        EXPECT_EQ(one.Out.rfind("Usage: vornik-cli [options] " + std::string(c), 0), 0u) << one.Out;
    }
    const TRun group = RunCli({"departments", "--help"});
    EXPECT_EQ(group.Status, 0);
    EXPECT_NE(group.Out.find("departments set FILE"), std::string::npos);
}

TEST(CliUsage, WrongCommandLinesEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"options"},
        {"info"},  // no register given
        {"--port", "0", "info"},
        {"--port", "7", "--speed", "12345", "info"},
        {"--net", "99", "--port", "7", "info"},
        {"--port", "7", "--colour", "info"},
        {"--port", "7", "info", "extra"},
        {"--port", "7", "goods", "get"},
        {"--port", "7", "goods", "get", "abc"},
        {"--port", "7", "goods", "get", "10000"},
        {"--port", "7", "options", "set", "3"},
        {"--port", "7", "options", "set", "65=1"},
        {"--port", "7", "options", "set", "3=1", "3=2"},
        {"--port", "7", "departments", "set", "/nonexistent/deps.txt"},
        {"--port", "7", "--all-nets", "info"},
        {"--port", "7", "--check", "profiles", "apply", "Магазин"},  // a write that cannot check first
        {"search", "--ports", "7,x"},
        {"search", "--ports", "0"},
    };
    for (const auto& args : cases) {
        const TRun r = RunCli(args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_EQ(r.Status, 2) << line << "\n" << r.Err;
        EXPECT_FALSE(r.Err.empty()) << line;
        EXPECT_TRUE(r.Out.empty()) << line;
    }
}

TEST(CliRead, InfoThroughThePortNumber) {
    TCliRig rig;
    const TRun r = rig.Run({"info"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 6u) << r.Out;
    EXPECT_EQ(lines[0], "model: ЗЕВРИН-101Ф");
    EXPECT_EQ(lines[1], "serial number: 001234567890");
    EXPECT_EQ(lines[2], "version: ver012");
    EXPECT_EQ(lines[3], "mode: ON-LINE");
    EXPECT_EQ(lines[4].substr(0, 6), "date: ");
    EXPECT_EQ(lines[5].substr(0, 6), "time: ");

    const TRun j = rig.Run({"--json", "info"});
    ASSERT_EQ(j.Status, 0) << j.Err;
    const json doc = json::parse(j.Out);
    EXPECT_EQ(doc["serialNumber"], "001234567890");
    EXPECT_EQ(doc["mode"], 1);
    EXPECT_EQ(doc["modeText"], "ON-LINE");
}

TEST(CliRead, PortsShowsTheSimulatorsPort) {
    TCliRig rig;
    const TRun r = RunCli({"ports"}, rig.Dir);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("COM7\t" + rig.Sim.DevicePath()), std::string::npos) << r.Out;
    const json doc = json::parse(RunCli({"ports", "--json"}, rig.Dir).Out);
    bool found = false;
    for (const auto& p : doc) found = found || (p["port"] == 7 && p["busy"] == false);
    EXPECT_TRUE(found) << doc.dump();
}

TEST(CliRead, OptionsTaxesDepartmentsLinesAndGoods) {
    TCliRig rig;
    const TRun options = rig.RunDevice({"options", "get"});
    ASSERT_EQ(options.Status, 0) << options.Err;
    const auto lines = Lines(options.Out);
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0].rfind("1=2\t0..3 def 0\tПечать журнала продаж", 0), 0u) << lines[0];
    EXPECT_EQ(lines[29], "30=1\t0..98 def 0\tСетевой номер кассы");
    const json opt = json::parse(rig.RunDevice({"--json", "options", "get"}).Out);
    EXPECT_EQ(opt["count"], 32);
    EXPECT_EQ(opt["options"][4]["value"], 30);
    EXPECT_EQ(opt["options"][4]["max"], 99);

    const TRun taxes = rig.RunDevice({"taxes"});
    ASSERT_EQ(taxes.Status, 0) << taxes.Err;
    EXPECT_EQ(Lines(taxes.Out),
              (std::vector<std::string>{"1\tA\t18.00%\ttype 1\tНДС 18%", "2\tB\t10.00%\ttype 1\tНДС 10%",
                                        "3\tC\tnot defined", "4\tD\tnot defined", "5\tE\tnot defined"}));

    const TRun deps = rig.RunDevice({"departments", "get"});
    ASSERT_EQ(deps.Status, 0) << deps.Err;
    const auto d = Lines(deps.Out);
    ASSERT_EQ(d.size(), 8u);
    EXPECT_EQ(d[0], "1;goods;Хлеб;A;0.00");
    EXPECT_EQ(d[6], "7;service;Доставка;B;150.00");
    EXPECT_EQ(d[7], "8;closed;;-;0.00");

    const TRun text = rig.RunDevice({"lines", "get"});
    ASSERT_EQ(text.Status, 0) << text.Err;
    const auto l = Lines(text.Out);
    ASSERT_EQ(l.size(), 14u);
    EXPECT_EQ(l[0], "header.font=3");
    EXPECT_EQ(l[1], "header.1=   ООО \"ЗЕВРИН-ТОРГ\"");
    EXPECT_EQ(l[7], "footer.font=1");
    const json lj = json::parse(rig.RunDevice({"lines", "get", "--json"}).Out);
    EXPECT_EQ(lj["footer"]["lines"][0], "    Спасибо за покупку!");

    const TRun goods = rig.RunDevice({"goods", "get", "5"});
    ASSERT_EQ(goods.Status, 0) << goods.Err;
    EXPECT_NE(goods.Out.find("name: Молоко 3,2% 1 л\nprice: 89.50\n"), std::string::npos) << goods.Out;
    EXPECT_NE(goods.Out.find("barcode: 4607001234607\n"), std::string::npos);
    EXPECT_NE(goods.Out.find("sold: 44.000\n"), std::string::npos);
    const json g = json::parse(rig.RunDevice({"--json", "goods", "get", "7"}).Out);
    EXPECT_EQ(g["soldBy"], "weight");
    EXPECT_EQ(g["price"], "640.00");
}

TEST(CliRead, TraceShowsTheLinkOnStandardError) {
    TCliRig rig;
    const TRun r = rig.Run({"--trace", "taxes"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("----- начало синхронизации с ККМ -----"), std::string::npos);
    EXPECT_NE(r.Err.find(">RDY  ПК->ККМ синх.   ККМ=1"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(">DATA ПК<-ККМ"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("получаем налоги из ККМ"), std::string::npos);
    EXPECT_EQ(Lines(r.Out).size(), 5u);
    EXPECT_TRUE(rig.Run({"taxes"}).Err.empty());
}

// With --json a failure is one object on standard output, its kind matching the status.
void ExpectFailure(const TRun& r, int status, const std::string& kind, const std::string& field = "") {
    EXPECT_EQ(r.Status, status) << kind << "\n" << r.Err;
    const json doc = json::parse(r.Out, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << kind << ": " << r.Out;
    EXPECT_EQ(doc["error"]["kind"], kind) << r.Out;
    EXPECT_FALSE(doc["error"]["message"].get<std::string>().empty()) << r.Out;
    EXPECT_EQ(doc["error"]["field"], field) << r.Out;
}

TEST(CliFailure, EachKindOfFailureHasItsExitStatus) {
    TCliRig rig;
    const TRun missing = rig.Run({"goods", "get", "99"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("Товар/услуга не найдены"), std::string::npos) << missing.Err;
    EXPECT_NE(missing.Err.find("vornik-cli: reading goods 99 failed"), std::string::npos);
    ExpectFailure(rig.Run({"--json", "goods", "get", "99"}), 1, "refused");
    ExpectFailure(rig.Run({"--json", "options", "set", "3=11"}), 2, "bad-input", "3=11");
    ExpectFailure(rig.Run({"--json", "options", "get", "extra"}), 2, "bad-input");

    // A line nobody answers on.
    TSimLine silent;
    std::string error;
    ASSERT_TRUE(silent.Open(error)) << error;
    const TRun dead = RunCli({"--device", silent.DevicePath(), "info"});
    EXPECT_EQ(dead.Status, 4);
    EXPECT_NE(dead.Err.find("vornik-cli: reading the register's identity failed on " + silent.DevicePath() +
                            ": the register did not answer"),
              std::string::npos)
        << dead.Err;
    EXPECT_TRUE(dead.Out.empty());
    ExpectFailure(RunCli({"--json", "--device", silent.DevicePath(), "info"}), 4, "no-answer");

    const TRun nodevice = RunCli({"--device", rig.Dir + "/nothing", "info"});
    EXPECT_EQ(nodevice.Status, 3);
    EXPECT_NE(nodevice.Err.find("No such file or directory"), std::string::npos) << nodevice.Err;
    ExpectFailure(RunCli({"--json", "--device", rig.Dir + "/nothing", "info"}), 3, "port-missing");
    ExpectFailure(RunCli({"--json", "--device", rig.File("plain.txt", "x"), "info"}), 3, "not-serial");
    {
        TComPort holder;  // another program holds the register's port
        holder.SetDevicePath(rig.Sim.DevicePath());
        ASSERT_TRUE(holder.Open());
        ExpectFailure(rig.RunDevice({"--json", "info"}), 3, "port-busy");
    }
    // --log chooses the log file.
    EXPECT_EQ(RunCli({"--log", rig.Dir + "/mine.log", "--device", rig.Dir + "/nothing", "info"}).Status, 3);
    std::string log;
    EXPECT_TRUE(ReadFileBytes(rig.Dir + "/mine.log", log));
    EXPECT_NE(log.find("No such file or directory"), std::string::npos) << log;
    // Error lines have one form, the console's time stamps gone.
    for (const auto& line : Lines(nodevice.Err)) EXPECT_EQ(line.rfind("vornik-cli: ", 0), 0u) << line;
}

TEST(CliWrite, OptionsAreWrittenReadBackAndCheckedAgainstTheirRanges) {
    TCliRig rig;
    const TRun r = rig.Run({"options", "set", "3=2", "5=45"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "option 3: 0 -> 2\noption 5: 30 -> 45\noptions written and confirmed\n");
    EXPECT_EQ(rig.Sim.State().Register.Options[2], 2);
    EXPECT_EQ(rig.Sim.State().Register.Options[4], 45);

    const TRun out = rig.Run({"options", "set", "1=0", "3=11"});
    EXPECT_EQ(out.Status, 2);
    EXPECT_NE(out.Err.find("option 3: 11 is outside 0..10"), std::string::npos) << out.Err;
    const TRun beyond = rig.Run({"options", "set", "40=1"});
    EXPECT_EQ(beyond.Status, 2);
    EXPECT_NE(beyond.Err.find("this register has 32 options"), std::string::npos);
    EXPECT_EQ(rig.Sim.State().Register.Options[0], 2);  // nothing written
}

TEST(CliWrite, ARegisterThatRefusesTheWriteGivesItsText) {
    TCliRig rig;
    rig.Sim.RegisterCommand(0x0A, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x0A, 7)}; });
    const TRun r = rig.Run({"options", "set", "3=2"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("Команда может быть выполнена только при закрытой смене"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("vornik-cli: writing the options failed"), std::string::npos);
}

TEST(CliWrite, DepartmentsFromAFileAreWrittenAndConfirmed) {
    TCliRig rig;
    const std::string file = rig.File("deps.txt",
                                      "# number;kind;name;tax group;price\n"
                                      "6;goods;Пакеты; майка;C;4.5\r\n"
                                      "\n"
                                      "8;service;Ремонт;-;0\n"
                                      "1;closed\n");
    const TRun r = rig.Run({"departments", "set", file});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out,
              "department 1 written and confirmed\ndepartment 6 written and confirmed\n"
              "department 8 written and confirmed\n");
    const auto deps = rig.Sim.State().Register.Departments;
    EXPECT_EQ(deps[0].Kind, 0xA3);
    EXPECT_EQ(deps[5].Name, "Пакеты; майка");
    EXPECT_EQ(deps[5].TaxGroup, 3);
    EXPECT_EQ(deps[5].Price, 450);
    EXPECT_EQ(deps[7].Kind, 0xA2);
    EXPECT_EQ(deps[7].TaxGroup, 0);
    const auto got = Lines(rig.Run({"departments", "get"}).Out);
    EXPECT_EQ(got[5], "6;goods;Пакеты; майка;C;4.50");
    EXPECT_EQ(got[7], "8;service;Ремонт;-;0.00");

    // The same file from standard input.
    EXPECT_EQ(rig.Run({"departments", "set", "-"}, "2;goods;Молоко;A;0\n").Status, 0);
    EXPECT_EQ(rig.Sim.State().Register.Departments[1].Name, "Молоко");
}

TEST(CliWrite, ADepartmentsLineReadsBackOrSaysWhatItLeftOut) {
    TCliRig rig;
    struct TCase {
        const char* Held;     // the name in the register
        const char* Printed;  // in departments get's line
        const char* Note;     // on standard error, "" for none
    };
    const TCase cases[] = {
        {"Касса №1", "Касса 1", "department 3: left out of the name, as the register cannot take it back: \"№\"\n"},
        {"Хлеб\nбелый\n", "Хлеббелый", "cannot take it back: \"\\n\"\n"},
        {"№\tЧай\x01", "Чай", "cannot take it back: \"№\", \"\\t\", \"\\x01\"\n"},
        {"Пакеты; майка", "Пакеты; майка", ""},
    };
    for (const auto& c : cases) {
        TSimState s = rig.Sim.State();
        s.Register.Departments[2].Name = c.Held;
        rig.Sim.SetState(s);
        const TRun got = rig.Run({"departments", "get"});
        ASSERT_EQ(got.Status, 0) << got.Err;
        EXPECT_EQ(Lines(got.Out).at(2), "3;goods;" + std::string(c.Printed) + ";A;0.00") << c.Held;
        if (*c.Note) EXPECT_NE(got.Err.find(c.Note), std::string::npos) << got.Err;
        else EXPECT_EQ(got.Err, "");
        // What was printed is what departments set takes, and then holds.
        const TRun set = rig.Run({"departments", "set", rig.File("d.txt", got.Out)});
        ASSERT_EQ(set.Status, 0) << c.Held << ": " << set.Err;
        EXPECT_EQ(rig.Sim.State().Register.Departments[2].Name, c.Printed);
        EXPECT_EQ(rig.Run({"departments", "get"}).Out, got.Out);
    }
}

TEST(CliWrite, ABadDepartmentsFileIsRefusedBeforeAnythingIsWritten) {
    TCliRig rig;
    const std::pair<const char*, const char*> cases[] = {
        {"1;goods;Хлеб;A;1.00\n2;open;Хлеб;A;1.00\n", ":2: the kind must be goods, service or closed"},
        {"1;goods;Хлеб;G;1.00\n", ":1: the tax group must be A..E or -"},
        {"1;goods;Хлеб;A;1.005\n", ":1: the price must be roubles"},
        {"1;goods;Хлеб;A;-1\n", ":1: the price must be roubles"},
        {"1;goods;Очень длинное название отдела;A;1\n", ":1: the name is longer than 22 characters"},
        {"1;goods;Касса №1;A;1\n", ":1: the name holds a character the register cannot print"},
        {"17;closed\n", ":1: the department number must be 1..16"},
        {"1;goods;Хлеб;A\n", ":1: expected number;kind;name;tax group;price"},
        {"3;closed\n3;closed\n", ":2: department 3 is given twice"},
        {"9;closed\n", "department 9: this register has 8 departments"},
    };
    for (const auto& [text, why] : cases) {
        const std::string file = rig.File("bad.txt", text);
        const TRun r = rig.Run({"departments", "set", file});
        EXPECT_EQ(r.Status, 2) << text;
        EXPECT_NE(r.Err.find(why), std::string::npos) << r.Err;
    }
    const auto deps = rig.Sim.State().Register.Departments;
    EXPECT_EQ(deps[0].Name, "Хлеб");
    EXPECT_EQ(deps[0].Price, 0);
    EXPECT_EQ(deps[2].Kind, 0xA1);
}

TEST(CliWrite, LinesFromAFileKeepWhatTheFileDoesNotName) {
    TCliRig rig;
    const std::string file = rig.File("lines.txt",
                                      "header.font=2\n"
                                      "header.4=  Касса 1  \n"
                                      "# the footer keeps its font\n"
                                      "footer.6=До свидания!\n");
    const TRun r = rig.Run({"lines", "set", file});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "header written and confirmed\nfooter written and confirmed\n");
    const auto reg = rig.Sim.State().Register;
    EXPECT_EQ(reg.Header[3].Text, "  Касса 1  ");
    for (const auto& line : reg.Header) EXPECT_EQ(line.Font, 2);
    EXPECT_EQ(reg.Header[0].Text, "   ООО \"ЗЕВРИН-ТОРГ\"");
    EXPECT_EQ(reg.Footer[5].Text, "До свидания!");
    EXPECT_EQ(reg.Footer[0].Font, 1);

    // lines get prints what lines set reads.
    const TRun got = rig.Run({"lines", "get"});
    const std::string again = rig.File("again.txt", got.Out);
    EXPECT_EQ(rig.Run({"lines", "set", again}).Status, 0);
    EXPECT_EQ(rig.Run({"lines", "get"}).Out, got.Out);

    for (const char* bad : {"header.7=x\n", "header.font=9\n", "middle.1=x\n", "footer.1=Касса №1\n",
                            "header.1=a\nheader.1=b\n"}) {
        const TRun refused = rig.Run({"lines", "set", rig.File("bad.txt", bad)});
        EXPECT_EQ(refused.Status, 2) << bad << refused.Err;
    }
    EXPECT_EQ(rig.Sim.State().Register.Header[0].Text, "   ООО \"ЗЕВРИН-ТОРГ\"");
}

TEST(CliSearch, PrintsTheRegistersFoundAsTextOrJsonAndSaysWhenThereIsNone) {
    // The register hears every speed; which one it is found at is the search
    // tests' business (a loaded machine may let the first probe pass).
    TCliRig rig;
    const TRun text = RunCli({"search", "--ports", "7,250", "--speed", "57600"}, rig.Dir);
    ASSERT_EQ(text.Status, 0) << text.Err;
    const auto lines = Lines(text.Out);
    ASSERT_EQ(lines.size(), 1u) << text.Out;
    EXPECT_EQ(lines[0].rfind("COM7 ", 0), 0u) << text.Out;
    EXPECT_NE(lines[0].find(" 1 ЗЕВРИН-101Ф 001234567890 ver012"), std::string::npos) << text.Out;
    EXPECT_NE(text.Err.find("COM250 is not on this machine"), std::string::npos) << text.Err;

    const TRun js = RunCli({"--json", "search", "--ports=7"}, rig.Dir);
    ASSERT_EQ(js.Status, 0) << js.Err;
    json doc = json::parse(js.Out);
    ASSERT_EQ(doc.size(), 1u) << js.Out;
    EXPECT_TRUE(IsValidSpeed(doc[0]["speed"].get<int>()));
    doc[0].erase("speed");
    EXPECT_EQ(doc, json::parse(R"([{"port": "COM7", "device": ")" + rig.Sim.DevicePath() + R"(", "net": 1,
                                   "model": "ЗЕВРИН-101Ф", "serialNumber": "001234567890", "version": "ver012"}])"));

    const TRun none = RunCli({"search", "--ports", "7", "--net", "5"}, rig.Dir);
    EXPECT_EQ(none.Status, 4) << none.Err;
    EXPECT_TRUE(none.Out.empty()) << none.Out;
    ExpectFailure(RunCli({"search", "--ports", "7", "--net", "5", "--json"}, rig.Dir), 4, "no-answer");
}

namespace {

// Requests of one command code the register received.
int Requests(const TRegisterSimulator& sim, std::uint8_t code) {
    int n = 0;
    for (const auto& r : sim.History())
        n += r.Incoming && r.Block && r.Bytes.size() > 2 && r.Bytes[1] == 0x01 && r.Bytes[2] == code;
    return n;
}

}  // namespace

TEST(CliWrite, WhatAReadPrintsWritesBackAsItIsAndOnlyWhatDiffersIsSent) {
    TCliRig rig;
    const TRun got = rig.Run({"--json", "departments", "get"});
    ASSERT_EQ(got.Status, 0) << got.Err;
    const std::string file = rig.File("d.json", got.Out);
    rig.Sim.ClearHistory();
    const TRun same = rig.Run({"--json", "departments", "set", file});
    ASSERT_EQ(same.Status, 0) << same.Err;
    EXPECT_EQ(json::parse(same.Out)["changed"], false);
    EXPECT_EQ(Requests(rig.Sim, 0x08), 0) << "nothing is written";

    json deps = json::parse(got.Out);
    deps[2]["name"] = "Крупы";
    deps[2]["price"] = "12.50";
    const std::string changed = rig.File("d2.json", deps.dump());
    const TRun check = rig.Run({"--json", "--check", "departments", "set", changed});
    ASSERT_EQ(check.Status, 0) << check.Err;
    const json checked = json::parse(check.Out);
    EXPECT_EQ(checked["changed"], true);
    EXPECT_EQ(checked["check"], true);
    EXPECT_EQ(checked["departments"][2]["after"]["name"], "Крупы");
    EXPECT_EQ(Requests(rig.Sim, 0x08), 0) << "--check writes nothing";
    EXPECT_NE(rig.Sim.State().Register.Departments[2].Name, "Крупы");

    const TRun one = rig.Run({"--json", "departments", "set", changed});
    ASSERT_EQ(one.Status, 0) << one.Err;
    const json wrote = json::parse(one.Out);
    EXPECT_EQ(Requests(rig.Sim, 0x08), 1) << "exactly the one department that differs";
    EXPECT_EQ(wrote["departments"][2]["before"], json::parse(got.Out)[2]);
    EXPECT_EQ(wrote["departments"][2]["after"]["price"], "12.50");
    EXPECT_EQ(wrote["departments"][2]["changed"], true);
    EXPECT_EQ(wrote["departments"][0]["changed"], false);
    EXPECT_EQ(rig.Sim.State().Register.Departments[2].Name, "Крупы");

    // Options and lines the same way; text input too.
    const TRun options = rig.Run({"--json", "options", "get"});
    const std::string optionsFile = rig.File("o.json", options.Out);
    rig.Sim.ClearHistory();
    const TRun optionsSame = rig.Run({"options", "set", optionsFile});
    ASSERT_EQ(optionsSame.Status, 0) << optionsSame.Err;
    EXPECT_EQ(optionsSame.Out, "options: nothing to write, the register holds these values\n");
    EXPECT_EQ(Requests(rig.Sim, 0x0A), 0);
    const TRun lines = rig.Run({"--json", "lines", "get"});
    const TRun linesSame = rig.Run({"--json", "lines", "set", "-"}, lines.Out);
    ASSERT_EQ(linesSame.Status, 0) << linesSame.Err;
    EXPECT_EQ(json::parse(linesSame.Out)["changed"], false);
    EXPECT_EQ(rig.Run({"options", "set", "3=2"}).Status, 0);
    rig.Sim.ClearHistory();
    EXPECT_EQ(rig.Run({"options", "set", "3=2"}).Out, "options: nothing to write, the register holds these values\n");
    EXPECT_EQ(Requests(rig.Sim, 0x0A), 0);
}
