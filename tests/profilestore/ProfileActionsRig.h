// The profile list, buttons and exit question against the register simulator
// on a real pseudo-terminal, with the store in a scratch working directory.
#pragma once
#include "TestFiles.h"
#include "kkm/RegisterSession.h"
#include "link/LinkTestSupport.h"
#include "profiles/ProfileActions.h"
#include "profiles/ProfileStore.h"
#include "settings/OptionCatalogue.h"
#include "settings/SettingsActions.h"
#include "settings/Unitbd.h"
#include "sim/RegisterSimulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace profiletest {

inline TSimOptions Unpaced() {
    TSimOptions o;
    o.Speed = 0;
    return o;
}

struct TProfileRig {
    TProfileRig() {
        std::string error;
        EXPECT_TRUE(Sim.Start(error)) << error;
        Session.ComPort.SetDevicePath(Sim.DevicePath());
        Session.KKM.NetNumber = 1;
        BD.InfoSource = [this] { return Session.Info(); };
        Settings.AddAfterConnectStep();
        Profiles.AddAfterConnectStep();
        Store.DecimalSeparator = '.';
        Profiles.InputQuery = [this](const std::string& caption, const std::string& prompt,
                                     const std::string& initial) -> std::optional<std::string> {
            Asked.push_back(caption + "|" + prompt + "|" + initial);
            return Answer;
        };
    }
    ~TProfileRig() {
        if (Session.ComPort.IsOpen()) Session.ComPort.Close();
    }

    TSimState State() const { return Sim.State(); }
    void SetState(const TSimState& s) { Sim.SetState(s); }

    // A profile row written straight into the store (another register's,
    // or a template of some version).
    void StoreRow(const std::string& name, const std::string& sn, const std::string& version, const std::string& key) {
        ASSERT_TRUE(Store.Open());
        ASSERT_TRUE(Store.Profile.Append());
        Store.Profile.SetText("NAME", name);
        Store.Profile.SetText("SN", sn);
        Store.Profile.SetText("TYPEKKM", version);
        Store.Profile.SetText("LN", key);
        ASSERT_TRUE(Store.Profile.Post());
        ASSERT_TRUE(Store.Options.Append());
        Store.Options.SetInteger("NUM", 1);
        Store.Options.SetInteger("VAL", 3);
        Store.Options.SetText("OLN", key);
        ASSERT_TRUE(Store.Options.Post());
    }

    std::vector<std::string> ListNames() {
        std::vector<std::string> out;
        for (int i = 0; i < BD.mtProfile.RecordCount(); ++i) out.push_back(BD.mtProfile.VisibleRecord(i).AsString("Name"));
        return out;
    }
    std::vector<std::string> ListKeys() {
        std::vector<std::string> out;
        for (int i = 0; i < BD.mtProfile.RecordCount(); ++i) out.push_back(BD.mtProfile.VisibleRecord(i).AsString("LN"));
        return out;
    }
    // Register profile option rows drawn blue (differing from the saved profile).
    int BlueMarks() {
        BD.mtProfile.First();
        int n = 0;
        for (int i = 0; i < BD.mtOptions.RecordCount(); ++i) n += OptionDiffers(BD.mtOptions.VisibleRecord(i), BD);
        return n;
    }
    bool AllLoaded() const {
        return Settings.OptionsLoaded && Settings.DepsLoaded && Settings.TitleLoaded && Settings.TaxLoaded;
    }
    std::vector<TStoredProfile> Stored() {
        std::vector<TStoredProfile> all;
        EXPECT_TRUE(Store.Find({}, all));
        return all;
    }
    // Changes the register profile's option n (1-based) to v.
    void EditRegisterOption(int n, int v) {
        BD.mtProfile.First();
        BD.mtOptions.GoToRow(n - 1);
        BD.mtOptions.Edit();
        BD.mtOptions.SetValue("Value", v);
        BD.mtOptions.Post();
    }

    TScratchDir Dir{true};      // the working directory: the store goes to ./bd
    linktest::TLogCapture Log;  // resets the switches
    TRegisterSimulator Sim{Unpaced()};
    TRegisterSession Session;
    TBD BD;
    TSettingsActions Settings{Session, BD};
    TProfileStore Store{BD};
    TProfileActions Profiles{Session, BD, Store,
                             {&Settings.OptionsLoaded, &Settings.DepsLoaded, &Settings.TitleLoaded, &Settings.TaxLoaded}};
    std::optional<std::string> Answer;  // what the template name box answers
    std::vector<std::string> Asked;     // caption|prompt|initial of each box
};

}  // namespace profiletest
