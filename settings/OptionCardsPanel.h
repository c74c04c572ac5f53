// The card view of the option rows: one small card per option (number,
// value box, range text), columns of 20 filled column by column, at least 2
// columns visible and more as the window widens, further columns reached by
// scrolling sideways; beside it the
// "Описание" box with the current option's description. The cards show the
// rows of mtOptions through a table model and edit them through it.
#pragma once
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QScrollArea;
class TBD;
class TMemTableModelQt;
class TOptionCard;

class TOptionCardsPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int CardsPerColumn = 20;
    static constexpr int VisibleColumns = 2;
    static constexpr int CardHeight = 18;
    static constexpr int ColumnWidth = 126;
    static constexpr const char* ColumnCaption = "№   знач.    интервал";

    TOptionCardsPanel(TBD& bd, QWidget* parent = nullptr);

    // For the window tests.
    int CardCount() const;
    QLineEdit* ValueBox(int row) const;
    QLabel* NumberLabel(int row) const;
    QLabel* RangeLabel(int row) const;
    QWidget* Card(int row) const;
    QLabel* Description() const { return description_; }
    QScrollArea* Cards() const { return scroll_; }
    TMemTableModelQt* Model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Rebuild();            // cards for the rows now visible
    void RefreshCard(int row);
    void RefreshAll();
    void ShowDescription();
    void CommitValue(int row);
    void CardEntered(int row);
    void FocusCard(int row);

    TBD& bd_;
    TMemTableModelQt* model_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    std::vector<TOptionCard*> cards_;
    std::vector<QLabel*> captions_;  // one per column
    QLabel* description_ = nullptr;
};
