// The signals that end a desktop session or a terminal run (SIGTERM, SIGINT,
// SIGHUP) turned into an ordinary event of the window's loop: the handler only
// writes the signal number into a pipe, and a socket notifier reads it there.
#pragma once
#include <QObject>

#include <functional>

class QSocketNotifier;

class TStopSignalsQt : public QObject {
    Q_OBJECT
public:
    // Takes the three signals for the life of this object; onSignal gets the
    // signal number in the window's thread.
    explicit TStopSignalsQt(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~TStopSignalsQt() override;

    // "SIGTERM", "SIGINT", "SIGHUP".
    static const char* Name(int sig);

private:
    void ReadSignal();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};
