// The register simulator itself: its state file, its commands, its fault
// specs, and the program vornik-sim run the way a user runs it.
#include "ChildProcess.h"
#include "LinkTestSupport.h"

#include "sim/SimCommands.h"
#include "sim/SimFaults.h"
#include "sim/SimState.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

using namespace linktest;

TEST(SimState, DefaultRegisterRoundTripsThroughItsFile) {
    TTempDir dir;
    const std::string path = dir.Path + "/register.json";
    TSimState s;
    std::string error;
    ASSERT_TRUE(s.Load(path, error)) << error;  // missing: the default register
    EXPECT_EQ(s.Identity.Version, "ver012");
    s.Identity.Model = "ЗЕВРИН-102К";
    s.Identity.Mode = 2;
    s.NetNumber = 12;
    ASSERT_TRUE(s.Save(path, error)) << error;
    TSimState back;
    ASSERT_TRUE(back.Load(path, error)) << error;
    EXPECT_EQ(back.Identity.Model, "ЗЕВРИН-102К");
    EXPECT_EQ(back.Identity.Mode, 2);
    EXPECT_EQ(back.NetNumber, 12);
}

TEST(SimState, SectionsItDoesNotKnowAreKept) {
    TSimState s;
    std::string error;
    const auto doc = nlohmann::json::parse(R"({"identity":{"serialNumber":"777"},"goods":[{"code":1}]})");
    ASSERT_TRUE(s.FromJson(doc, error)) << error;
    EXPECT_EQ(s.Identity.SerialNumber, "777");
    EXPECT_EQ(s.Identity.Version, "ver012");  // missing fields keep their defaults
    EXPECT_EQ(s.ToJson()["goods"][0]["code"], 1);
}

TEST(SimState, BadFileIsRefusedAndLeftAsItWas) {
    TTempDir dir;
    const std::string path = dir.Path + "/register.json";
    const std::string broken = "{\"identity\": {\"model\": \"x\",";
    {
        std::ofstream f(path);
        f << broken;
    }
    TSimState s;
    s.Identity.Model = "kept";
    std::string error;
    EXPECT_FALSE(s.Load(path, error));
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_EQ(s.Identity.Model, "kept");
    std::string bytes;
    ReadFileBytes(path, bytes);
    EXPECT_EQ(bytes, broken);

    const auto tooLong = nlohmann::json::parse(R"({"identity":{"model":"12345678901234567"}})");
    EXPECT_FALSE(s.FromJson(tooLong, error));
    EXPECT_EQ(error, "identity.model: at most 16 characters");
    const auto badMode = nlohmann::json::parse(R"({"identity":{"mode":3}})");
    EXPECT_FALSE(s.FromJson(badMode, error));
    EXPECT_NE(error.find("identity.mode"), std::string::npos);
    EXPECT_EQ(s.Identity.Model, "kept");
}

TEST(SimCommands, IdentityAnswerHasItsLayout) {
    TSimCommands commands;
    TSimState s;
    s.Identity.Model = "ЗЕВРИН";
    s.Identity.SerialNumber = "123456789012";
    s.Identity.Mode = 2;
    const TSimFrames f = commands.Handle(s, {0x01, 0x01});
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].size(), 44u);
    EXPECT_EQ(f[0][2], 0);
    EXPECT_EQ(std::string(f[0].begin() + 3, f[0].begin() + 10), std::string("\xC7\xC5\xC2\xD0\xC8\xCD\0", 7));
    EXPECT_EQ(std::string(f[0].begin() + 19, f[0].begin() + 31), "123456789012");
    EXPECT_EQ(std::string(f[0].begin() + 31, f[0].begin() + 38), std::string("ver012\0", 7));
    EXPECT_EQ(f[0][43], 2);
}

TEST(SimCommands, UnknownAndMalformedRequestsAreRefused) {
    TSimCommands commands;
    TSimState s;
    EXPECT_EQ(commands.Handle(s, {0x01, 0x7E}), (TSimFrames{{0x01, 0x7E, 1}}));
    EXPECT_EQ(commands.Handle(s, {0x02, 0x01}), (TSimFrames{{0x01, 0x01, 3}}));
    EXPECT_EQ(commands.Handle(s, {}), (TSimFrames{{0x01, 0x00, 3}}));
    commands.Register(0x7E, [](TSimState&, const TSimRequest& r) { return TSimFrames{{0x01, r[1], 0, 42}}; });
    EXPECT_EQ(commands.Handle(s, {0x01, 0x7E}), (TSimFrames{{0x01, 0x7E, 0, 42}}));
    EXPECT_EQ(SplitSimFrames(Bytes(600, 1)).size(), 3u);
}

