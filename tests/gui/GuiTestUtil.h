// Helpers for the window tests.
#pragma once
#include "app/Dialog.h"

#include <QApplication>
#include <QElapsedTimer>

#include <string>
#include <vector>

// Lets the window run its event loop for about ms milliseconds.
inline void ProcessFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Shows boxes to nobody but keeps their texts, for as long as it lives; made
// after the window, which installs its own boxes.
struct TBoxRecorder : IDialogService {
    TBoxRecorder() : previous_(DialogService()), autonom_(isAUTONOM) {
        SetDialogService(this);
        isAUTONOM = false;
    }
    ~TBoxRecorder() override {
        SetDialogService(previous_);
        isAUTONOM = autonom_;
    }
    void ShowBox(TBoxKind, const std::string& text) override { Boxes.push_back(text); }
    int ShowQuery(TQueryKind, const std::string&) override { return mrNo; }
    std::vector<std::string> Boxes;

private:
    IDialogService* previous_;
    bool autonom_;
};
