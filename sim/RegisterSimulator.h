// A register on a pseudo-terminal, run on its own thread: what the tests, the
// demonstration and a user without hardware talk to. The program vornik-sim
// wraps it; tests run it in-process.
#pragma once
#include "sim/SimCommands.h"
#include "sim/SimFaults.h"
#include "sim/SimLine.h"
#include "sim/SimRecorder.h"
#include "sim/SimState.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TSimOptions {
    int Speed = 19200;        // line speed the bytes are paced at; 0: no pacing
    bool StrictSpeed = false; // nothing heard or answered while the computer's side runs at another speed
    int NetNumber = 0;        // 1..98; 0 takes the state's
    int Mode = -1;            // 0 autonomous, 1 on-line, 2 off-line; -1 takes the state's
    int ComNumber = 0;        // > 0: the link <PortsDir>/COM<n> points at the device
    std::string PortsDir = "ports";  // relative to the working directory
    std::string StateFile;    // empty: the default register, nothing saved
    std::string LogFile;      // frame log in hexadecimal; empty: none
    bool Echo = false;        // every byte from the computer goes back to it first (two-wire RS-485)
};

class TRegisterSimulator {
public:
    explicit TRegisterSimulator(TSimOptions options = {});
    ~TRegisterSimulator();  // stops
    TRegisterSimulator(const TRegisterSimulator&) = delete;
    TRegisterSimulator& operator=(const TRegisterSimulator&) = delete;

    // Loads the state, opens the line, makes the port link and starts the
    // thread. False with the reason, nothing left behind, on failure.
    bool Start(std::string& error);
    // Stops the thread, saves the state (when a state file is set), removes
    // the port link and closes the line. False when the state could not be
    // saved (StopError says why).
    bool Stop();
    const std::string& StopError() const { return stopError_; }
    bool Running() const { return thread_.joinable(); }

    const std::string& DevicePath() const { return line_.DevicePath(); }
    // The port link made for ComNumber, empty without one.
    const std::string& ComLinkPath() const { return comLink_; }
    const TSimOptions& Options() const { return options_; }

    // Fault injection; Clear also starts the event counts again.
    void AddFault(const TSimFault& fault) { faults_.Add(fault); }
    bool AddFault(const std::string& faultText, std::string& error);
    void ClearFaults() { faults_.Clear(); }

    // The next requests, whatever their command, are answered with these
    // instead (first prepared, first used).
    void PrepareAnswer(const std::vector<std::uint8_t>& answer, std::size_t frameSize = 255);
    void PrepareFrames(TSimFrames frames);
    // A stream of count frames of size bytes each, shaped like journal
    // frames: 01 0F 00 (result 0), the frame's number (4 bytes, low first),
    // then a fill pattern.
    void PrepareStream(int count, std::size_t size);

    // Adds or replaces a command (before or while running).
    void RegisterCommand(std::uint8_t code, TSimCommandHandler handler);
    void RegisterCommand(std::uint8_t code, TSimStreamHandler handler);

    TSimState State() const;
    void SetState(const TSimState& state);
    bool SaveState(std::string& error) const;

    std::vector<TSimFrameRecord> History() const { return recorder_.History(); }
    void ClearHistory() { recorder_.ClearHistory(); }

private:
    void Run();
    TSimFrames Execute(const TSimRequest& request, bool continuation);
    bool MakeComLink(std::string& error);
    void RemoveComLink();

    TSimOptions options_;
    TSimLine line_;
    TSimFaultPlan faults_;
    TSimRecorder recorder_;
    mutable std::mutex mutex_;  // state, commands, prepared answers
    TSimState state_;
    TSimCommands commands_;
    std::deque<TSimFrames> prepared_;
    std::string comLink_;
    std::string stopError_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
};
