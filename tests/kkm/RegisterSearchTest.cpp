// The register search against simulated registers that hear only their own
// line speed, each on a port of a scratch working directory.
#include "kkm/RegisterSearch.h"
#include "link/LinkTestSupport.h"

#include <algorithm>
#include <memory>

namespace {

using linktest::TInFolder;
using linktest::TLogCapture;

struct TSearchRig {
    TInFolder Folder;
    TLogCapture Log{mdApplied};
    std::vector<std::unique_ptr<TRegisterSimulator>> Sims;

    // A register on port com at this speed and network number.
    void AddRegister(int com, int speed, int net, const std::string& serial) {
        TSimOptions o;
        o.Speed = speed;
        o.StrictSpeed = true;
        o.ComNumber = com;
        o.NetNumber = net;
        Sims.push_back(std::make_unique<TRegisterSimulator>(o));
        std::string error;
        ASSERT_TRUE(Sims.back()->Start(error)) << error;
        TSimState state = Sims.back()->State();
        state.Identity.SerialNumber = serial;
        Sims.back()->SetState(state);
    }
    // The ports of the scratch folder only, not those of the machine.
    static std::vector<TSearchPort> Ports() {
        auto ports = SearchPortList();
        std::erase_if(ports, [](const TSearchPort& p) { return p.Number < 200; });
        return ports;
    }
};

}  // namespace

TEST(RegisterSearch, FindsEachRegisterAtItsSpeedAndNumberAndLeavesBusyPortsAlone) {
    TSearchRig rig;
    rig.AddRegister(201, 9600, 1, "000000000201");
    rig.AddRegister(202, 57600, 57, "000000000202");
    rig.AddRegister(203, 14400, 1, "000000000203");
    rig.AddRegister(204, 19200, 1, "000000000204");
    TComPort holder;  // another program holds COM204
    holder.SetPortNumber(204);
    ASSERT_TRUE(holder.Open());

    auto ports = TSearchRig::Ports();
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_TRUE(ports[3].Busy);

    for (const bool allNets : {false, true}) {
        SCOPED_TRACE(allNets ? "all network numbers" : "the settings' network number");
        TRegisterSearch search;
        search.FirstSpeed = 38400;
        search.NetNumber = 1;
        search.AllNets = allNets;
        search.AnswerMarginMs = 300;  // simulators on a loaded machine answer late
        std::vector<int> busy;
        int done = -1, total = -1, foundAsItCame = 0;
        search.OnBusy = [&](const TSearchPort& p) { busy.push_back(p.Number); };
        search.OnProgress = [&](int d, int t) { done = d, total = t; };
        search.OnFound = [&](const TFoundRegister&) { ++foundAsItCame; };
        const auto found = search.Run(ports);

        std::vector<std::string> lines;
        for (const auto& r : found) lines.push_back(FoundRegisterLine(r));
        std::vector<std::string> expected{"COM201 9600 1 ЗЕВРИН-101Ф 000000000201 ver012",
                                          "COM203 14400 1 ЗЕВРИН-101Ф 000000000203 ver012"};
        if (allNets) expected.insert(expected.begin() + 1, "COM202 57600 57 ЗЕВРИН-101Ф 000000000202 ver012");
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(foundAsItCame, static_cast<int>(found.size()));
        EXPECT_EQ(busy, std::vector<int>{204});
        EXPECT_EQ(total, 3 * 10);
        EXPECT_EQ(done, total);
        EXPECT_FALSE(search.Stopped());
        EXPECT_TRUE(rig.Log.Has("Найдена ККМ: COM201 9600 1"));
        EXPECT_TRUE(rig.Log.Has("COM204: порт занят"));
        // No port is left open: the register is there for the next program.
        TComPort port;
        port.SetPortNumber(201);
        EXPECT_TRUE(port.Open());
    }
    // The register the search talked to answers the configurator at once.
    TComPort port;
    port.SetPortNumber(202);
    port.SetSpeed(57600);
    TKKM kkm;
    kkm.Port = &port;
    kkm.NetNumber = 57;
    TProtocolKKM link(&kkm);
    EXPECT_TRUE(link.GetKKMInfo());
    EXPECT_EQ(kkm.Info->SerialNumber, "000000000202");
}

TEST(RegisterSearch, StopEndsTheSearchWithThePortsClosed) {
    TSearchRig rig;
    rig.AddRegister(201, 2400, 98, "000000000201");
    TRegisterSearch search;
    search.AllNets = true;
    int done = 0, total = 0;
    search.OnProgress = [&](int d, int t) {
        done = d, total = t;
        if (d >= 1) search.Stop();
    };
    const auto found = search.Run(TSearchRig::Ports());
    EXPECT_TRUE(search.Stopped());
    EXPECT_FALSE(search.Running());
    EXPECT_LT(done, total);
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(rig.Log.Has("Поиск ККМ остановлен"));
    TComPort port;
    port.SetPortNumber(201);
    EXPECT_TRUE(port.Open());
}
