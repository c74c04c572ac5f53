// The register commands against the simulator on a pseudo-terminal: the link
// rig of the link tests with a device image, the requests the simulator
// received, and answers shaped by hand.
#pragma once
#include "kkm/KKMCommands.h"
#include "link/LinkTestSupport.h"
#include "sim/SimCommands.h"

#include <memory>
#include <mutex>
#include <vector>

namespace kkmtest {

using linktest::Bytes;
using linktest::TLogCapture;

// A register rig whose simulator keeps every request it is asked.
struct TCommandRig : linktest::TLinkRig {
    TCommandRig() {
        auto seen = Seen;
        for (int code = 0x01; code <= 0x11; ++code)
            Sim.RegisterCommand(static_cast<std::uint8_t>(code),
                                TSimStreamHandler([seen, commands = std::make_shared<TSimCommands>()](
                                                      TSimState& state, const TSimRequest& r, bool more) {
                                    {
                                        std::lock_guard<std::mutex> lock(seen->Mutex);
                                        seen->Requests.push_back(r);
                                        seen->Flags.push_back(more);
                                    }
                                    return commands->Handle(state, r, more);
                                }));
    }
    TKKMInfo& Info() { return kkmcmd::EnsureInfo(Kkm); }
    // Requests the simulator took, in order (read after the command returned).
    std::vector<Bytes> Taken() const {
        std::lock_guard<std::mutex> lock(Seen->Mutex);
        return Seen->Requests;
    }
    Bytes LastRequest() const {
        const auto all = Taken();
        return all.empty() ? Bytes{} : all.back();
    }
    // The continuation flag of the last request's DATA frame.
    bool LastFlag() const {
        std::lock_guard<std::mutex> lock(Seen->Mutex);
        return !Seen->Flags.empty() && Seen->Flags.back();
    }
    // Nothing at all went to the register.
    bool NothingSent() const { return ComputerFrames().empty(); }
    // The state the simulator holds now.
    TSimState State() const { return Sim.State(); }
    // The next request is answered with these bytes instead.
    void Answer(const Bytes& bytes) { Sim.PrepareAnswer(bytes); }

    struct TSeen {
        std::mutex Mutex;
        std::vector<Bytes> Requests;
        std::vector<bool> Flags;
    };
    std::shared_ptr<TSeen> Seen = std::make_shared<TSeen>();
};

inline Bytes Cat(std::initializer_list<Bytes> parts) { return linktest::Concat(parts); }

// A text field of width bytes: code page 1251, NUL-padded.
inline Bytes Field(const std::string& utf8, std::size_t width) {
    Bytes b(width, 0);
    const std::string cp = Utf8ToCp1251(utf8);
    std::copy_n(cp.begin(), std::min(width, cp.size()), b.begin());
    return b;
}

}  // namespace kkmtest
