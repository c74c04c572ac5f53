#include "GuiRig.h"

#include "GuiTestUtil.h"

#include "app/IniFile.h"
#include "app/RegisterSearchForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QTableWidget>
#include <QLabel>
#include <QPushButton>

namespace {

QColor TextColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

}  // namespace

TEST(ConnectionPanel, ConnectShowsTheRegisterAndRunsTheAfterConnectSteps) {
    TGuiRig rig;
    std::string logAtStep;
    rig.Window->Session.AfterConnectSteps.push_back([&] { logAtStep = rig.Log(); });
    auto& p = rig.Panel();
    EXPECT_EQ(S(p.bConnect->text()), "Подключение");
    EXPECT_EQ(S(p.cbComPort->currentText()), "COM7");
    EXPECT_EQ(p.cbComPort->itemData(p.cbComPort->currentIndex(), Qt::ToolTipRole).toString(),
              Q(rig.Sim->DevicePath()));
    ASSERT_TRUE(rig.Window->Connect());
    EXPECT_EQ(S(p.lModel->text()), "ЗЕВРИН-101Ф");
    EXPECT_EQ(S(p.lSN->text()), "001234567890");
    EXPECT_EQ(S(p.lVer->text()), "ver012");
    EXPECT_EQ(S(p.lMode->text()), "ON-LINE");
    EXPECT_EQ(p.lDate->text().size(), 8);
    EXPECT_EQ(p.lTime->text().size(), 8);
    EXPECT_EQ(TextColor(p.lModel), ToQColor(PanelColorConnected));
    EXPECT_EQ(TextColor(p.lVer), ToQColor(PanelColorConnected));  // the model's configuration was found
    EXPECT_FALSE(p.cbComPort->isEnabled());
    EXPECT_FALSE(p.cbSpeedPort->isEnabled());
    EXPECT_FALSE(p.cbNetNum->isEnabled());
    EXPECT_EQ(S(p.bConnect->text()), "Отключение");
    EXPECT_TRUE(rig.Logged("Подключились!"));
    EXPECT_EQ(logAtStep.find("Подключились!"), std::string::npos) << "after-connect steps run before the message";
}

TEST(ConnectionPanel, DisconnectDoesNotTalkToTheRegister) {
    TGuiRig rig;
    ASSERT_TRUE(rig.Window->Connect());
    rig.Sim->ClearHistory();
    rig.Panel().bConnect->click();
    EXPECT_FALSE(rig.Window->Session.IsConnected());
    EXPECT_TRUE(rig.Sim->History().empty());
    EXPECT_TRUE(rig.Logged("Отключились!"));
    EXPECT_EQ(TextColor(rig.Panel().lModel), ToQColor(PanelColorDisconnected));
    EXPECT_EQ(S(rig.Panel().lModel->text()), "ЗЕВРИН-101Ф");  // texts stay
    EXPECT_TRUE(rig.Panel().cbComPort->isEnabled());
    EXPECT_EQ(S(rig.Panel().bConnect->text()), "Подключение");
}

TEST(ConnectionPanel, APortWithoutDeviceFailsToOpen) {
    TGuiRig rig(0, "[Port]\r\nCOMPort=250\r\n");
    EXPECT_FALSE(rig.Window->Connect());
    EXPECT_TRUE(rig.Logged("Selected СОМ-port inaccessible!"));
    EXPECT_TRUE(rig.Logged("не удалось откыть порт"));
    EXPECT_FALSE(rig.Window->Session.IsConnected());
}

TEST(ConnectionPanel, ASilentRegisterFailsTheIdentityAndClosesThePort) {
    TGuiRig rig;
    std::string error;
    ASSERT_TRUE(rig.Sim->AddFault("silent:1:0", error)) << error;
    bool stepRan = false;
    rig.Window->Session.AfterConnectSteps.push_back([&] { stepRan = true; });
    EXPECT_FALSE(rig.Window->Connect());
    EXPECT_TRUE(rig.Logged("не удалось получить информацию о ККМ. Проверьте порт, скорость и сетевой номер или найдите ККМ кнопкой \"Поиск ККМ\""));
    EXPECT_FALSE(rig.Window->Session.IsConnected());
    EXPECT_FALSE(stepRan);
    EXPECT_FALSE(rig.Logged("Подключились!"));
}

TEST(ConnectionPanel, AWrongNetworkNumberFailsLikeASilentRegister) {
    TGuiRig rig(kRigPort, "[Port]\r\nCOMPort=7\r\n[NET]\r\nNUMBER=5\r\n");
    EXPECT_EQ(S(rig.Panel().cbNetNum->currentText()), "5");
    EXPECT_FALSE(rig.Window->Connect());
    EXPECT_TRUE(rig.Logged("не удалось получить информацию о ККМ"));
    EXPECT_FALSE(rig.Window->Session.IsConnected());
}

TEST(ConnectionPanel, SelectorsChangeThePortSpeedAndNetworkNumber) {
    TGuiRig rig;
    auto& p = rig.Panel();
    p.cbSpeedPort->setCurrentIndex(p.cbSpeedPort->findText("115200"));
    EXPECT_EQ(rig.Window->Session.ComPort.GetSpeed(), 115200);
    p.cbNetNum->setCurrentIndex(11);
    EXPECT_EQ(rig.Window->Session.KKM.NetNumber, 12);
    rig.Window->close();
    TIniFile ini(rig.dir.File("VornikConfig.ini"));
    EXPECT_EQ(ini.ReadInteger("Port", "Speed", 0), 115200);
    EXPECT_EQ(ini.ReadInteger("NET", "NUMBER", 0), 12);
    EXPECT_EQ(ini.ReadInteger("Port", "COMPort", 0), 7);
}

