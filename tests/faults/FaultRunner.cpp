// Running one case of the matrix and judging what it left.
#include "FaultMatrix.h"

#include <algorithm>
#include <chrono>

namespace faults {

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

// The first line where two texts differ, both ways.
std::string FirstDifference(const std::string& got, const std::string& want) {
    std::size_t a = 0, b = 0;
    while (a < got.size() || b < want.size()) {
        const std::size_t ea = std::min(got.find('\n', a), got.size());
        const std::size_t eb = std::min(want.find('\n', b), want.size());
        const std::string la = got.substr(a, ea - a), lb = want.substr(b, eb - b);
        if (la != lb) return "got \"" + la.substr(0, 160) + "\", want \"" + lb.substr(0, 160) + "\"";
        a = ea + 1;
        b = eb + 1;
    }
    return "same lines, different ends";
}

// The register's content for the case, and the image the computer starts with.
void Prepare(const TMatrixRow& row, TSimState& state, TKKMInfo& image) {
    image = BaselineImage();
    row.SetUp(state, image);
}

// An error or warning line, or the trace of the register's own refusal
// (WAIT, BUSY, REJ, RST end an exchange without a line of the link's own;
// the callers add theirs).
bool ReportsFailure(const std::string& log) {
    for (const char* mark : {"Error:", "Warning:", ">WAIT ПК<-ККМ", ">BUSY ПК<-ККМ", ">REJ  ПК<-ККМ", ">RST  ПК<-ККМ"})
        if (log.find(mark) != std::string::npos) return true;
    return false;
}

}  // namespace

long long BoundMs(TRowKind kind, int frames, bool portTimeouts, int exchanges) {
    const TComPort defaults;
    const long long constant = portTimeouts ? defaults.ReadTotalTimeoutConstant : 50;
    // One pass: at most one read that runs into its time-out (it ends the
    // pass), ten frames each with the 10 ms pause of a resynchronisation,
    // then the pauses between passes (50 ms, 350 ms once a hook has data).
    const long long pass = constant + defaults.ReadTotalTimeoutMultiplier * 5 + 10 * 10 + 50 + 350;
    // Six passes without an accepted DATA frame; a stream starts counting
    // again with every frame it takes.
    const long long passes = kind == TRowKind::Stream ? 6LL * (frames + 1) : 6;
    // Start and end pauses, DISC, reopening the port.
    const long long fixed = 10 + 10 + 50 + 50;
    return 2 * exchanges * (passes * pass + fixed) + 1000;
}

TCleanRun RunClean(const TMatrixRow& row) {
    TCleanRun clean;
    TSimState state;
    TKKMInfo image;
    Prepare(row, state, image);
    TFaultRig rig(false);
    std::string error;
    if (!rig.Start(state, image, error)) {
        clean.Problems.push_back("the simulator did not start: " + error);
        return clean;
    }
    clean.Local0 = row.Local(rig);
    clean.Sim0 = rig.SimText();
    const auto t0 = Clock::now();
    const bool ok = row.Run(rig);
    clean.Ms = MsSince(t0);
    rig.Settle();
    clean.Local1 = row.Local(rig);
    clean.Sim1 = rig.SimText();
    if (!ok) clean.Problems.push_back("fails without a fault: " + rig.Log.Text());
    // Otherwise the matrix could not tell an answer stored or a write applied
    // from nothing at all.
    if (clean.Local0 == clean.Local1 && clean.Sim0 == clean.Sim1)
        clean.Problems.push_back("changes nothing without a fault");
    return clean;
}

TCaseResult RunCase(const TMatrixRow& row, const TFaultPosition& position, const TCleanRun& clean) {
    TCaseResult r;
    const int oversizeFrames = (position.OversizeBytes + 254) / 255;
    r.BoundMs = BoundMs(row.Kind, std::max(row.Frames, oversizeFrames), position.PortTimeouts, row.Exchanges);
    const auto problem = [&r](std::string text) { r.Problems.push_back(std::move(text)); };

    TSimState state;
    TKKMInfo image;
    Prepare(row, state, image);
    TFaultRig rig(position.PortTimeouts, position.Echo);
    std::string error;
    if (!rig.Start(state, image, error)) {
        problem("the simulator did not start: " + error);
        return r;
    }
    const std::string local0 = row.Local(rig);
    for (const auto& fault : position.SimFaults)
        if (!rig.Sim.AddFault(fault, error)) problem("bad fault " + fault + ": " + error);
    rig.Log.Clear();

    const auto t0 = Clock::now();
    r.Ok = row.Run(rig);
    r.Ms = MsSince(t0);
    rig.Settle();
    const std::string local = row.Local(rig);
    const std::string sim = rig.SimText();
    const std::string log = rig.Log.Text();
    r.Log = log;

    if (r.Ms > r.BoundMs) problem("took " + std::to_string(r.Ms) + " ms, the bound is " + std::to_string(r.BoundMs));
    if (position.Expect == TExpect::Recover && !r.Ok) problem("failed where it must recover");
    if (position.Expect == TExpect::Fail && r.Ok) problem("reported success where it must fail");
    if (!r.Ok && !ReportsFailure(log)) problem("failed without an error or warning line");

    const std::string& whole =
        position.OversizeBytes && row.OversizeResult ? row.OversizeResult(position.OversizeBytes) : clean.Local1;
    if (r.Ok) {
        if (local != whole) problem("reported success with wrong data: " + FirstDifference(local, whole));
        if (sim != clean.Sim1) problem("reported success, the register holds something else");
        r.Outcome = "recovered";
    } else {
        if (row.PartOf) {
            if (!row.PartOf(local, whole)) problem("failed and kept data that did not arrive so: " + FirstDifference(local, whole));
            const auto count = row.Count ? row.Count : Lines;
            r.Outcome = "failed, kept " + std::to_string(count(local)) + " of " + std::to_string(count(whole));
        } else {
            if (local != local0) problem("failed but changed the image: " + FirstDifference(local, local0));
            r.Outcome = "failed, nothing stored";
        }
        if (sim == clean.Sim1 && sim != clean.Sim0)
            r.Outcome = "failed, write applied";
        else if (sim != clean.Sim0)
            problem("failed and the register holds neither the old nor the new content");
        else if (clean.Sim0 != clean.Sim1)
            r.Outcome = "failed, nothing written";
    }

    // Whatever the fault left on the line, the next command gets through.
    rig.Sim.ClearFaults();
    rig.Session.Protocol.OnData = nullptr;
    if (!rig.Session.Protocol.GetDateTime()) {
        const std::string after = rig.Log.Text();
        problem("the next command failed too: " + after.substr(after.size() > 2000 ? after.size() - 2000 : 0));
    }
    return r;
}

}  // namespace faults
