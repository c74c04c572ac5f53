// The main window's register: one serial port, one link and one register
// record, the connect sequence, the values the connection panel shows, and
// the rule every page action follows before it talks to the register.
#pragma once
#include "app/ConfigFile.h"
#include "app/Utilscolor.h"
#include "kkm/U_kkms.h"
#include "link/U_protocolkkm.h"

#include <functional>
#include <string>
#include <vector>

constexpr TColor PanelColorConnected = 0x008000;     // green
constexpr TColor PanelColorDisconnected = 0xC0C0C0;  // silver
constexpr TColor PanelColorNoModelData = 0x0000FF;   // red: the model's configuration was not found

class TRegisterSession {
public:
    TRegisterSession();
    TRegisterSession(const TRegisterSession&) = delete;
    TRegisterSession& operator=(const TRegisterSession&) = delete;

    TComPort ComPort;
    TKKM KKM;
    TProtocolKKM Protocol;

    // What the six value labels show, and their colours.
    struct TLabels {
        std::string Model, SN, Ver, Mode, Date, Time;
        TColor Color = PanelColorConnected;
        TColor VerColor = PanelColorConnected;
    } Labels;

    // Run after every successful connect, before "Подключились!", in order.
    std::vector<std::function<void()>> AfterConnectSteps;
    // The port has just opened (the panel drops a "BUSY" mark then).
    std::function<void()> OnPortOpened;
    // Labels or the connected state changed.
    std::function<void()> OnChanged;

    bool IsConnected() const { return ComPort.IsOpen(); }
    TKKMInfo* Info() const { return KKM.Info.get(); }

    // Connects, or disconnects when the port is open (returns false then).
    bool Connect();
    // Identity, clock and options; each failure shows its error box.
    bool ReadRegisterState();
    // The rule of every page action that needs the register: connect when
    // the port is closed; when that fails, the error "Не удалось подключиться!".
    bool EnsureConnected();

    // The Port section and NET/NUMBER of the settings file; saving tries both
    // and notes what could not be written.
    void LoadSettings();
    void SaveSettings(TUnsavedSettings& unsaved);

private:
    void Changed() {
        if (OnChanged) OnChanged();
    }
};
