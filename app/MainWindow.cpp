#include "app/MainWindow.h"

#include "app/AppHooks.h"
#include "app/ConfigFile.h"
#include "app/ConnectionPanel.h"
#include "app/ConsolePanel.h"
#include "app/Dialog.h"
#include "app/ExchangeLockQt.h"
#include "app/MessageBoxForm.h"
#include "app/PageSelectorPanel.h"
#include "app/QtTranslation.h"
#include "app/QtText.h"
#include "app/U_filedirwork.h"
#include "lang/U_language.h"
#include "goods/GoodsPage.h"
#include "journal/JournalPage.h"
#include "profiles/ProfileActions.h"
#include "profiles/ProfilesPanel.h"
#include "settings/SettingsActions.h"
#include "sim/DemoRegister.h"
#include "settings/SettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kBannerHeight = 45;
constexpr int kConsoleHeight = 43;  // the banner less its top margin
constexpr int kBannerTopMargin = kBannerHeight - kConsoleHeight;
constexpr int kLeftColumnWidth = 154;
constexpr const char* kVersionSuffix = " v2.01 ";
constexpr const char* kFamilies = "Ворник-01Ф, Ворник-02Ф, Ворник-05К";

// The maker's mark: a 32 x 32 blue square with a white "З".
QPixmap MakerLogo() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1F, 0x4E, 0x9A));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(0, 0, 32, 32, 6, 6);
    QFont f("Arial");
    f.setPixelSize(24);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, "З");
    return pm;
}

// A small cash register drawn as the product image.
QPixmap ProductImage() {
    QPixmap pm(36, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(QColor(0xD8, 0xD8, 0xD0));
    p.drawRoundedRect(2, 12, 32, 18, 3, 3);
    p.setBrush(QColor(0x30, 0x80, 0x40));
    p.drawRect(8, 3, 20, 9);
    p.setBrush(QColor(0x60, 0x60, 0x60));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) p.drawRect(6 + c * 6, 16 + r * 6, 4, 4);
    return pm;
}

}  // namespace

TfmMain::TfmMain(QWidget* parent)
    : QWidget(parent), BD(std::make_unique<TBD>()), boxes_(std::make_unique<TMessageBoxForm>(this)) {
    BD->InfoSource = [this] { return Session.Info(); };
    setObjectName("fmMain");
    resize(786, 561);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    // The banner with the console over the rest: the handle between them
    // makes the console taller.
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName("splConsole");
    splitter_->setChildrenCollapsible(false);
    BuildBanner();
    auto* bodyWidget = new QWidget(splitter_);
    auto* body = new QHBoxLayout(bodyWidget);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(BuildLeftColumn());
    pages_ = new QTabWidget(bodyWidget);
    pages_->setObjectName("MainPageControl");
    pages_->setTabPosition(QTabWidget::South);
    BuildPages();
    body->addWidget(pages_, 1);
    splitter_->addWidget(bodyWidget);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    outer->addWidget(splitter_, 1);
    connect(splitter_, &QSplitter::splitterMoved, this,
            [this] { consoleHeight_ = splitter_->sizes().value(0) - kBannerTopMargin; });
    connect(pages_, &QTabWidget::currentChanged, this, &TfmMain::MainPageControlChanging);
    connect(selector_, &TPageSelectorPanel::PageSelected, pages_, &QTabWidget::setCurrentIndex);
    selector_->CanChangePage = [this] { return !Transfer.TransferRunning; };
    SetDialogService(boxes_.get());
    Session.OnPortOpened = [this] { connection_->ClearBusyMark(); };
    Session.OnChanged = [this] { connection_->Refresh(); };
    connect(connection_, &TConnectionPanel::ConnectClicked, this, [this] { Connect(); });
}

bool TfmMain::Connect() {
    // The port stays as it is while a transfer talks to the register.
    if (Transfer.TransferRunning) return Session.IsConnected();
    return Session.Connect();
}

