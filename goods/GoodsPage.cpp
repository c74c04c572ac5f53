#include "goods/GoodsPage.h"

#include "app/QtText.h"
#include "app/ProgressWait.h"
#include "app/Dialog.h"
#include "goods/GoodsExchange.h"
#include "goods/GoodsRecord.h"
#include "goods/GoodsSearch.h"
#include "goods/GoodsTransfer.h"
#include "kkm/RegisterSession.h"
#include "settings/MemTableModelQt.h"
#include "settings/Unitbd.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

QPushButton* Button(const char* name, const char* caption, QWidget* parent, bool bold = false) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    if (bold) {
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
    }
    return b;
}

// A borderless panel that lays its widgets out in one row.
std::pair<QWidget*, QHBoxLayout*> RowPanel(const char* name, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    return {panel, row};
}

TGridColumn Column(const char* field, int width, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    TGridColumn c;
    c.Field = field;
    c.Width = width;
    c.Align = align;
    return c;
}

// The goods grid's model: the boolean "Блок" column is a check box.
class TGoodsGridModelQt : public TMemTableModelQt {
public:
    TGoodsGridModelQt(TMemTable& table, std::vector<TGridColumn> columns, QObject* parent)
        : TMemTableModelQt(table, std::move(columns), parent), block_(table.FieldIndex("isBlock")) {}

    QVariant data(const QModelIndex& index, int role) const override {
        if (!IsBlock(index)) return TMemTableModelQt::data(index, role);
        if (role == Qt::CheckStateRole)
            return Table().VisibleValue(index.row(), block_).AsBoolean() ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::DisplayRole || role == Qt::EditRole) return {};
        return TMemTableModelQt::data(index, role);
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role == Qt::EditRole && index.isValid() && FieldOf(index.column()) >= 0) {
            // A value the write to the register would refuse is refused as it
            // is typed: the grid shows prices to the kopeck, and 12,505 would
            // show as 12,51 and be refused later as a value nobody saw.
            if (const auto why = CellProblem(FieldOf(index.column()), S(value.toString().trimmed()))) {
                Error(*why, false, true, true);
                return false;
            }
        }
        if (!IsBlock(index)) return TMemTableModelQt::setData(index, value, role);
        if (role != Qt::CheckStateRole) return false;
        return Table().SetVisibleValue(index.row(), block_, value.toInt() == Qt::Checked);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = TMemTableModelQt::flags(index);
        if (IsBlock(index)) f = (f & ~Qt::ItemIsEditable) | Qt::ItemIsUserCheckable;
        return f;
    }

private:
    std::optional<std::string> CellProblem(int field, const std::string& text) const {
        const std::string& name = Table().Field(field).Name;
        const std::string shown = "\"" + text + "\" не принят";
        if (name == "Price") {
            const auto v = Table().ValueFromText(field, text);
            if (!v) return "Цена " + shown + "а: это не число";
            if (GoodsPriceDigits(*v)) return std::nullopt;
            if (v->AsCurrency().Units < 0) return "Цена " + shown + "а: цена не может быть отрицательной";
            if (v->AsCurrency().Units % (TCurrency::Scale / 100) != 0)
                return "Цена " + shown + "а: не больше двух знаков после запятой (рубли и копейки)";
            return "Цена " + shown + "а: не больше 10 цифр в копейках";
        }
        if (name == "Code" && !text.empty()) {
            bool number = false;
            const int code = QString::fromStdString(text).toInt(&number);
            if (!number || code < MinGoodsCode || code > MaxGoodsCode)
                return "Код " + shown + ": код товара - число от " + std::to_string(MinGoodsCode) + " до " +
                       std::to_string(MaxGoodsCode);
        }
        if (name == "Shtrih" && (text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos))
            return "Штрих-код " + shown + ": только цифры, не больше 20";
        return std::nullopt;
    }
    bool IsBlock(const QModelIndex& index) const { return index.isValid() && FieldOf(index.column()) == block_; }
    int block_;
};

int FieldColumn(const TMemTableModelQt& model, const char* field) {
    for (int c = 0; c < model.columnCount(); ++c)
        if (model.Column(c).Field == field) return c;
    return -1;
}

// Qt's own file dialog opens with its name column too narrow for a path
// and the other columns squeezed: names take the room, the rest fit.
void ReadableColumns(QFileDialog& dialog) {
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 440)));
    if (auto* tree = dialog.findChild<QTreeView*>()) {
        tree->header()->setStretchLastSection(false);
        tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

}  // namespace

