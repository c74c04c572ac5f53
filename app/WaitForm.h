// The progress window: borderless, always on top, translucent, two boxes and
// one line of text; hides itself when not refreshed in time.
#pragma once
#include "app/ProgressWait.h"

#include <QTimer>
#include <QWidget>

class QLabel;

class TWaitForm : public QWidget, public IWaitWindow {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* parent = nullptr);
    ~TWaitForm() override;

    void ShowWait(int intervalMs, const std::string& message) override;
    void HideWait() override;

    QLabel* lMsg = nullptr;
    QTimer Timer;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void TimerTimer();
};
