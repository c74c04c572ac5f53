// vornik-cli profiles: the profile store of the working directory from a
// shell, against the simulator.
#include "CliRunner.h"

#include <nlohmann/json.hpp>

using namespace clitest;
using nlohmann::json;

namespace {

// The simulated register with its first option, first header line and first
// department changed.
void ChangeRegister(TRegisterSimulator& sim) {
    TSimState s = sim.State();
    s.Register.Options[0] = static_cast<std::uint8_t>(s.Register.Options[0] == 0 ? 1 : 0);
    s.Register.Header[0].Text = "ДРУГАЯ ШАПКА";
    s.Register.Departments[0].Name = "Другой отдел";
    sim.SetState(s);
}

}  // namespace

TEST(CliProfiles, SaveListApplyAndDeleteOnTheWorkingDirectorysStore) {
    TCliRig rig;
    const TRun empty = RunCli({"profiles", "list"}, rig.Dir);
    EXPECT_EQ(empty.Status, 0) << empty.Err;
    EXPECT_EQ(empty.Out, "no profiles stored in " + rig.Dir + "/bd\n");
    EXPECT_FALSE(DirExists(rig.Dir + "/bd")) << "listing makes no store";

    const TSimRegister original = rig.Sim.State().Register;
    const TRun save = rig.Run({"profiles", "save", "Магазин"});
    ASSERT_EQ(save.Status, 0) << save.Err;
    EXPECT_EQ(save.Out.rfind("stored \"Магазин\" as a template of ver012 (key ", 0), 0u) << save.Out;
    EXPECT_NE(save.Out.find(": 32 options, 8 departments, 6+6 lines, 5 taxes\n"), std::string::npos) << save.Out;
    EXPECT_TRUE(save.Err.empty()) << save.Err;
    const TRun saved = rig.Run({"profiles", "save-saved"});
    ASSERT_EQ(saved.Status, 0) << saved.Err;
    EXPECT_EQ(saved.Out.rfind("stored \"Сохраненная\" as the saved profile of 001234567890 (key ", 0), 0u) << saved.Out;
    for (const char* f : {"Profile.dbf", "options.dbf", "Dept.dbf", "Tax.dbf", "check.dbf", "checkFont.dbf"})
        EXPECT_TRUE(FileExists(rig.Dir + "/bd/" + f)) << f;

    const TRun list = RunCli({"profiles", "list"}, rig.Dir);
    ASSERT_EQ(list.Status, 0) << list.Err;
    const auto lines = Lines(list.Out);
    ASSERT_EQ(lines.size(), 2u) << list.Out;
    EXPECT_EQ(lines[0].rfind("Магазин\ttemplate ver012\t", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("Сохраненная\tsaved 001234567890 (ver012)\t", 0), 0u) << lines[1];
    const json doc = json::parse(RunCli({"--json", "profiles", "list"}, rig.Dir).Out);
    ASSERT_EQ(doc["profiles"].size(), 2u);
    EXPECT_EQ(doc["profiles"][0]["kind"], "template");
    EXPECT_EQ(doc["profiles"][1]["serialNumber"], "001234567890");
    EXPECT_EQ(doc["store"], rig.Dir + "/bd");

    // The register changes; the template puts it back.
    ChangeRegister(rig.Sim);
    const TRun apply = rig.Run({"profiles", "apply", "Магазин"});
    ASSERT_EQ(apply.Status, 0) << apply.Err;
    EXPECT_EQ(apply.Out,
              "wrote \"Магазин\" to the register 001234567890: 32 options, 8 departments, 6+6 lines, read back and "
              "confirmed\n");
    const TSimRegister now = rig.Sim.State().Register;
    EXPECT_EQ(now.Options, original.Options);
    EXPECT_EQ(now.Header[0].Text, original.Header[0].Text);
    EXPECT_EQ(now.Departments[0].Name, original.Departments[0].Name);

    const TRun unknown = rig.Run({"profiles", "apply", "Нет такого"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_NE(unknown.Err.find("no profile \"Нет такого\" for this register (serial number 001234567890, version ver012)"),
              std::string::npos)
        << unknown.Err;

    const TRun del = RunCli({"profiles", "delete", "Магазин"}, rig.Dir);
    ASSERT_EQ(del.Status, 0) << del.Err;
    EXPECT_EQ(del.Out, "deleted \"Магазин\" (template ver012)\n");
    EXPECT_EQ(Lines(RunCli({"profiles", "list"}, rig.Dir).Out).size(), 1u);
    EXPECT_EQ(RunCli({"profiles", "delete", "Магазин"}, rig.Dir).Status, 2);
}

TEST(CliProfiles, SavedProfilesOfTwoRegistersAreDeletedBySerialNumber) {
    TCliRig rig;
    ASSERT_EQ(rig.Run({"profiles", "save-saved"}).Status, 0);
    TSimState s = rig.Sim.State();
    s.Identity.SerialNumber = "999999999999";
    rig.Sim.SetState(s);
    ASSERT_EQ(rig.Run({"profiles", "save-saved"}).Status, 0);
    EXPECT_EQ(Lines(RunCli({"profiles", "list"}, rig.Dir).Out).size(), 2u);

    const TRun both = RunCli({"profiles", "delete", "Сохраненная"}, rig.Dir);
    EXPECT_EQ(both.Status, 2);
    EXPECT_NE(both.Err.find("2 profiles are named \"Сохраненная\""), std::string::npos) << both.Err;
    const TRun one = RunCli({"profiles", "delete", "Сохраненная", "999999999999"}, rig.Dir);
    ASSERT_EQ(one.Status, 0) << one.Err;
    const auto left = Lines(RunCli({"profiles", "list"}, rig.Dir).Out);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0].find("saved 001234567890"), std::string::npos);

    // The saved profile of this register (now 999999999999) is gone: nothing to apply.
    const TRun apply = rig.Run({"profiles", "apply", "Сохраненная"});
    EXPECT_EQ(apply.Status, 2);
}

TEST(CliProfiles, WrongCommandLinesAndAMissingRegister) {
    TCliRig rig;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"profiles", "save", "Шаблон"}, {"profiles", "save-saved"},
          {"profiles", "apply", "Шаблон"}, {"profiles", "save"}, {"profiles", "delete"},
          {"profiles", "delete", "a", "b", "c"}, {"--port", "7", "profiles", "save", "  "}}) {
        const TRun r = RunCli(args, rig.Dir);
        EXPECT_EQ(r.Status, 2) << args.back() << "\n" << r.Err;
        EXPECT_TRUE(r.Out.empty());
    }
    const TRun help = RunCli({"profiles", "--help"});
    EXPECT_EQ(help.Status, 0);
    for (const char* c : {"profiles list", "profiles save NAME", "profiles save-saved", "profiles apply NAME",
                          "profiles delete NAME [SERIAL]"})
        EXPECT_NE(help.Out.find(c), std::string::npos) << c;

    // A register that does not answer: nothing is stored.
    const TRun dead = RunCli({"--device", "/nonexistent/vornik-register", "profiles", "save", "Шаблон"}, rig.Dir);
    EXPECT_EQ(dead.Status, 3) << dead.Err;
    EXPECT_NE(dead.Err.find("connecting to the register failed"), std::string::npos) << dead.Err;
    EXPECT_FALSE(FileExists(rig.Dir + "/bd/Profile.dbf"));
}
