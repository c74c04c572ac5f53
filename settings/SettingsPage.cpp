#include "settings/SettingsPage.h"

#include "app/QtText.h"
#include "app/TransferState.h"
#include "settings/MemTableModelQt.h"
#include "settings/OptionCardsPanel.h"
#include "settings/OptionCatalogue.h"
#include "settings/Unitbd.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kPageFontPixels = 11;
constexpr int kGridFontPixels = 10;
constexpr int kGridHeaderHeight = 18;
constexpr int kOptionListRowHeight = 13;
constexpr int kProfilesRoomWidth = 150;
constexpr int kFontListWidth = 294;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, bool bold = false) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    if (bold) {
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
    }
    return b;
}

QTableView* MakeGrid(QWidget* parent, const char* name, TMemTableModelQt* model, int rowHeight = 18) {
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    QFont small = view->font();
    small.setPixelSize(kGridFontPixels);
    view->setFont(small);
    SetupGridQt(view, model, rowHeight);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setMinimumSectionSize(12);
    view->horizontalHeader()->setFixedHeight(kGridHeaderHeight);
    // Narrow columns keep their captions readable.
    view->horizontalHeader()->setStyleSheet("QHeaderView::section { padding: 0px 1px; }");
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    return view;
}

// A row of buttons over a tab's grid.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (QPushButton* b : buttons) row->addWidget(b);
    row->addStretch(1);
    return row;
}

QVBoxLayout* TabBox(QWidget* tab) {
    auto* box = new QVBoxLayout(tab);
    box->setContentsMargins(4, 2, 4, 2);
    box->setSpacing(4);
    return box;
}

}  // namespace

TSettingsPage::TSettingsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent)
    : QWidget(parent), Actions(session, bd), session_(session), bd_(bd), transfer_(transfer) {
    setObjectName("tsSettings");
    QFont pageFont = font();
    pageFont.setPixelSize(kPageFontPixels);
    setFont(pageFont);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(3, 2, 3, 2);
    page->setSpacing(3);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    bLoadAllOptions = MakeButton(this, "bLoadAllOptions", "Считать всё из ККМ", true);
    bSaveAllOptions = MakeButton(this, "bSaveAllOptions", "Записать всё в ККМ", true);
    lFullFun = new QLabel("для включения дополнительных функций в командной строке укажите: FULLFUN", this);
    lFullFun->setObjectName("lFullFun");
    lFullFun->setWordWrap(true);
    lFullFun->setStyleSheet("color: #808080;");
    QFont note = lFullFun->font();
    note.setPixelSize(10);
    lFullFun->setFont(note);
    lFullFun->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lFullFun->setMinimumWidth(60);
    // Two lines at most: its preferred height, worked out for a narrow
    // width, took the height the option cards need.
    lFullFun->setMaximumHeight(2 * QFontMetrics(note).lineSpacing() + 2);
    top->addWidget(bLoadAllOptions);
    top->addWidget(bSaveAllOptions);
    top->addWidget(lFullFun, 1);
    page->addLayout(top);

    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    pcSettings = new QTabWidget(this);
    pcSettings->setObjectName("pcSettings");
    pcSettings->addTab(BuildOptionsTab(), "Опции");
    pcSettings->addTab(BuildDepartmentsTab(), "Отделы");
    pcSettings->addTab(BuildLinesTab(), "Заголовок и окончание чека");
    pcSettings->addTab(BuildTaxTab(), "Налоги");
    row->addWidget(pcSettings, 1);
    profilesRoom_ = new QWidget(this);
    profilesRoom_->setObjectName("pnlProfilesRoom");
    profilesRoom_->setFixedWidth(kProfilesRoomWidth);
    row->addWidget(profilesRoom_);
    page->addLayout(row, 1);

    connect(bLoadAllOptions, &QPushButton::clicked, this, &TSettingsPage::bLoadAllOptionsClick);
    connect(bSaveAllOptions, &QPushButton::clicked, this, &TSettingsPage::bSaveAllOptionsClick);

    Actions.OnFontListChanged = [this] { FillFontBoxes(); };
    Actions.AddAfterConnectStep();
    FillFontBoxes();
}

TSettingsPage::~TSettingsPage() { Actions.OnFontListChanged = nullptr; }

