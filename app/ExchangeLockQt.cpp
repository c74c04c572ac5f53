#include "app/ExchangeLockQt.h"

#include "app/TransferState.h"

#include <QApplication>

TExchangeLockQt::TExchangeLockQt(const TTransferState& transfer, QObject* parent)
    : QObject(parent), transfer_(transfer) {}

void TExchangeLockQt::AddArea(QWidget* area) { areas_.emplace_back(area); }

void TExchangeLockQt::AddStopButton(QWidget* button) { stops_.emplace_back(button); }

void TExchangeLockQt::ProcessEvents() {
    if (depth_++ == 0) Lock();
    QApplication::processEvents();
    if (--depth_ == 0) Unlock();
}

void TExchangeLockQt::Lock() {
    std::vector<QPointer<QWidget>> targets = areas_;
    if (!transfer_.TransferRunning) targets.insert(targets.end(), stops_.begin(), stops_.end());
    for (const QPointer<QWidget>& w : targets)
        // A control its page turned off stays as its page wants it. A transfer
        // keeps its page shown, so hidden pages need no lock then (a goods or
        // journal transfer passes here for every packet).
        if (w && !w->testAttribute(Qt::WA_ForceDisabled) && (!transfer_.TransferRunning || w->isVisible())) {
            w->setEnabled(false);
            disabled_.push_back(w);
        }
}

void TExchangeLockQt::Unlock() {
    for (const QPointer<QWidget>& w : disabled_)
        if (w) w->setEnabled(true);
    disabled_.clear();
}
