// The page selector at the top of the left column: three stacked panels; the
// pressed one joins the page area. Presses are ignored while a transfer runs.
#pragma once
#include <QWidget>

#include <functional>

class QLabel;

class TPageSelectorPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPageSelectorPanel(QWidget* parent = nullptr);

    // Asked before every change; false keeps the current page.
    std::function<bool()> CanChangePage;

    void Select(int page);
    int Selected() const { return selected_; }
    // A mouse press on panel i, as the operator makes it.
    void PressPanel(int i);

signals:
    void PageSelected(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* panels_[3] = {};
    int selected_ = 0;
};