QWidget* TSettingsPage::BuildOptionsTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsOptions");
    auto* box = TabBox(tab);
    bLoadOptions = MakeButton(tab, "bLoadOptions", "считать из ККМ");
    bSaveOptions = MakeButton(tab, "bSaveOptions", "записать в ККМ");
    bSetDefaultOptions = MakeButton(tab, "bSetDefaultOptions", "по умолчанию");
    bVid = MakeButton(tab, "bVid", "Вид");
    box->addLayout(ButtonRow({bLoadOptions, bSaveOptions, bSetDefaultOptions, bVid}));

    OptionViews = new QStackedWidget(tab);
    OptionCards = new TOptionCardsPanel(bd_, OptionViews);
    OptionViews->addWidget(OptionCards);

    optionsModel_ = new TMemTableModelQt(bd_.mtOptions,
                                         {GridColumn("num", 24).ReadOnlyGrey().Centred(),
                                          GridColumn("Value", 33).Centred().Bold().Within(0, 255),
                                          GridColumn("Diapazon", 53).ReadOnlyGrey().Centred(),
                                          GridColumn("Captions", 284).ReadOnlyGrey()},
                                         this);
    DBGridEhOptions = MakeGrid(OptionViews, "DBGridEhOptions", optionsModel_, kOptionListRowHeight);
    DBGridEhOptions->setWordWrap(false);
    // The marks: the number when the value differs, the range when the value
    // is outside it; not on the cell being edited.
    optionsModel_->CellLook = [this](int row, int column, int role) -> QVariant {
        if (role != Qt::ForegroundRole && role != Qt::FontRole) return {};
        if (column != 0 && column != 2) return {};
        const QModelIndex current = DBGridEhOptions->currentIndex();
        if (DBGridEhOptions->hasFocus() && current.row() == row && current.column() == column) return {};
        TRecordRef rec = bd_.mtOptions.VisibleRecord(row);
        const bool marked = column == 0 ? OptionDiffers(rec, bd_) : OptionOutOfRange(rec);
        if (!marked) return {};
        if (role == Qt::ForegroundRole) return ToQColor(column == 0 ? OptionDiffMarkColor : OptionRangeMarkColor);
        QFont f = DBGridEhOptions->font();
        f.setBold(true);
        return f;
    };
    OptionViews->addWidget(DBGridEhOptions);
    OptionViews->setCurrentWidget(OptionCards);
    box->addWidget(OptionViews, 1);

    connect(bLoadOptions, &QPushButton::clicked, this, &TSettingsPage::bLoadOptionsClick);
    connect(bSaveOptions, &QPushButton::clicked, this, &TSettingsPage::bSaveOptionsClick);
    connect(bSetDefaultOptions, &QPushButton::clicked, this, &TSettingsPage::bSetDefaultOptionsClick);
    connect(bVid, &QPushButton::clicked, this, &TSettingsPage::bVidClick);
    return tab;
}

QWidget* TSettingsPage::BuildDepartmentsTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsDepatment");
    auto* box = TabBox(tab);
    bDepLoadFromKKM = MakeButton(tab, "bDepLoadFromKKM", "считать из ККМ");
    bSaveDepToKKM = MakeButton(tab, "bSaveDepToKKM", "записать в ККМ");
    box->addLayout(ButtonRow({bDepLoadFromKKM, bSaveDepToKKM}));
    depModel_ = new TMemTableModelQt(bd_.mtDepatment,
                                     {GridColumn("Num", 36).ReadOnlyGrey().Centred(),
                                      GridColumn("Status", 72),
                                      GridColumn("Name", 134),
                                      GridColumn("NG", 32).Centred(),
                                      GridColumn("Price", 63).Right().TitleRight()},
                                     this);
    DBGridEhDep = MakeGrid(tab, "DBGridEhDep", depModel_);
    DBGridEhDep->horizontalHeader()->setStretchLastSection(false);
    box->addWidget(DBGridEhDep, 1);
    connect(bDepLoadFromKKM, &QPushButton::clicked, this, &TSettingsPage::bDepLoadFromKKMClick);
    connect(bSaveDepToKKM, &QPushButton::clicked, this, &TSettingsPage::bSaveDepToKKMClick);
    return tab;
}

