// The settings operations against the register simulator on a real
// pseudo-terminal: a session whose port is the simulator's line, the data
// module, the operations, a captured log and a progress window that records
// what it was asked to do.
#pragma once
#include "app/ProgressWait.h"
#include "kkm/RegisterSession.h"
#include "link/LinkTestSupport.h"
#include "settings/SettingsActions.h"
#include "settings/Unitbd.h"
#include "sim/RegisterSimulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace settingstest {

// The progress window of the tests: remembers every call.
struct TWaitRecorder : IWaitWindow {
    TWaitRecorder() { SetWaitWindow(this); }
    ~TWaitRecorder() override { SetWaitWindow(nullptr); }
    void ShowWait(int intervalMs, const std::string& message) override {
        Shown.push_back(intervalMs);
        Texts.push_back(message);
        Visible = true;
    }
    void HideWait() override {
        ++Hidden;
        Visible = false;
    }
    void Clear() {
        Shown.clear();
        Texts.clear();
        Hidden = 0;
    }
    std::vector<int> Shown;
    std::vector<std::string> Texts;
    int Hidden = 0;
    bool Visible = false;
};

struct TSettingsRig {
    TSettingsRig() {
        std::string error;
        EXPECT_TRUE(Sim.Start(error)) << error;
        Session.ComPort.SetDevicePath(Sim.DevicePath());
        Session.KKM.NetNumber = 1;
        BD.InfoSource = [this] { return Session.Info(); };
        Actions.AddAfterConnectStep();
    }
    ~TSettingsRig() {
        if (Session.ComPort.IsOpen()) Session.ComPort.Close();
    }
    static TSimOptions Unpaced() {
        TSimOptions o;
        o.Speed = 0;
        return o;
    }

    // The register's content, changed before the test talks to it.
    TSimRegister Register() const { return Sim.State().Register; }
    void SetRegister(const TSimRegister& r) {
        TSimState s = Sim.State();
        s.Register = r;
        Sim.SetState(s);
    }
    // The port points at nothing: every connect fails at once.
    void SwitchRegisterOff() { Session.ComPort.SetDevicePath("/nonexistent/vornik-register"); }
    bool Connect() { return Session.Connect(); }
    TKKMInfo& Info() { return *Session.Info(); }

    // A saved profile in the profile list, made current, with option rows
    // of the given values (option 1 first).
    void AddSavedProfile(const std::string& key, const std::vector<int>& options) {
        BD.mtProfile.Append();
        BD.mtProfile.SetValue("Name", "Сохранённый");
        BD.mtProfile.SetValue("LN", key);
        BD.mtProfile.Post();
        BD.mtProfile.Last();
        for (std::size_t i = 0; i < options.size(); ++i) {
            BD.mtOptions.Append();
            BD.mtOptions.SetValue("num", static_cast<int>(i + 1));
            BD.mtOptions.SetValue("Value", options[i]);
            BD.mtOptions.Post();
        }
    }

    linktest::TLogCapture Log;  // first: it resets the switches
    TWaitRecorder Wait;
    TRegisterSimulator Sim{Unpaced()};
    TRegisterSession Session;
    TBD BD;
    TSettingsActions Actions{Session, BD};
};

// Values of one field over the visible rows of a table.
inline std::vector<std::string> Texts(TMemTable& t, const char* field) {
    std::vector<std::string> out;
    const int f = t.FieldIndex(field);
    for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleValue(i, f).AsString());
    return out;
}

inline std::vector<int> Numbers(TMemTable& t, const char* field) {
    std::vector<int> out;
    const int f = t.FieldIndex(field);
    for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleValue(i, f).AsInteger());
    return out;
}

}  // namespace settingstest
