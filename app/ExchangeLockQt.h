// The window's controls while the register is being talked to. The only
// moments the window takes clicks during an operation are those in which the
// link or a transfer lets it process events; for exactly those moments every
// control that could change the working tables, the store, the grids or the
// port is inactive and drawn greyed. Between them nothing is processed or
// painted, so the window looks locked from an operation's start to its end.
// The transfer buttons stay live during a transfer: a press asks it to stop.
#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

struct TTransferState;

class TExchangeLockQt : public QObject {
    Q_OBJECT
public:
    TExchangeLockQt(const TTransferState& transfer, QObject* parent = nullptr);

    // A whole area (its children keep their own states afterwards).
    void AddArea(QWidget* area);
    // A transfer button: live while a transfer runs, locked otherwise.
    void AddStopButton(QWidget* button);

    // The window processes pending events with the controls locked.
    void ProcessEvents();
    bool Locked() const { return depth_ > 0; }

private:
    void Lock();
    void Unlock();

    const TTransferState& transfer_;
    std::vector<QPointer<QWidget>> areas_, stops_;
    std::vector<QPointer<QWidget>> disabled_;  // what this lock turned off
    int depth_ = 0;
};