TEST(ConnectionPanel, ASpeedOutsideTheListSelectsNothing) {
    TGuiRig rig(0, "[Port]\r\nCOMPort=7\r\nSpeed=2400\r\n");
    EXPECT_EQ(rig.Window->Session.ComPort.GetSpeed(), 2400);
    EXPECT_EQ(rig.Panel().cbSpeedPort->currentIndex(), -1);
}

TEST(ConnectionPanel, AnUnknownModeShowsItsNumber) {
    TGuiRig rig;
    TSimState state = rig.Sim->State();
    state.Identity.Mode = 7;
    rig.Sim->SetState(state);
    ASSERT_TRUE(rig.Window->Connect());
    EXPECT_EQ(S(rig.Panel().lMode->text()), "?:7");
}

TEST(ConnectionPanel, AModelWithoutConfigurationShowsTheVersionInRed) {
    TGuiRig rig;
    TSimState state = rig.Sim->State();
    state.Identity.Version = "ver 7";
    rig.Sim->SetState(state);
    ASSERT_TRUE(rig.Window->Connect());
    EXPECT_EQ(S(rig.Panel().lVer->text()), "ver 007");
    EXPECT_EQ(TextColor(rig.Panel().lVer), ToQColor(PanelColorNoModelData));
    EXPECT_EQ(TextColor(rig.Panel().lModel), ToQColor(PanelColorConnected));
}

TEST(ConnectionPanel, ABusyPortLosesItsMarkOnceOpened) {
    TSimOptions o;
    o.Speed = 0;
    o.ComNumber = kRigPort;
    TRegisterSimulator sim(o);
    std::string error;
    // The rig's own simulator is not used: this one is held busy first.
    TGuiRig rig(0);
    {
        ASSERT_TRUE(sim.Start(error)) << error;
        TComPort holder;
        holder.SetDevicePath(sim.DevicePath());
        ASSERT_TRUE(holder.Open());
        rig.Panel().FillPortList();
        rig.Panel().SelectPort(kRigPort);
        EXPECT_EQ(S(rig.Panel().cbComPort->currentText()), "COM7  BUSY");
    }
    ASSERT_TRUE(rig.Window->Connect());
    EXPECT_EQ(S(rig.Panel().cbComPort->currentText()), "COM7");
}

TEST(ConnectionPanel, TheButtonDoesNothingWhileATransferRuns) {
    TGuiRig rig;
    ASSERT_TRUE(rig.Window->Connect());
    rig.Window->Transfer.TransferRunning = true;
    rig.Panel().bConnect->click();
    EXPECT_TRUE(rig.Window->Session.IsConnected());
    rig.Window->Transfer.End();
    rig.Panel().bConnect->click();
    EXPECT_FALSE(rig.Window->Session.IsConnected());
}

TEST(ConnectionPanel, SearchListsTheRegisterAndConnectsToTheOneChosen) {
    TGuiRig rig(0);
    TSimOptions o;
    o.Speed = 38400;
    o.StrictSpeed = true;
    o.ComNumber = kRigPort;
    o.NetNumber = 12;
    TRegisterSimulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    auto& p = rig.Panel();
    EXPECT_EQ(S(p.bSearch->text()), "Поиск ККМ");
    ASSERT_TRUE(p.bSearch->isEnabled());
    p.bSearch->click();
    TRegisterSearchForm* form = p.SearchForm();
    ASSERT_NE(form, nullptr);
    form->cbAllNets->setChecked(true);  // the settings say network number 1
    form->Search().AnswerMarginMs = 300;  // a simulator on a loaded machine answers late
    // The search starts once the window is shown and runs inside this wait.
    const auto done = [&] { return !form->Searching() && form->pbSearch->value() == form->pbSearch->maximum(); };
    for (int i = 0; i < 600 && !done(); ++i) ProcessFor(100);
    ASSERT_TRUE(done());
    EXPECT_EQ(S(form->lStatus->text()).rfind("Поиск закончен, найдено ККМ: ", 0), 0u) << S(form->lStatus->text());
    int row = -1;
    for (int r = 0; r < form->lvFound->rowCount(); ++r)
        if (form->lvFound->item(r, 0)->text() == "COM7") row = r;
    ASSERT_GE(row, 0);
    QStringList cells;
    for (int c = 0; c < form->lvFound->columnCount(); ++c) cells << form->lvFound->item(row, c)->text();
    EXPECT_EQ(cells, (QStringList{"COM7", "38400", "12", "ЗЕВРИН-101Ф", "001234567890", "ver012"}));

    form->lvFound->selectRow(row);
    ASSERT_TRUE(form->bConnect->isEnabled());
    form->bConnect->click();
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(rig.Window->Session.IsConnected());
    EXPECT_EQ(S(p.cbComPort->currentText()), "COM7");
    EXPECT_EQ(S(p.cbSpeedPort->currentText()), "38400");
    EXPECT_EQ(S(p.cbNetNum->currentText()), "12");
    EXPECT_EQ(S(p.lSN->text()), "001234567890");
    EXPECT_FALSE(p.bSearch->isEnabled());
    EXPECT_TRUE(rig.Logged("Найдена ККМ: COM7 38400 12"));
}
