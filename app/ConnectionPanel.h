// The connection panel: port, speed and network number, the connect button,
// and the six labels with what the register reported.
#pragma once
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class TRegisterSearchForm;
class TRegisterSession;
struct TFoundRegister;
struct TUnsavedSettings;

class TConnectionPanel : public QWidget {
    Q_OBJECT
public:
    TConnectionPanel(TRegisterSession& session, QWidget* parent = nullptr);

    // Port list, port settings from the settings file, network number.
    void Prepare();
    // Port section and network number into the settings file; notes what
    // could not be written.
    void Save(TUnsavedSettings& unsaved);
    // bConnect caption from the language table.
    void RefreshCaptions();
    // Shows the session's labels, colours and connected state.
    void Refresh();
    // Drops the "  BUSY" mark of the selected port once it has opened.
    void ClearBusyMark();
    // Selects the list item of port n (none when it is not listed).
    void SelectPort(int n);
    // Fills cbComPort from the port list of the machine.
    void FillPortList();
    // The search window, made when bSearch is first pressed (null before).
    TRegisterSearchForm* SearchForm() const { return searchForm_; }

    QComboBox* cbComPort = nullptr;
    QComboBox* cbSpeedPort = nullptr;
    QComboBox* cbNetNum = nullptr;
    QPushButton* bConnect = nullptr;
    QPushButton* bSearch = nullptr;  // "Поиск ККМ", while disconnected
    QLabel* lModel = nullptr;
    QLabel* lSN = nullptr;
    QLabel* lVer = nullptr;
    QLabel* lMode = nullptr;
    QLabel* lDate = nullptr;
    QLabel* lTime = nullptr;

signals:
    void ConnectClicked();

private:
    void cbComPortChange(int index);
    void cbSpeedPortChange(int index);
    void cbNetNumChange(int index);
    void bSearchClick();
    // Port, speed and network number of a found register, then the connect.
    void ConnectTo(const TFoundRegister& reg);

    TRegisterSession& session_;
    TRegisterSearchForm* searchForm_ = nullptr;
};