QLineEdit* TfmMain::eBdFile() const { return goodsPage_->eBdFile; }

TfmMain::~TfmMain() {
    if (!closed_) FormClose();
    // The pages' grids watch tables of BD: they go before BD does.
    delete pages_;
    pages_ = nullptr;
    SetConsole(nullptr);
    SetDialogService(nullptr);
}

void TfmMain::BuildBanner() {
    auto* banner = new QWidget(splitter_);
    banner->setObjectName("pnlBanner");
    banner->setMinimumHeight(kBannerHeight);
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(4, kBannerTopMargin, 0, 0);
    row->setSpacing(6);
    auto* logo = new QLabel(banner);
    logo->setPixmap(MakerLogo());
    auto* maker = new QLabel("ЗЕВРИН", banner);
    QFont mf("Arial");
    mf.setPixelSize(19);
    mf.setBold(true);
    maker->setFont(mf);
    auto* product = new QLabel(banner);
    product->setPixmap(ProductImage());
    auto* captions = new QVBoxLayout;
    captions->setSpacing(0);
    auto* caption = new QLabel("Конфигуратор ККМ Ворник версий:", banner);
    auto* families = new QLabel(kFamilies, banner);
    families->setObjectName("lFamilies");
    families->setStyleSheet("color: #008000;");
    captions->addWidget(caption);
    captions->addWidget(families);
    captions->addStretch(1);  // the banner's left part stays at its top when the console grows
    row->addWidget(logo, 0, Qt::AlignTop);
    row->addWidget(maker, 0, Qt::AlignTop);
    row->addWidget(product, 0, Qt::AlignTop);
    row->addLayout(captions);
    console_ = new TConsolePanel(banner);
    console_->setObjectName("Console");
    console_->setMinimumHeight(kConsoleHeight);
    console_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    row->addWidget(console_, 1);
    splitter_->addWidget(banner);
}

QWidget* TfmMain::BuildLeftColumn() {
    // The column scrolls rather than holding the window's height: at the
    // starting size the console can still be made taller.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("sbLeft");
    scroll->setFixedWidth(kLeftColumnWidth);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    auto* column = new QWidget;
    column->setObjectName("pnlLeft");
    column->setFixedWidth(kLeftColumnWidth);
    column->setAutoFillBackground(true);
    QPalette p = column->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
    column->setPalette(p);
    scroll->viewport()->setPalette(p);
    leftColumn_ = new QVBoxLayout(column);
    leftColumn_->setContentsMargins(3, 3, 3, 3);
    leftColumn_->setSpacing(4);
    selector_ = new TPageSelectorPanel(column);
    leftColumn_->addWidget(selector_);
    connection_ = new TConnectionPanel(Session, column);
    leftColumn_->addWidget(connection_);
    leftColumn_->addStretch(1);
    auto* langRow = new QHBoxLayout;
    langRow->addWidget(new QLabel("Язык:", column));
    cbLanguage_ = new QComboBox(column);
    cbLanguage_->setObjectName("cbLanguage");
    langRow->addWidget(cbLanguage_, 1);
    leftColumn_->addLayout(langRow);
    scroll->setWidget(column);
    return scroll;
}

void TfmMain::BuildPages() {
    settingsPage_ = new TSettingsPage(Session, *BD, Transfer, pages_);
    TSettingsActions& loaded = settingsPage_->Actions;
    profilesPanel_ = InstallProfilesPanel(settingsPage_->ProfilesRoom(), Session, *BD,
                                          {&loaded.OptionsLoaded, &loaded.DepsLoaded, &loaded.TitleLoaded, &loaded.TaxLoaded});
    goodsPage_ = new TGoodsPage(Session, *BD, Transfer, pages_);
    journalPage_ = new TJournalPage(Session, Transfer, pages_);
    pages_->addTab(settingsPage_, "Настройка ККМ");
    pages_->addTab(goodsPage_, "Товары и Услуги");
    pages_->addTab(journalPage_, "Электронный журнал");
    LockDuringExchanges();
}

