// Helpers for the window tests.
#pragma once
#include <QApplication>
#include <QElapsedTimer>

// Lets the window run its event loop for about ms milliseconds.
inline void ProcessFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}
