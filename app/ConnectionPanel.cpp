#include "app/ConnectionPanel.h"

#include "app/QtText.h"
#include "app/RegisterSearchForm.h"
#include "kkm/RegisterSession.h"
#include "lang/U_language.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kSpeeds[] = {"9600", "19200", "38400", "57600", "115200"};

// The port number of a list item: its characters 4 to 6, cut at the first blank.
QString PortNumberText(const QString& item) { return item.mid(3, 3).section(' ', 0, 0); }

}  // namespace

TConnectionPanel::TConnectionPanel(TRegisterSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName("pnlConnection");
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    const auto addLabel = [&](QLabel*& label, const char* name, const char* caption) {
        label = new QLabel(this);
        label->setObjectName(name);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        label->setAlignment(Qt::AlignHCenter);
        auto* cap = new QLabel(caption, this);
        cap->setAlignment(Qt::AlignHCenter);
        QFont cf = cap->font();
        cf.setPointSizeF(cf.pointSizeF() * 0.85);
        cap->setFont(cf);
        box->addWidget(label);
        box->addWidget(cap);
    };
    addLabel(lModel, "lModel", "Модель");
    addLabel(lSN, "lSN", "Серийный номер");
    addLabel(lVer, "lVer", "Версия");
    addLabel(lMode, "lMode", "Режим");
    addLabel(lDate, "lDate", "Дата");
    addLabel(lTime, "lTime", "Время");
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 4, 0, 0);
    grid->setVerticalSpacing(2);
    cbComPort = new QComboBox(this);
    cbComPort->setObjectName("cbComPort");
    cbSpeedPort = new QComboBox(this);
    cbSpeedPort->setObjectName("cbSpeedPort");
    for (const char* s : kSpeeds) cbSpeedPort->addItem(s);
    cbNetNum = new QComboBox(this);
    cbNetNum->setObjectName("cbNetNum");
    for (int i = 1; i <= 98; ++i) cbNetNum->addItem(QString::number(i));
    grid->addWidget(new QLabel("Порт", this), 0, 0);
    grid->addWidget(cbComPort, 0, 1);
    grid->addWidget(new QLabel("Скорость", this), 1, 0);
    grid->addWidget(cbSpeedPort, 1, 1);
    grid->addWidget(new QLabel("Сетевой №", this), 2, 0);
    grid->addWidget(cbNetNum, 2, 1);
    box->addLayout(grid);
    bConnect = new QPushButton(this);
    bConnect->setObjectName("bConnect");
    box->addWidget(bConnect);
    connect(bConnect, &QPushButton::clicked, this, &TConnectionPanel::ConnectClicked);
    bSearch = new QPushButton("Поиск ККМ", this);
    bSearch->setObjectName("bSearch");
    box->addWidget(bSearch);
    connect(bSearch, &QPushButton::clicked, this, &TConnectionPanel::bSearchClick);
    Refresh();
}

void TConnectionPanel::FillPortList() {
    cbComPort->blockSignals(true);
    cbComPort->clear();
    const std::string list = EnumComPorts();
    for (std::size_t start = 0; start < list.size();) {
        auto end = list.find("\r\n", start);
        if (end == std::string::npos) end = list.size();
        const QString item = Q(list.substr(start, end - start));
        cbComPort->addItem(item);
        cbComPort->setItemData(cbComPort->count() - 1, Q(PortDevicePath(PortNumberText(item).toInt())),
                               Qt::ToolTipRole);
        start = end + 2;
    }
    cbComPort->setCurrentIndex(-1);
    cbComPort->blockSignals(false);
}

void TConnectionPanel::Prepare() {
    FillPortList();
    session_.LoadSettings();
    cbSpeedPort->blockSignals(true);
    cbSpeedPort->setCurrentIndex(cbSpeedPort->findText(QString::number(session_.ComPort.GetSpeed())));
    cbSpeedPort->blockSignals(false);
    SelectPort(session_.ComPort.GetPortNumber());
    cbNetNum->blockSignals(true);
    const int net = session_.KKM.NetNumber;
    cbNetNum->setCurrentIndex(net >= 1 && net <= 98 ? net - 1 : -1);
    cbNetNum->blockSignals(false);
    connect(cbComPort, &QComboBox::currentIndexChanged, this, &TConnectionPanel::cbComPortChange, Qt::UniqueConnection);
    connect(cbSpeedPort, &QComboBox::currentIndexChanged, this, &TConnectionPanel::cbSpeedPortChange,
            Qt::UniqueConnection);
    connect(cbNetNum, &QComboBox::currentIndexChanged, this, &TConnectionPanel::cbNetNumChange, Qt::UniqueConnection);
}