TGoodsPage::TGoodsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent)
    : QWidget(parent),
      session_(session),
      bd_(bd),
      goods_(std::make_unique<TGoodsTransfer>(session, bd, transfer)),
      exchange_(std::make_unique<TGoodsExchange>(*goods_)) {
    setObjectName("tsGoods");
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(4);
    box->addWidget(BuildButtons());
    box->addWidget(BuildFileRow());
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setFormat("%v");  // goods done so far, whatever the scale
    ProgressBar->setAlignment(Qt::AlignCenter);
    ProgressBar->setFixedHeight(14);
    ProgressBar->hide();
    box->addWidget(ProgressBar);
    BuildGrid();
    box->addWidget(BuildSearchRow());
    box->addWidget(DBGridEhTOBAP, 1);

    TGoodsView& view = goods_->View;
    view.ShowProgress = [this](bool visible) {
        if (visible) ProgressBar->setValue(0);
        ProgressBar->setVisible(visible);
    };
    view.SetProgressMax = [this](int maximum) {
        // A read-all gets the register's capacity; the goods it held at its
        // last full read say better how far this one has come.
        const TKKMInfo* info = session_.Info();
        if (readingAll_ && info && info->SerialNumber == knownSerial_ && knownCount_ > 0)
            maximum = std::max(knownCount_, ProgressBar->value() + 1);
        ProgressBar->setMaximum(maximum);
    };
    view.SetProgressPos = [this](int position) { ProgressBar->setValue(position); };
    view.SetCaption = [this](TGoodsButton button, const std::string& caption) {
        (button == TGoodsButton::LoadAll ? bLoadTOBAP : bSaveTOBAP)->setText(Q(caption));
    };
    view.SetBusy = [this](bool busy) { SetBusy(busy); };
    view.ShowWait = [](int intervalMs) { ShowWait(intervalMs, ""); };
    view.HideWait = [] { HideWait(); };
}

TGoodsPage::~TGoodsPage() = default;

QWidget* TGoodsPage::BuildButtons() {
    auto* panel = new QWidget(this);
    panel->setObjectName("pnlGoodsButtons");
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(3);

    // Reading over writing, the row buttons at the end: two rows of three,
    // so the page fits the window's design width.
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(4);
    buttons->setVerticalSpacing(3);
    bLoadTOBAP = Button("bLoadTOBAP", CaptionLoadTOBAP, panel, true);
    bLoadOneTOBAP = Button("bLoadOneTOBAP", "Считать текущий", panel);
    bSaveTOBAP = Button("bSaveTOBAP", CaptionSaveTOBAP, panel, true);
    bSaveOneTOBAP = Button("bSaveOneTOBAP", "Записать текущий", panel);
    bAddTOBAP = Button("bAddTOBAP", "Добавить запись", panel);
    bDelTOBAP = Button("bDelTOBAP", "Удалить запись", panel);
    buttons->addWidget(bLoadTOBAP, 0, 0);
    buttons->addWidget(bLoadOneTOBAP, 0, 1);
    buttons->addWidget(bAddTOBAP, 0, 2);
    buttons->addWidget(bSaveTOBAP, 1, 0);
    buttons->addWidget(bSaveOneTOBAP, 1, 1);
    buttons->addWidget(bDelTOBAP, 1, 2);
    buttons->setColumnStretch(3, 1);
    box->addLayout(buttons);

    cbisSaveTOBAPCount = new QCheckBox("     При  записи сохранять кол - во", panel);
    cbisSaveTOBAPCount->setObjectName("cbisSaveTOBAPCount");
    cbisSaveTOBAPCount->setChecked(true);
    goods_->SaveCount = true;
    box->addWidget(cbisSaveTOBAPCount);

    connect(bLoadTOBAP, &QPushButton::clicked, this, [this] {
        if (readingAll_) {  // the button stops the read under way
            goods_->bLoadTOBAPClick();
            return;
        }
        readingAll_ = true;
        const bool whole = goods_->bLoadTOBAPClick();
        readingAll_ = false;
        if (whole && session_.Info()) {
            knownSerial_ = session_.Info()->SerialNumber;
            knownCount_ = bd_.mtTOBAP.TotalRowCount();
        }
    });
    connect(bLoadOneTOBAP, &QPushButton::clicked, this, [this] { goods_->bLoadOneTOBAPClick(); });
    connect(bSaveTOBAP, &QPushButton::clicked, this, [this] { goods_->bSaveTOBAPClick(); });
    connect(bSaveOneTOBAP, &QPushButton::clicked, this, [this] { goods_->bSaveOneTOBAPClick(); });
    connect(bAddTOBAP, &QPushButton::clicked, this, [this] {
        if (!goods_->Busy()) ClearSearch();
        if (goods_->bAddTOBAPClick()) DBGridEhTOBAP->setFocus();
    });
    connect(bDelTOBAP, &QPushButton::clicked, this, [this] { goods_->bDelTOBAPClick(); });
    connect(cbisSaveTOBAPCount, &QCheckBox::toggled, this, [this](bool on) { goods_->SaveCount = on; });
    return panel;
}