void TfmMain::LockDuringExchanges() {
    exchangeLock_ = new TExchangeLockQt(Transfer, this);
    for (QWidget* area : {static_cast<QWidget*>(connection_), static_cast<QWidget*>(settingsPage_)})
        exchangeLock_->AddArea(area);
    TGoodsPage& g = *goodsPage_;
    for (QWidget* w : std::initializer_list<QWidget*>{g.bLoadOneTOBAP, g.bSaveOneTOBAP, g.bAddTOBAP, g.bDelTOBAP,
                                                      g.cbisSaveTOBAPCount, g.DBGridEhTOBAP,
                                                      g.eBdFile->parentWidget()})
        exchangeLock_->AddArea(w);
    for (QWidget* w : {g.bLoadTOBAP, g.bSaveTOBAP, journalPage_->bLoadMagazineFromKKM}) exchangeLock_->AddStopButton(w);
}

void TfmMain::FormCreate() {
    // 1. Console, unless every message goes to the log only.
    if (MessDepth == mdHardWare) {
        SetConsole(nullptr);
        console_->Reset();
        console_->append("Программа находится в режиме mdHardWare");
        console_->append("Консоль отключена и все сообщения выводятся");
        console_->append("ТОЛЬКО в LOG ФАЙЛ");
    } else {
        SetConsole(console_);
    }
    // The console's height as the operator left it (applied when the window shows).
    consoleHeight_ = std::max(kConsoleHeight, ReadConsoleHeight(kConsoleHeight));
    RestorePlace();
    // The language the operator chose last, so that the title and the start
    // message are in it already.
    const std::string language = LangRes().RecordedLanguage();
    if (!language.empty() && language != BuiltInLanguage) LangRes().LoadLanguage(language);
    UseQtTranslation(language.empty() ? BuiltInLanguage : language);
    // 2.-3.
    RefreshCaptions();
    Mess(LangStr(0), false, true, true);
    // 4. Connection panel: port list, port settings, network number.
    if (isDEMO)
        StartDemoRegister();
    else
        connection_->Prepare();
    // 5. Goods exchange file name.
    goodsPage_->eBdFile->setText(Q(ReadExchangeFile()));
    // 6. The profile store's folder; a failure is reported by the store itself.
    ForceDir(JoinPath(CurrentDir(), "bd"));
    // 7. Font lists of the header and footer page.
    settingsPage_->FillFontLists();
    // Languages the operator can choose, the one in force selected.
    cbLanguage_->blockSignals(true);
    cbLanguage_->clear();
    cbLanguage_->addItem(Q(BuiltInLanguage));
    const std::string list = LangRes().ListLanguages();
    for (std::size_t start = 0; start < list.size();) {
        const auto end = list.find("\r\n", start);
        const std::string name = list.substr(start, end - start);
        if (name != BuiltInLanguage) cbLanguage_->addItem(Q(name));
        start = end == std::string::npos ? list.size() : end + 2;
    }
    const int chosen = cbLanguage_->findText(Q(language));
    cbLanguage_->setCurrentIndex(chosen >= 0 ? chosen : 0);
    cbLanguage_->blockSignals(false);
    connect(cbLanguage_, &QComboBox::currentIndexChanged, this, &TfmMain::cbLanguageChange, Qt::UniqueConnection);
    AppHooks().ProcessEvents = [lock = QPointer<TExchangeLockQt>(exchangeLock_)] {
        if (lock)
            lock->ProcessEvents();
        else
            QApplication::processEvents();
    };
    AppHooks().Terminating = [this] { return closed_ || QApplication::closingDown(); };
}

