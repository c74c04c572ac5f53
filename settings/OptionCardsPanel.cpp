#include "settings/OptionCardsPanel.h"

#include "app/QtText.h"
#include "settings/MemTableModelQt.h"
#include "settings/OptionCatalogue.h"
#include "settings/Unitbd.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <functional>

namespace {

enum TCardColumn { ccNum, ccValue, ccRange, ccCaption };
constexpr int kCaptionHeight = 15;
constexpr int kDescriptionMaxWidth = 320;

void SetMark(QLabel* label, bool marked, TColor markColor) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               marked ? ToQColor(markColor) : QApplication::palette().color(QPalette::WindowText));
    label->setPalette(p);
    QFont f = label->font();
    if (f.bold() != marked) {
        f.setBold(marked);
        label->setFont(f);
    }
}

}  // namespace

// One option: number, value box (bold), range text. A press anywhere on the
// card puts the focus into its value box.
class TOptionCard : public QFrame {
public:
    explicit TOptionCard(QWidget* parent) : QFrame(parent) {
        setFrameShape(QFrame::NoFrame);
        lNum = new QLabel(this);
        lNum->setGeometry(0, 0, 24, TOptionCardsPanel::CardHeight);
        lNum->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        eValue = new QLineEdit(this);
        eValue->setGeometry(28, 1, 34, TOptionCardsPanel::CardHeight - 2);
        eValue->setAlignment(Qt::AlignCenter);
        eValue->setValidator(new QIntValidator(0, 255, eValue));
        eValue->setTextMargins(0, 0, 0, 0);
        QFont bold = eValue->font();
        bold.setBold(true);
        eValue->setFont(bold);
        lRange = new QLabel(this);
        lRange->setGeometry(66, 0, TOptionCardsPanel::ColumnWidth - 68, TOptionCardsPanel::CardHeight);
        lRange->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setFixedSize(TOptionCardsPanel::ColumnWidth - 2, TOptionCardsPanel::CardHeight);
    }

    int Row = -1;
    QLabel* lNum = nullptr;
    QLineEdit* eValue = nullptr;
    QLabel* lRange = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        eValue->setFocus(Qt::MouseFocusReason);
        event->accept();
    }
};