QWidget* TGoodsPage::BuildFileRow() {
    auto [panel, row] = RowPanel("pnlGoodsFile", this);
    eBdFile = new QLineEdit(panel);
    eBdFile->setObjectName("eBdFile");
    bPathDBF = Button("bPathDBF", "...", panel);
    bPathDBF->setFixedWidth(28);
    bLoadTOBAPfromDBF = Button("bLoadTOBAPfromDBF", "Считать из DBF", panel);
    bSaveTOBAPtoDBF = Button("bSaveTOBAPtoDBF", "Записать в DBF", panel);
    row->addWidget(eBdFile, 1);
    row->addWidget(bPathDBF);
    row->addWidget(bLoadTOBAPfromDBF);
    row->addWidget(bSaveTOBAPtoDBF);

    connect(bPathDBF, &QPushButton::clicked, this, &TGoodsPage::bPathDBFClick);
    connect(bLoadTOBAPfromDBF, &QPushButton::clicked, this,
            [this] { exchange_->bLoadTOBAPfromDBFClick(S(eBdFile->text())); });
    connect(bSaveTOBAPtoDBF, &QPushButton::clicked, this,
            [this] { exchange_->bSaveTOBAPtoDBFClick(S(eBdFile->text())); });
    return panel;
}

QWidget* TGoodsPage::BuildSearchRow() {
    auto [panel, row] = RowPanel("pnlGoodsSearch", this);
    eSearch = new QLineEdit(panel);
    eSearch->setObjectName("eSearch");
    eSearch->setPlaceholderText("Поиск по коду, наименованию, штрих-коду");
    eSearch->setClearButtonEnabled(true);
    eSearch->setToolTip(
        "Показывает только строки, в коде, наименовании или штрих-коде которых есть этот текст "
        "(без учёта регистра, ё = е); Esc очищает.\n"
        "Одни цифры ищутся в начале кода или штрих-кода (и в наименовании).\n"
        "Правка и «Записать текущий» работают с показанными строками; «Записать все в ККМ» "
        "и «Записать в DBF» (также в CSV) берут все строки таблицы.");
    lSearchCount = new QLabel(panel);
    lSearchCount->setObjectName("lSearchCount");
    row->addWidget(eSearch, 1);
    row->addWidget(lSearchCount);
    connect(eSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        SetGoodsSearch(bd_.mtTOBAP, S(text));
        ShowSearchCount();
    });
    eSearch->installEventFilter(this);
    // The count follows every change of the rows, once the window is idle
    // again: a read-all adds its rows one by one.
    countLater_ = new QTimer(this);
    countLater_->setSingleShot(true);
    countLater_->setInterval(0);
    connect(countLater_, &QTimer::timeout, this, &TGoodsPage::ShowSearchCount);
    connect(model_, &QAbstractItemModel::modelReset, countLater_, qOverload<>(&QTimer::start));
    connect(model_, &QAbstractItemModel::rowsInserted, countLater_, qOverload<>(&QTimer::start));
    connect(model_, &QAbstractItemModel::rowsRemoved, countLater_, qOverload<>(&QTimer::start));
    ShowSearchCount();
    return panel;
}

void TGoodsPage::ShowSearchCount() {
    const TMemTable& t = bd_.mtTOBAP;
    lSearchCount->setText(QString("показано %1 из %2").arg(t.RecordCount()).arg(t.TotalRowCount()));
}

