// The demo register: the register simulator started as a child process on a
// pseudo-terminal and mapped to a free port number through the ports folder,
// so the configurator can be tried without a register.
#pragma once
#include <string>
#include <sys/types.h>

class TDemoRegister {
public:
    ~TDemoRegister() { Stop(); }

    // Starts vornik-sim beside this program with its state in stateFile; false
    // with a reason when it cannot be started.
    bool Start(int speed, const std::string& stateFile, std::string& error);
    // Stops the simulator; it saves its state and removes its port link.
    void Stop();

    bool Running() const { return pid_ > 0; }
    int PortNumber() const { return port_; }
    const std::string& DevicePath() const { return device_; }

    // The first port number 1..256 that has no device on this machine and no
    // link in the ports folder; 0 when none.
    static int FreePortNumber();

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string device_;
};