TOptionCardsPanel::TOptionCardsPanel(TBD& bd, QWidget* parent) : QWidget(parent), bd_(bd) {
    setObjectName("pnlOptionCards");
    model_ = new TMemTableModelQt(bd_.mtOptions,
                                  {GridColumn("num", 24), GridColumn("Value", 33), GridColumn("Diapazon", 53), GridColumn("Captions", 284)}, this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("sbOptionCards");
    scroll_->setWidgetResizable(false);
    // Sideways for the columns beyond the window's width; up and down only
    // where the console was made so tall that a column no longer fits. The
    // sideways bar stays, so that the two bars cannot hold each other up.
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setFrameShape(QFrame::StyledPanel);
    content_ = new QWidget;
    content_->setObjectName("pnlOptionCardsContent");
    scroll_->setWidget(content_);
    const int frame = 2 * scroll_->frameWidth();
    const int bar = scroll_->horizontalScrollBar()->sizeHint().height();
    scroll_->setMinimumWidth(VisibleColumns * ColumnWidth + frame);
    scroll_->setMinimumHeight(kCaptionHeight + 5 * CardHeight + bar + frame);
    scroll_->setMaximumHeight(kCaptionHeight + CardsPerColumn * CardHeight + 4 + bar + frame);
    scroll_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    scroll_->viewport()->installEventFilter(this);
    scroll_->installEventFilter(this);
    // At the top of its room, as tall as its room up to all 20 rows.
    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    left->addWidget(scroll_, 1);
    left->addStretch(0);
    row->addLayout(left, 3);

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    auto* caption = new QLabel("Описание", this);
    caption->setAlignment(Qt::AlignHCenter);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    right->addWidget(caption);
    description_ = new QLabel(this);
    description_->setObjectName("lOptionDescription");
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignCenter);
    description_->setFrameShape(QFrame::StyledPanel);
    description_->setAutoFillBackground(true);
    description_->setMargin(6);
    QPalette p = description_->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
    p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ToolTipText));
    description_->setPalette(p);
    // A long description wraps instead of widening the page.
    description_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    description_->setMinimumWidth(80);
    // A wider window shows more columns of cards, not a wider description.
    description_->setMaximumWidth(kDescriptionMaxWidth);
    caption->setMaximumWidth(kDescriptionMaxWidth);
    description_->setMaximumHeight(scroll_->maximumHeight() - kCaptionHeight);
    right->addWidget(description_, 1);
    right->addStretch(0);
    row->addLayout(right, 2);
    row->addStretch(0);  // what the cards and the description cannot use stays at the right

    connect(model_, &QAbstractItemModel::modelReset, this, [this] { Rebuild(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { Rebuild(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { Rebuild(); });
    // A posted value moves the snapshots, which may change any card's mark.
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] {
        RefreshAll();
        ShowDescription();
    });
    connect(model_, &TMemTableModelQt::CurrentRowChanged, this, [this] { ShowDescription(); });
    Rebuild();
}

int TOptionCardsPanel::CardCount() const { return model_->rowCount(); }

QWidget* TOptionCardsPanel::Card(int row) const {
    return row >= 0 && row < CardCount() ? cards_[static_cast<std::size_t>(row)] : nullptr;
}
QLineEdit* TOptionCardsPanel::ValueBox(int row) const {
    return row >= 0 && row < CardCount() ? cards_[static_cast<std::size_t>(row)]->eValue : nullptr;
}
QLabel* TOptionCardsPanel::NumberLabel(int row) const {
    return row >= 0 && row < CardCount() ? cards_[static_cast<std::size_t>(row)]->lNum : nullptr;
}
QLabel* TOptionCardsPanel::RangeLabel(int row) const {
    return row >= 0 && row < CardCount() ? cards_[static_cast<std::size_t>(row)]->lRange : nullptr;
}

void TOptionCardsPanel::Rebuild() {
    const int n = model_->rowCount();
    while (static_cast<int>(cards_.size()) < n) {
        auto* card = new TOptionCard(content_);
        const int row = static_cast<int>(cards_.size());
        card->Row = row;
        card->eValue->installEventFilter(this);
        connect(card->eValue, &QLineEdit::editingFinished, this, [this, row] { CommitValue(row); });
        cards_.push_back(card);
    }
    const int columns = std::max(VisibleColumns, (n + CardsPerColumn - 1) / CardsPerColumn);
    while (static_cast<int>(captions_.size()) < columns) {
        auto* caption = new QLabel(ColumnCaption, content_);
        caption->setGeometry(static_cast<int>(captions_.size()) * ColumnWidth + 4, 0, ColumnWidth - 4, kCaptionHeight);
        captions_.push_back(caption);
    }
    for (std::size_t c = 0; c < captions_.size(); ++c) captions_[c]->setVisible(static_cast<int>(c) < columns);
    for (int i = 0; i < static_cast<int>(cards_.size()); ++i) {
        TOptionCard* card = cards_[static_cast<std::size_t>(i)];
        card->move((i / CardsPerColumn) * ColumnWidth, kCaptionHeight + (i % CardsPerColumn) * CardHeight + 2);
        card->setVisible(i < n);
    }
    content_->resize(columns * ColumnWidth, kCaptionHeight + CardsPerColumn * CardHeight + 4);
    // No wider than all its columns: the rest of the width is the description's.
    scroll_->setMaximumWidth(columns * ColumnWidth + 2 * scroll_->frameWidth());
    RefreshAll();
    ShowDescription();
}

void TOptionCardsPanel::RefreshCard(int row) {
    TOptionCard* card = cards_[static_cast<std::size_t>(row)];
    TRecordRef rec = bd_.mtOptions.VisibleRecord(row);
    if (!rec.Valid()) return;
    card->lNum->setText(model_->index(row, ccNum).data().toString());
    // The operator's unfinished typing stays.
    if (!(card->eValue->hasFocus() && card->eValue->isModified()))
        card->eValue->setText(model_->index(row, ccValue).data().toString());
    card->lRange->setText(model_->index(row, ccRange).data().toString());
    SetMark(card->lNum, OptionDiffers(rec, bd_), OptionDiffMarkColor);
    SetMark(card->lRange, OptionOutOfRange(rec), OptionRangeMarkColor);
}

void TOptionCardsPanel::RefreshAll() {
    for (int i = 0; i < model_->rowCount(); ++i) RefreshCard(i);
}

void TOptionCardsPanel::ShowDescription() {
    const int row = bd_.mtOptions.CurrentRow();
    description_->setText(row >= 0 && row < model_->rowCount() ? model_->index(row, ccCaption).data().toString()
                                                                 : QString());
}

void TOptionCardsPanel::CommitValue(int row) {
    if (row >= model_->rowCount()) return;
    QLineEdit* box = cards_[static_cast<std::size_t>(row)]->eValue;
    const QModelIndex index = model_->index(row, ccValue);
    if (box->text() != index.data().toString() && !box->text().isEmpty()) model_->setData(index, box->text(), Qt::EditRole);
    box->setModified(false);
    box->setText(index.data().toString());  // a refused or empty text shows the stored value again
}

void TOptionCardsPanel::CardEntered(int row) {
    if (row >= model_->rowCount()) return;
    QLineEdit* box = cards_[static_cast<std::size_t>(row)]->eValue;
    // After the press that gave the focus has been handled, or it would
    // place the caret and drop the selection.
    QTimer::singleShot(0, box, [box] {
        if (box->hasFocus()) box->selectAll();
    });
    scroll_->ensureWidgetVisible(cards_[static_cast<std::size_t>(row)], 0, 0);
    if (bd_.mtOptions.CurrentRow() != row) bd_.mtOptions.GoToRow(row);
}

void TOptionCardsPanel::FocusCard(int row) {
    if (row >= 0 && row < model_->rowCount()) cards_[static_cast<std::size_t>(row)]->eValue->setFocus(Qt::TabFocusReason);
}

bool TOptionCardsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_ && event->type() == QEvent::Resize) {
        // The up-and-down bar only while the column is cut: a bar left over
        // from a smaller size would narrow the cards and keep itself.
        scroll_->setVerticalScrollBarPolicy(scroll_->height() < scroll_->maximumHeight() ? Qt::ScrollBarAsNeeded
                                                                                        : Qt::ScrollBarAlwaysOff);
    }
    if (watched == scroll_->viewport() && event->type() == QEvent::Wheel) {
        // The cards scroll sideways, a column per notch.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int steps = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
        QScrollBar* bar = scroll_->horizontalScrollBar();
        bar->setValue(bar->value() - (steps / 120) * ColumnWidth);
        return true;
    }
    for (std::size_t i = 0; i < cards_.size(); ++i) {
        if (watched != cards_[i]->eValue) continue;
        const int row = static_cast<int>(i);
        if (event->type() == QEvent::FocusIn) CardEntered(row);
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Down || key == Qt::Key_Up) {
                CommitValue(row);
                FocusCard(row + (key == Qt::Key_Down ? 1 : -1));
                return true;
            }
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}