TEST(SimFaults, SpecsParseOrSayWhatIsWrong) {
    TSimFault f;
    std::string error;
    ASSERT_TRUE(ParseSimFault("rdy:2:SYN+RDY", f, error)) << error;
    EXPECT_EQ(f.Kind, TSimFaultKind::ReplyToReady);
    EXPECT_EQ(f.Nth, 2);
    EXPECT_EQ(f.Reply, (Bytes{0xCC, 0xC5}));
    ASSERT_TRUE(ParseSimFault("drop:3:2", f, error));
    EXPECT_EQ(f.Count, 2);
    EXPECT_FALSE(ParseSimFault("wobble:1", f, error));
    EXPECT_EQ(error, "unknown fault \"wobble\"");
    EXPECT_FALSE(ParseSimFault("checksum", f, error));
    EXPECT_FALSE(ParseSimFault("checksum:0", f, error));
    EXPECT_FALSE(ParseSimFault("rdy:1", f, error));
    EXPECT_FALSE(ParseSimFault("rdy:1:NAK", f, error));
    EXPECT_NE(error.find("NAK"), std::string::npos);
    EXPECT_FALSE(ParseSimFault("noise:1:x", f, error));

    TSimFaultPlan plan;
    ASSERT_TRUE(ParseSimFault("silent:2:2", f, error));
    plan.Add(f);
    std::vector<bool> fired;
    for (int i = 0; i < 5; ++i) fired.push_back(!plan.On(TSimEvent::Ready).empty());
    EXPECT_EQ(fired, (std::vector<bool>{false, true, true, false, false}));
}

TEST(SimLine, PacingHoldsTheLineSpeed) {
    TScriptedLine s;
    s.Line.SetSpeed(9600);  // about 1.04 ms a byte
    const Bytes block(96, 0x55);
    const auto t0 = std::chrono::steady_clock::now();
    s.Put(block);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 95);
    std::uint8_t buf[96];
    int n = 96;
    EXPECT_TRUE(s.Port.Read(buf, n));
}

TEST(SimProgram, PortLinkLetsTheConfiguratorTalkToIt) {
    const char* binDir = std::getenv("VORNIK_BIN_DIR");
    const std::string sim = JoinPath(binDir ? binDir : ProgramDir(), "vornik-sim");
    ASSERT_TRUE(FileExists(sim)) << sim;
    TInFolder here;

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        // With the echo of a two-wire line, which the log leaves out.
        execl(sim.c_str(), "vornik-sim", "--com", "7", "--speed", "115200", "--state", "register.json", "--log",
              "frames.log", "--echo", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string printed;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') printed += c;

    TComPort port;
    ASSERT_TRUE(port.SetPortNumber(7));
    EXPECT_EQ(port.DeviceName(), printed);
    TKKM kkm;
    kkm.Port = &port;
    TProtocolKKM link(&kkm);
    TKKMPacket req = Request({0x01, 0x01}), ans;
    const bool ok = link.Exchange(req, ans, true);
    link.SendControl(0xC0);
    port.Close();

    SignalChild(pid, SIGTERM);
    int status = 0;
    WaitChild(pid, &status);
    close(out[0]);
    const bool linkGone = !FileExists("ports/COM7");
    std::string state, frames;
    ReadFileBytes("register.json", state);
    ReadFileBytes("frames.log", frames);

    EXPECT_TRUE(ok);
    EXPECT_EQ(ans.Length, 44);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(linkGone);
    EXPECT_NE(state.find("\"version\": \"ver012\""), std::string::npos) << state;
    EXPECT_NE(frames.find("IN  7F 02 01 C5 3A  RDY"), std::string::npos) << frames;
    EXPECT_NE(frames.find("OUT 7F 02 01 E5 1A  RDY"), std::string::npos) << frames;
    EXPECT_NE(frames.find("IN  7F 02 01 C0 3F  DISC"), std::string::npos) << frames;
}

TEST(SimProgram, BadOptionsAreRefused) {
    const char* binDir = std::getenv("VORNIK_BIN_DIR");
    const std::string sim = JoinPath(binDir ? binDir : ProgramDir(), "vornik-sim");
    for (const char* args : {"--fault wobble:1", "--net 99", "--speed fast", "--bogus"}) {
        const int rc = std::system((sim + " " + args + " >/dev/null 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 2) << args;
    }
}