QWidget* TSettingsPage::BuildLinesTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsTitle");
    auto* box = TabBox(tab);
    bLoadTitle = MakeButton(tab, "bLoadTitle", "считать из ККМ");
    bSaveToKKM = MakeButton(tab, "bSaveToKKM", "записать в ККМ");
    box->addLayout(ButtonRow({bLoadTitle, bSaveToKKM}));

    QFont courier("Courier");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(12);
    const auto addGroup = [&](TMemTable& table, TMemTableModelQt*& model, QTableView*& grid, const char* gridName,
                              QComboBox*& fontBox, const char* boxName, const char* field) {
        auto* fontRow = new QHBoxLayout;
        fontRow->setSpacing(4);
        fontRow->addWidget(new QLabel("Шрифт", tab));
        fontBox = new QComboBox(tab);
        fontBox->setObjectName(boxName);
        fontBox->setEditable(false);
        fontBox->setMaxVisibleItems(9);
        fontBox->setFixedWidth(kFontListWidth);
        fontRow->addWidget(fontBox);
        fontRow->addStretch(1);
        box->addLayout(fontRow);
        model = new TMemTableModelQt(table,
                                     {GridColumn("Num", 24).ReadOnlyGrey().Centred(),
                                      GridColumn("Caption", 268)},
                                     this);
        grid = MakeGrid(tab, gridName, model);
        grid->setFont(courier);
        grid->horizontalHeader()->setFont(font());
        // All six lines, or three with a scroll bar where the console was made tall.
        const int chrome = kGridHeaderHeight + 2 * grid->frameWidth() + 2;
        grid->setMaximumHeight(6 * 18 + chrome);
        grid->setMinimumHeight(3 * 18 + chrome);
        grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        box->addWidget(grid, 1);
        QComboBox* boxPtr = fontBox;
        connect(fontBox, &QComboBox::activated, this, [this, boxPtr, field] { FontPicked(boxPtr, field); });
    };
    addGroup(bd_.mtTitle, titleModel_, DBGridEhTitle, "DBGridEhTitle", cbTitleFont, "cbTitleFont", "TitleFont");
    addGroup(bd_.mtFooter, footerModel_, DBGridEhFooter, "DBGridEhFooter", cbFooterFont, "cbFooterFont",
             "footerFont");
    box->addStretch(1);

    // The two lists follow the current profile's font row.
    fontModel_ = new TMemTableModelQt(bd_.mtCheckFont, {GridColumn("TitleFont", 60), GridColumn("footerFont", 60)}, this);
    connect(fontModel_, &QAbstractItemModel::modelReset, this, &TSettingsPage::ShowFonts);
    connect(fontModel_, &QAbstractItemModel::rowsInserted, this, &TSettingsPage::ShowFonts);
    connect(fontModel_, &QAbstractItemModel::rowsRemoved, this, &TSettingsPage::ShowFonts);
    connect(fontModel_, &QAbstractItemModel::dataChanged, this, &TSettingsPage::ShowFonts);
    connect(fontModel_, &TMemTableModelQt::CurrentRowChanged, this, &TSettingsPage::ShowFonts);

    connect(bLoadTitle, &QPushButton::clicked, this, &TSettingsPage::bLoadTitleClick);
    connect(bSaveToKKM, &QPushButton::clicked, this, &TSettingsPage::bSaveToKKMClick);
    return tab;
}

