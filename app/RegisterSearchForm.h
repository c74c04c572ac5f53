// The register search window: which registers answer on which port, speed
// and network number, filled as they are found, with the progress of the
// search. Choosing one hands it to the connection panel.
#pragma once
#include "kkm/RegisterSearch.h"

#include <QDialog>
#include <QString>

#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class TRegisterSession;

class TRegisterSearchForm : public QDialog {
    Q_OBJECT
public:
    explicit TRegisterSearchForm(const TRegisterSession& session, QWidget* parent = nullptr);

    // Searches every port of the machine; returns when done or stopped (the
    // window keeps working meanwhile). Opening the window starts it.
    void StartSearch();
    bool Searching() const { return search_.Running(); }
    TRegisterSearch& Search() { return search_; }

    QCheckBox* cbAllNets = nullptr;
    QProgressBar* pbSearch = nullptr;
    // Searching (which ports, which speed), stopped or finished, and how many found.
    QLabel* lStatus = nullptr;
    QTableWidget* lvFound = nullptr;  // port, speed, network number, model, serial number, version
    QPushButton* bSearch = nullptr;
    QPushButton* bStop = nullptr;
    QPushButton* bConnect = nullptr;

signals:
    // The register the user chose; the window has closed.
    void RegisterChosen(const TFoundRegister& reg);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void AddRow(const TFoundRegister& reg, bool busy);
    // The selected register: connect to it (after the search has stopped).
    void Choose();
    void RefreshButtons();
    void ShowSearching(int probesDone);

    const TRegisterSession& session_;
    TRegisterSearch search_;
    std::vector<TFoundRegister> found_;  // rows that hold a register; busy ports are rows too
    int chosen_ = -1;
    QString searchedPorts_;  // "COM1, COM3": the ports not busy
    int portCount_ = 0;
    std::vector<int> speeds_;  // in the order they are tried  // index into found_ waiting for the search to stop
};