void TfmMain::RefreshCaptions() {
    setWindowTitle(Q(LangStr(3) + kVersionSuffix));
    connection_->RefreshCaptions();
    settingsPage_->RefreshCaptions();
}

bool TfmMain::FormCloseQuery() { return profilesPanel_->FormCloseQuery(); }

void TfmMain::FormClose() {
    if (closed_) return;
    closed_ = true;
    Mess(LangStr(1), false, true, true);
    if (demo_) Session.ComPort.SetPortNumber(configuredPort_);
    // Every section is tried, and one report names all that failed.
    TUnsavedSettings unsaved;
    connection_->Save(unsaved);
    std::string error;
    unsaved.Note(WriteExchangeFile(S(goodsPage_->eBdFile->text()), &error), "Exchange", error);
    if (unsaved.Note(WriteConsoleHeight(consoleHeight_, &error), "Window", error) && consoleSized_) {
        // Where the window was shown, as it was left; its normal size when maximised.
        const QRect r = isMaximized() ? normalGeometry() : geometry();
        unsaved.Note(WriteWindowPlace({r.x(), r.y(), r.width(), r.height(), isMaximized()}, &error), "Window", error);
    }
    if (demo_) demo_->Stop();
    unsaved.Report(!closingBySignal_);
}

void TfmMain::CloseOnSignal(const std::string& signalName) {
    if (closed_) return;
    // Nobody is there to answer the exit question or a message box.
    closingBySignal_ = true;
    Mess("Получен сигнал " + signalName + ", программа закрывается", false, true, true);
    FormClose();
    QApplication::quit();
}

void TfmMain::StartDemoRegister() {
    connection_->Prepare();
    configuredPort_ = Session.ComPort.GetPortNumber();
    demo_ = std::make_unique<TDemoRegister>();
    std::string error;
    if (!demo_->Start(Session.ComPort.GetSpeed(), JoinPath(CurrentDir(), "demo-register.json"), error)) {
        Error("Демонстрационная ККМ не запущена: " + error, true, true, true);
        demo_.reset();
        return;
    }
    connection_->FillPortList();
    Session.ComPort.SetPortNumber(demo_->PortNumber());
    connection_->SelectPort(demo_->PortNumber());
    Mess("Демонстрационная ККМ на порту COM" + std::to_string(demo_->PortNumber()), false, true, true);
}

void TfmMain::RestorePlace() {
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect();
    TWindowPlace place;
    if (!ReadWindowPlace(place)) {
        if (!screen.isEmpty()) move(screen.center() - rect().center());
        return;
    }
    QRect r(place.Left, place.Top, place.Width, place.Height);
    r.setSize(r.size().expandedTo(minimumSizeHint()));
    // A place on a screen no longer there comes back to the main one.
    if (!QGuiApplication::screenAt(r.topLeft() + QPoint(40, 10)) && !screen.isEmpty())
        r.moveCenter(screen.center());
    setGeometry(r);
    if (place.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TfmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (consoleSized_) return;
    consoleSized_ = true;
    // Once the window's layout has given the splitter its height.
    QTimer::singleShot(0, this, [this] {
        const int banner = consoleHeight_ + kBannerTopMargin;
        splitter_->setSizes({banner, std::max(0, splitter_->height() - splitter_->handleWidth() - banner)});
    });
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfmMain::MainPageControlChanging(int index) {
    if (Transfer.TransferRunning && index != shownPage_) {
        pages_->blockSignals(true);
        pages_->setCurrentIndex(shownPage_);
        pages_->blockSignals(false);
        return;
    }
    shownPage_ = index;
    selector_->Select(index);
}

void TfmMain::cbLanguageChange(int index) {
    if (index < 0) return;
    const std::string name = S(cbLanguage_->itemText(index));
    LangRes().SelectLanguage(name);  // loads the language even where the choice cannot be kept
    UseQtTranslation(name);
    Mess("Lang:" + name, false, true, true);
    RefreshCaptions();
}