void TConnectionPanel::SelectPort(int n) {
    cbComPort->blockSignals(true);
    cbComPort->setCurrentIndex(-1);
    for (int i = 0; i < cbComPort->count(); ++i)
        if (PortNumberText(cbComPort->itemText(i)) == QString::number(n)) {
            cbComPort->setCurrentIndex(i);
            break;
        }
    cbComPort->blockSignals(false);
}

void TConnectionPanel::Save(TUnsavedSettings& unsaved) { session_.SaveSettings(unsaved); }

void TConnectionPanel::RefreshCaptions() { bConnect->setText(Q(LangStr(session_.IsConnected() ? 44 : 43))); }

void TConnectionPanel::Refresh() {
    const auto& l = session_.Labels;
    const auto show = [](QLabel* label, const std::string& text, TColor color) {
        label->setText(Q(text));
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, ToQColor(color));
        label->setPalette(p);
    };
    show(lModel, l.Model, l.Color);
    show(lSN, l.SN, l.Color);
    show(lVer, l.Ver, l.Color == PanelColorDisconnected ? l.Color : l.VerColor);
    show(lMode, l.Mode, l.Color);
    show(lDate, l.Date, l.Color);
    show(lTime, l.Time, l.Color);
    const bool connected = session_.IsConnected();
    cbComPort->setEnabled(!connected);
    cbSpeedPort->setEnabled(!connected);
    cbNetNum->setEnabled(!connected);
    bSearch->setEnabled(!connected);
    RefreshCaptions();
}

void TConnectionPanel::ClearBusyMark() {
    const int i = cbComPort->currentIndex();
    if (i < 0) return;
    const QString text = cbComPort->itemText(i);
    if (!text.contains(' ')) return;
    cbComPort->blockSignals(true);
    cbComPort->setItemText(i, text.section(' ', 0, 0));
    cbComPort->setCurrentIndex(i);
    cbComPort->blockSignals(false);
}

void TConnectionPanel::cbComPortChange(int index) {
    if (index >= 0) session_.ComPort.SetPortNumber(PortNumberText(cbComPort->itemText(index)).toInt());
}

void TConnectionPanel::cbSpeedPortChange(int index) {
    if (index >= 0) session_.ComPort.SetSpeed(cbSpeedPort->itemText(index).toInt());
}

void TConnectionPanel::cbNetNumChange(int index) {
    if (index >= 0) session_.KKM.NetNumber = static_cast<std::uint8_t>(index + 1);
}

void TConnectionPanel::bSearchClick() {
    if (session_.IsConnected()) return;
    if (!searchForm_) {
        searchForm_ = new TRegisterSearchForm(session_, window());
        connect(searchForm_, &TRegisterSearchForm::RegisterChosen, this, &TConnectionPanel::ConnectTo);
    }
    searchForm_->show();
}

void TConnectionPanel::ConnectTo(const TFoundRegister& reg) {
    if (session_.IsConnected()) return;
    FillPortList();  // the search may have met a port that was not listed yet
    session_.ComPort.SetPortNumber(reg.Port);
    session_.ComPort.SetSpeed(reg.Speed);
    session_.KKM.NetNumber = static_cast<std::uint8_t>(reg.Net);
    // The search leaves the register's sequence counters at 0.
    session_.KKM.RxSeq = session_.KKM.TxSeq = 0;
    SelectPort(reg.Port);
    cbSpeedPort->blockSignals(true);
    cbSpeedPort->setCurrentIndex(cbSpeedPort->findText(QString::number(reg.Speed)));
    cbSpeedPort->blockSignals(false);
    cbNetNum->blockSignals(true);
    cbNetNum->setCurrentIndex(reg.Net - 1);
    cbNetNum->blockSignals(false);
    emit ConnectClicked();
}
