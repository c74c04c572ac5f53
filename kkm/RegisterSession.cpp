#include "kkm/RegisterSession.h"

#include "app/ConfigFile.h"
#include "app/Dialog.h"

TRegisterSession::TRegisterSession() {
    KKM.Port = &ComPort;
    Protocol.KKM = &KKM;
}

bool TRegisterSession::Connect() {
    if (ComPort.IsOpen()) {
        ComPort.Close();
        Labels.Color = Labels.VerColor = PanelColorDisconnected;
        Mess("Отключились!", false, true, true);
        Changed();
        return false;
    }
    if (!ComPort.Open()) {
        Error("не удалось откыть порт", true, true, true);
        return false;
    }
    if (OnPortOpened) OnPortOpened();
    if (!ReadRegisterState()) {
        ComPort.Close();
        Changed();
        return false;
    }
    Labels.Color = PanelColorConnected;
    const TKKMInfo* info = Info();
    Labels.VerColor = info && info->GetOptionCaption(1).find("def:") != std::string::npos ? PanelColorNoModelData
                                                                                          : PanelColorConnected;
    Changed();
    for (const auto& step : AfterConnectSteps) step();
    Mess("Подключились!", false, true, true);
    return true;
}

bool TRegisterSession::ReadRegisterState() {
    if (!Protocol.GetKKMInfo()) {
        // Mostly a wrong port, speed or network number: the search tries them all.
        Error("не удалось получить информацию о ККМ. Проверьте порт, скорость и сетевой номер или найдите ККМ "
              "кнопкой \"Поиск ККМ\"",
              true, true, true);
        return false;
    }
    const TKKMInfo& info = *Info();
    Labels.Model = info.Model;
    Labels.SN = info.SerialNumber;
    Labels.Ver = info.Version;
    Labels.Mode = KKMModeText(info.Mode);
    Changed();
    if (!Protocol.GetDateTime()) {
        Error("не удалось получить информацию о Дате и времени", true, true, true);
        return false;
    }
    Labels.Date = info.DateText;
    Labels.Time = info.TimeText;
    Changed();
    if (!Protocol.GetOptions()) {
        Error("не удалось получить опции", true, true, true);
        return false;
    }
    return true;
}

bool TRegisterSession::EnsureConnected() {
    if (ComPort.IsOpen() || Connect()) return true;
    Error("Не удалось подключиться!", true, true, true);
    return false;
}

void TRegisterSession::LoadSettings() {
    ComPort.LoadFromIni(ConfigFileName, "Port");
    KKM.NetNumber = static_cast<std::uint8_t>(ReadNetNumber());
}

void TRegisterSession::SaveSettings(TUnsavedSettings& unsaved) {
    std::string error;
    unsaved.Note(ComPort.SaveToIni(ConfigFileName, "Port", &error), "Port", error);
    unsaved.Note(WriteNetNumber(KKM.NetNumber, &error), "NET", error);
}
