// The real main window with its settings page, talking straight to the
// register simulator's pseudo-terminal (unpaced), in a scratch working
// directory that also holds the log and the profile store.
#pragma once
#include "app/MainWindow.h"
#include "settings/SettingsPage.h"

#include "TestFiles.h"
#include "app/Dialog.h"
#include "sim/RegisterSimulator.h"

#include <gtest/gtest.h>

#include <memory>

class TSettingsPageFixture : public ::testing::Test {
protected:
    static TSimOptions Unpaced() {
        TSimOptions o;
        o.Speed = 0;
        return o;
    }

    void SetUp() override {
        ResetSwitches();
        isAUTONOM = true;
        SetLogFileName(dir.File("vornik-config.log"));
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        w = std::make_unique<TfmMain>();
        w->FormCreate();
        w->Session.ComPort.SetDevicePath(sim.DevicePath());
        w->Session.KKM.NetNumber = 1;
        page = w->SettingsPage();
    }
    void TearDown() override {
        if (w) w->FormClose();
        w.reset();
        sim.Stop();
        ResetSwitches();
        SetLogFileName("");
    }

    std::string Log() const { return ReadCp1251(dir.File("vornik-config.log")); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    TSimRegister Register() const { return sim.State().Register; }

    TScratchDir dir{true};
    TRegisterSimulator sim{Unpaced()};
    std::unique_ptr<TfmMain> w;
    TSettingsPage* page = nullptr;
};
