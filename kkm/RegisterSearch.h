// Finds the registers on the machine: every port searched at once, each at
// the line speeds in turn, with RDY to the settings' network number or to all
// of them; every answer is confirmed with the identity command. Ports in use
// are listed as busy and left alone. The search reports as it goes and lets
// the window work meanwhile; no port stays open afterwards.
#pragma once
#include "kkm/KKMCommands.h"
#include "kkm/RegisterProbe.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct TSearchPort {
    int Number = 0;  // port number 1..256
    std::string Device;
    bool Busy = false;  // held by another program: not searched
};

struct TFoundRegister {
    int Port = 0;
    std::string Device;
    int Speed = 0;
    int Net = 0;
    TKKMIdentity Identity;
};

// The ports of EnumComPorts with their devices, busy ones marked.
std::vector<TSearchPort> SearchPortList();
// The ten line speeds in the order they are tried: first (the settings'
// speed), then 115200, 57600, 38400, 19200, 9600, then the rest, fastest first.
std::vector<int> SearchSpeedOrder(int first);
// "COM<n> <speed> <net> <model> <serial number> <version>".
std::string FoundRegisterLine(const TFoundRegister& r);

class TRegisterSearch {
public:
    int FirstSpeed = 19200;  // the settings' speed
    int NetNumber = 1;       // the settings' network number
    bool AllNets = false;    // every network number 1..98 instead
    // What a register may take beyond the wire time to answer RDY; more for
    // adapters (or simulators) that answer late.
    int AnswerMarginMs = DefaultAnswerMarginMs;

    // Called on the caller's thread, as things happen.
    std::function<void(const TFoundRegister&)> OnFound;
    std::function<void(const TSearchPort&)> OnBusy;
    // Probes done out of all (one probe: one port at one speed).
    std::function<void(int done, int total)> OnProgress;

    // Searches the ports that are not busy and returns what it found, ordered
    // by port and network number. Lets the window process its events while
    // it waits; a handler may call Stop. Found registers and busy ports also
    // go to console and log.
    std::vector<TFoundRegister> Run(const std::vector<TSearchPort>& ports);
    // Ends a running search soon; Run returns what was found so far.
    void Stop() { stop_ = true; }
    bool Running() const { return running_; }
    // The last search ended by Stop.
    bool Stopped() const { return stopped_; }

private:
    std::atomic<bool> stop_{false};
    bool running_ = false;
    bool stopped_ = false;
};