QWidget* TSettingsPage::BuildTaxTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsTax");
    auto* box = TabBox(tab);
    bLoadTax = MakeButton(tab, "bLoadTax", "считать из ККМ");
    box->addLayout(ButtonRow({bLoadTax}));
    taxModel_ = new TMemTableModelQt(bd_.mtTax,
                                     {GridColumn("Num", 19).ReadOnlyGrey().Centred(),
                                      GridColumn("isDefined", 29).ReadOnly().Centred(),
                                      GridColumn("Name", 127).ReadOnly(),
                                      GridColumn("Type", 61).ReadOnly(),
                                      GridColumn("Percent", 59).ReadOnly().Centred()},
                                     this);
    // "Опр." is a check mark, not the words True/False; a narrow cell shows
    // its whole text when the mouse rests on it.
    taxModel_->CellLook = [this](int row, int column, int role) -> QVariant {
        if (role == Qt::ToolTipRole) return taxModel_->index(row, column).data(Qt::DisplayRole);
        if (column != 1) return {};
        if (role == Qt::DisplayRole) return QString();
        if (role == Qt::CheckStateRole) {
            const bool on = bd_.mtTax.VisibleValue(row, bd_.mtTax.FieldIndex("isDefined")).AsBoolean();
            return on ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    };
    DBGridEhTax = MakeGrid(tab, "DBGridEhTax", taxModel_);
    DBGridEhTax->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridEhTax->horizontalHeader()->setStretchLastSection(false);
    box->addWidget(DBGridEhTax, 1);
    connect(bLoadTax, &QPushButton::clicked, this, &TSettingsPage::bLoadTaxClick);
    return tab;
}

// ------------------------------------------------------------------ fonts

void TSettingsPage::FillFontLists() { Actions.FillFontLists(); }

void TSettingsPage::FillFontBoxes() {
    for (QComboBox* box : {cbTitleFont, cbFooterFont}) {
        box->blockSignals(true);
        box->clear();
        for (const std::string& caption : Actions.FontList) box->addItem(Q(caption));
        box->blockSignals(false);
    }
    ShowFonts();
}

void TSettingsPage::ShowFonts() {
    TMemTable& t = bd_.mtCheckFont;
    const bool hasRow = t.Active() && !t.IsEmpty();
    for (auto [box, field] : {std::pair{cbTitleFont, "TitleFont"}, std::pair{cbFooterFont, "footerFont"}}) {
        const QString text = hasRow ? Q(t.AsString(field)) : QString();
        box->blockSignals(true);
        box->setCurrentIndex(text.isEmpty() ? -1 : box->findText(text));
        box->blockSignals(false);
    }
}

void TSettingsPage::FontPicked(QComboBox* box, const char* field) {
    if (box->currentIndex() < 0) return;
    // Taken first: the new row shows in both lists before it gets the value.
    const std::string caption = S(box->currentText());
    TMemTable& t = bd_.mtCheckFont;
    t.Edit();  // the profile's first font row comes with its first edit
    t.SetValue(field, caption);
    t.Post();
}

// --------------------------------------------------------------- handlers

void TSettingsPage::Run(const std::function<void()>& operation) {
    if (busy_ || transfer_.TransferRunning) return;
    busy_ = true;
    struct TDone {
        bool& flag;
        ~TDone() { flag = false; }
    } done{busy_};
    operation();
}

void TSettingsPage::bLoadAllOptionsClick() {
    Run([this] { Actions.bLoadAllOptionsClick(); });
}
void TSettingsPage::bSaveAllOptionsClick() {
    Run([this] { Actions.bSaveAllOptionsClick(); });
}
void TSettingsPage::bLoadOptionsClick() {
    Run([this] { Actions.bLoadOptionsClick(); });
}
void TSettingsPage::bSaveOptionsClick() {
    Run([this] { Actions.bSaveOptionsClick(); });
}
void TSettingsPage::bSetDefaultOptionsClick() {
    Run([this] { Actions.bSetDefaultOptionsClick(); });
}
void TSettingsPage::bDepLoadFromKKMClick() {
    Run([this] { Actions.bDepLoadFromKKMClick(); });
}
void TSettingsPage::bSaveDepToKKMClick() {
    Run([this] { Actions.bSaveDepToKKMClick(); });
}
void TSettingsPage::bLoadTitleClick() {
    Run([this] { Actions.bLoadTitleClick(); });
}
void TSettingsPage::bSaveToKKMClick() {
    Run([this] { Actions.bSaveToKKMClick(); });
}
void TSettingsPage::bLoadTaxClick() {
    Run([this] { Actions.bLoadTaxClick(); });
}

void TSettingsPage::bVidClick() {
    OptionViews->setCurrentWidget(OptionViews->currentWidget() == DBGridEhOptions ? static_cast<QWidget*>(OptionCards)
                                                                                   : DBGridEhOptions);
}

void TSettingsPage::RefreshCaptions() { depModel_->Refresh(); }
