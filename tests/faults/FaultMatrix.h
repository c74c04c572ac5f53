// The link fault matrix: every register command and both streamed transfers
// run against the simulated register while it makes one kind of fault at one
// place of the exchange. Each case must end within its bound, report a
// failure as a failure, give the right data when it recovers, and store or
// write nothing wrong.
#pragma once
#include "app/TransferState.h"
#include "kkm/RegisterSession.h"
#include "link/LinkTestSupport.h"
#include "settings/Unitbd.h"
#include "sim/RegisterSimulator.h"

#include <functional>
#include <string>
#include <vector>

namespace faults {

// How the register answers the operation: one DATA frame right after the
// acknowledgement, one DATA frame in the pass after it (the request's flag
// clear), or a stream of DATA frames taken one by one by a hook.
enum class TRowKind { Command, SecondPass, Stream };

// What a case must end in.
enum class TExpect { Recover, Fail, Either };
const char* ExpectText(TExpect e);

struct TFaultPosition {
    std::string Label;               // where in the exchange
    std::vector<std::string> SimFaults;  // what the simulator is told to do
    TExpect Expect = TExpect::Recover;
    bool PortTimeouts = false;  // the port's own time-outs: the point is the time-out
    int OversizeBytes = 0;      // the answer is replaced by this many bytes
    bool Echo = false;          // a two-wire line: the computer hears its own bytes
};

struct TFaultKind {
    std::string Name;
    std::vector<TFaultPosition> Positions;
};

// Every fault kind the simulator can make, at the places that exist in an
// exchange of this kind (with this many DATA frames in the answer).
std::vector<TFaultKind> FaultKinds(TRowKind row, int frames);

// The computer's side of one case: the main window's register session, the
// data module and the transfer state, on a fresh simulator.
class TFaultRig {
public:
    explicit TFaultRig(bool portTimeouts, bool echo = false);
    ~TFaultRig();
    TFaultRig(const TFaultRig&) = delete;
    TFaultRig& operator=(const TFaultRig&) = delete;

    // Starts the simulator on state, gives the register record the image
    // and opens the port (the connection is there before the operation).
    bool Start(const TSimState& state, const TKKMInfo& image, std::string& error);
    TKKMInfo& Info() { return *Session.KKM.Info; }
    // Until the simulator has taken what the computer sent last.
    void Settle() const;
    // The simulator's content as text.
    std::string SimText() const;

    linktest::TLogCapture Log{mdFunctional};  // first: it resets the switches
    TRegisterSimulator Sim;
    TRegisterSession Session;
    TBD BD;
    TTransferState Transfer;
    // The journal page's two text areas.
    std::string JournalSource, JournalText;

private:
    static TSimOptions Unpaced(bool echo);
};

// One row of the matrix: a command or a streamed transfer with the data it
// works on.
struct TMatrixRow {
    std::string Name;
    TRowKind Kind = TRowKind::Command;
    int Frames = 1;     // DATA frames of the register's answer
    int Exchanges = 1;  // exchanges the operation runs
    // The simulator's content and the device image before the operation:
    // what a read brings must differ from the image, what a write sends
    // must differ from the register.
    std::function<void(TSimState&, TKKMInfo&)> SetUp;
    std::function<bool(TFaultRig&)> Run;
    // What the operation may change on the computer's side, as text.
    std::function<std::string(TFaultRig&)> Local;
    // Streams: what a failed transfer may leave (what had arrived) compared
    // with the whole result. Unset: a failure must leave Local unchanged.
    std::function<bool(const std::string& got, const std::string& whole)> PartOf;
    // Streams: the items (rows, lines) in a Local text; unset: its lines.
    std::function<int(const std::string&)> Count;
    // Streams: Local after the register streamed an oversize answer of this
    // many bytes instead of its own.
    std::function<std::string(int bytes)> OversizeResult;
};

std::vector<TMatrixRow> CommandRows();
// Settings page actions: many commands, and the working tables.
std::vector<TMatrixRow> PageRows();
std::vector<TMatrixRow> StreamRows();

// The device image every row starts from: the model file of the simulated
// register, and values that differ from the simulator's everywhere.
TKKMInfo BaselineImage();
// Every field of the image as text (TimeText left out when maskTime).
std::string ImageText(const TKKMInfo& info, bool maskTime = false);
// Every visible row of the table, one line each.
std::string TableText(TMemTable& t);

// A clean run of a row: what it starts from and what it ends with.
struct TCleanRun {
    std::string Local0, Local1;  // before and after
    std::string Sim0, Sim1;
    long long Ms = 0;
    std::vector<std::string> Problems;  // the clean run itself went wrong
};
TCleanRun RunClean(const TMatrixRow& row);

struct TCaseResult {
    bool Ok = false;       // what the operation returned
    long long Ms = 0;      // how long it took
    long long BoundMs = 0;
    std::string Outcome;   // for the table
    std::vector<std::string> Problems;
    std::string Log;       // the log of the operation (UTF-8)
};
TCaseResult RunCase(const TMatrixRow& row, const TFaultPosition& position, const TCleanRun& clean);

// The most an operation may take: the exchange's pass limit times the
// longest pass (one port time-out, ten frames' pauses, the pauses between
// passes), doubled, with a second of scheduling slack.
long long BoundMs(TRowKind kind, int frames, bool portTimeouts, int exchanges = 1);

}  // namespace faults
