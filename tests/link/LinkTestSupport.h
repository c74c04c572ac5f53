// Shared pieces of the link tests: a captured log, a temporary folder, a
// register simulator on a real pseudo-terminal with the computer's side
// (port, register record, link) attached, and a scripted line for frame-level
// checks.
#pragma once
#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"
#include "link/Comport.h"
#include "link/LinkFrames.h"
#include "link/U_protocolkkm.h"
#include "sim/RegisterSimulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace linktest {

using Bytes = std::vector<std::uint8_t>;

inline std::string UniqueDir(const std::string& stem) {
    static int n = 0;
    auto dir = std::filesystem::temp_directory_path() /
               (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++n));
    std::filesystem::create_directories(dir);
    return dir.string();
}

// A folder removed with everything in it at the end of the test.
struct TTempDir {
    std::string Path = UniqueDir("vornik-link");
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
};

// Runs the test body with the working directory set to a fresh folder.
struct TInFolder {
    TTempDir Dir;
    std::string Old = CurrentDir();
    TInFolder() { EXPECT_EQ(chdir(Dir.Path.c_str()), 0); }
    ~TInFolder() { (void)!chdir(Old.c_str()); }
};

// Sends the message functions' log to a file of its own and resets the
// switches before and after the test.
class TLogCapture {
public:
    explicit TLogCapture(TMessDepth depth = mdFunctional) {
        ResetSwitches();
        MessDepth = depth;
        SetLogFileName(dir_.Path + "/test.log");
    }
    ~TLogCapture() {
        ResetSwitches();
        SetLogFileName("");
    }
    // The log as UTF-8.
    std::string Text() const {
        std::string bytes;
        ReadFileBytes(dir_.Path + "/test.log", bytes);
        return Cp1251ToUtf8(bytes);
    }
    int Count(const std::string& needle) const {
        const std::string t = Text();
        int n = 0;
        for (auto p = t.find(needle); p != std::string::npos; p = t.find(needle, p + needle.size())) ++n;
        return n;
    }
    bool Has(const std::string& needle) const { return Count(needle) > 0; }
    void Clear() const { std::filesystem::remove(dir_.Path + "/test.log"); }

private:
    TTempDir dir_;
};

// The simulator, unpaced unless asked, with the computer's side on its line.
struct TLinkRig {
    explicit TLinkRig(int speed = 0) : Sim(Options(speed)) {
        std::string error;
        EXPECT_TRUE(Sim.Start(error)) << error;
        Port.SetDevicePath(Sim.DevicePath());
        Kkm.Port = &Port;
        Kkm.NetNumber = 1;
        Link.KKM = &Kkm;
    }
    static TSimOptions Options(int speed) {
        TSimOptions o;
        o.Speed = speed;
        return o;
    }
    void Fault(const std::string& faultText) {
        std::string error;
        ASSERT_TRUE(Sim.AddFault(faultText, error)) << error;
    }
    // Control bytes the computer sent, in order.
    Bytes ComputerFrames() const {
        Bytes out;
        for (const auto& r : Sim.History())
            if (r.Incoming && !r.Block && r.Bytes.size() == 5 && r.Bytes[0] == 0x7F) out.push_back(r.Bytes[3]);
        return out;
    }
    int ComputerSent(std::uint8_t control) const {
        int n = 0;
        for (auto c : ComputerFrames()) n += c == control;
        return n;
    }
    // Control bytes the simulator sent, in order.
    Bytes RegisterFrames() const {
        Bytes out;
        for (const auto& r : Sim.History())
            if (!r.Incoming && !r.Block && r.Bytes.size() == 5 && r.Bytes[0] == 0x7F) out.push_back(r.Bytes[3]);
        return out;
    }
    // Waits until the simulator has seen a frame that the computer sent
    // without expecting an answer (DISC, the last ACK).
    void Settle() const { usleep(30000); }

    TRegisterSimulator Sim;
    TComPort Port;
    TKKM Kkm;
    TProtocolKKM Link;
};

inline TKKMPacket Request(const Bytes& bytes) {
    TKKMPacket p;
    p.Length = static_cast<std::int32_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), p.Data);
    return p;
}

inline Bytes AnswerBytes(const TKKMPacket& p) { return Bytes(p.Data, p.Data + p.Length); }

// A line whose far end the test writes and reads itself, for frame-level
// checks: the computer's side is open on it.
struct TScriptedLine {
    TScriptedLine() {
        std::string error;
        EXPECT_TRUE(Line.Open(error)) << error;
        Port.SetDevicePath(Line.DevicePath());
        EXPECT_TRUE(Port.Open());
        Kkm.Port = &Port;
        Link.KKM = &Kkm;
    }
    void Put(const Bytes& bytes) { ASSERT_TRUE(Line.Send(bytes, true)); }
    // Everything the computer wrote within the time.
    Bytes Take(int waitMs = 100) {
        Bytes bytes;
        std::vector<TSimLine::Clock::time_point> at;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (std::chrono::steady_clock::now() < end) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (Line.Receive(bytes, at, static_cast<int>(left.count()) + 1) == TSimLine::TReceive::Timeout) break;
        }
        return bytes;
    }

    TSimLine Line;
    TComPort Port;
    TKKM Kkm;
    TProtocolKKM Link;
};

inline Bytes Frame(int net, std::uint8_t c) {
    const auto f = kkmlink::BuildControlFrame(net, c);
    return Bytes(f.begin(), f.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace linktest
