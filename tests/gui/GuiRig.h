// A main window in a scratch working directory, with the register simulator
// on a pseudo-terminal mapped to a port number through the ports folder.
#pragma once
#include "app/ConnectionPanel.h"
#include "app/ConsolePanel.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "sim/RegisterSimulator.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

constexpr int kRigPort = 7;

struct TGuiRig {
    // simPort: the port number the simulator is mapped to (0: no simulator).
    explicit TGuiRig(int simPort = kRigPort, const std::string& settings = "") {
        ResetSwitches();
        isAUTONOM = true;
        SetLogFileName(dir.File("vornik-config.log"));
        WriteBytes(dir.File("VornikConfig.ini"),
                   settings.empty() ? "[Port]\r\nCOMPort=" + std::to_string(kRigPort) + "\r\n" : settings);
        if (simPort > 0) {
            TSimOptions o;
            o.Speed = 0;
            o.ComNumber = simPort;
            Sim = std::make_unique<TRegisterSimulator>(o);
            std::string error;
            EXPECT_TRUE(Sim->Start(error)) << error;
        }
        Window = std::make_unique<TfmMain>();
        Window->FormCreate();
    }
    ~TGuiRig() {
        Window.reset();
        Sim.reset();
        ResetSwitches();
    }
    std::string Log() const { return ReadCp1251(dir.File("vornik-config.log")); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    TConnectionPanel& Panel() const { return *Window->ConnectionPanel(); }

    TScratchDir dir{true};
    std::unique_ptr<TRegisterSimulator> Sim;
    std::unique_ptr<TfmMain> Window;
};