void TGoodsPage::ClearSearch() {
    if (!eSearch->text().isEmpty()) eSearch->clear();
}

void TGoodsPage::BuildGrid() {
    DBGridEhTOBAP = new QTableView(this);
    DBGridEhTOBAP->setObjectName("DBGridEhTOBAP");
    std::vector<TGridColumn> columns = {
        Column("Code", 48, kRight),  Column("Type", 52),     Column("Name", 180),   Column("NG", 28),
        Column("Price", 64, kRight), Column("Section", 34, kRight), Column("Vesovoy", 52),
        Column("Shtrih", 108),       Column("isBlock", 34, Qt::AlignCenter),       Column("Count", 64, kRight),
    };
    model_ = new TGoodsGridModelQt(bd_.mtTOBAP, std::move(columns), this);
    QTableView* view = DBGridEhTOBAP;
    view->setModel(model_);
    view->setItemDelegate(new TPickListDelegateQt(view));
    view->verticalHeader()->setDefaultSectionSize(18);
    view->verticalHeader()->setVisible(false);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    // One text line per row: an 18-pixel row shows a wrapped name cut.
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    // The name takes the width the window gives; the other columns keep
    // their widths, never narrower than their captions.
    QHeaderView* header = view->horizontalHeader();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(24);
    const int name = FieldColumn(*model_, "Name");
    for (int c = 0; c < model_->columnCount(); ++c) {
        const int caption = header->fontMetrics().horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                            2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 4;
        view->setColumnWidth(c, std::max(model_->Column(c).Width, caption));
        header->setSectionResizeMode(c, c == name ? QHeaderView::Stretch : QHeaderView::Interactive);
    }
    // The table's cursor follows the grid once the table has finished what it
    // is doing: a row removed while a new row is cancelled moves the grid's
    // current row, and the table must not be moved from inside that change.
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TGoodsPage::SyncTableToGrid,
            Qt::QueuedConnection);
    connect(model_, &TMemTableModelQt::CurrentRowChanged, view, [this](int row) {
        QTableView* v = DBGridEhTOBAP;
        if (row >= 0 && v->currentIndex().row() != row)
            v->setCurrentIndex(model_->index(row, std::max(0, v->currentIndex().column())));
    });
    view->installEventFilter(this);
}

void TGoodsPage::SyncTableToGrid() {
    TMemTable& t = bd_.mtTOBAP;
    const int row = DBGridEhTOBAP->currentIndex().row();
    if (row >= 0 && row < t.RecordCount() && row != t.CurrentRow()) t.GoToRow(row);
}

// The grid inserts a row with Insert and appends one with the down arrow on
// the last row; it never deletes rows.
bool TGoodsPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == eSearch && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        eSearch->clear();
        return true;
    }
    if (watched == DBGridEhTOBAP && event->type() == QEvent::KeyPress && !goods_->Busy()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        TMemTable& t = bd_.mtTOBAP;
        SyncTableToGrid();
        if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
            ClearSearch();
            t.Insert();
            return true;
        }
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier &&
            (t.IsEmpty() || t.CurrentRow() == t.RecordCount() - 1) && t.State() != TDataSetState::Insert) {
            ClearSearch();
            t.Append();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TGoodsPage::SetBusy(bool busy) {
    // The operation moves the table's cursor itself; the grid and the row
    // buttons wait. The transfer buttons stay usable: they stop it.
    DBGridEhTOBAP->setEnabled(!busy);
    eSearch->setEnabled(!busy);
    bAddTOBAP->setEnabled(!busy);
    bDelTOBAP->setEnabled(!busy);
}

void TGoodsPage::bPathDBFClick() {
    // One file serves both buttons: a save dialog, since "Записать в DBF"
    // writes to it and a new name is as good as an existing one.
    QFileDialog dialog(this, "Файл обмена товарами");
    dialog.setObjectName("SaveDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);  // nothing is written until asked for
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({"DBF (*.dbf)", "CSV (*.csv)"});
    if (IsCsvFileName(S(eBdFile->text()))) dialog.selectNameFilter("CSV (*.csv)");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QFileInfo current(Q(exchange_->TablePath(S(eBdFile->text()))));
    dialog.setDirectory(current.absolutePath());
    if (!eBdFile->text().isEmpty()) dialog.selectFile(current.fileName());
    ReadableColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    eBdFile->setText(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
}
