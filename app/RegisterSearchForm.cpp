#include "app/RegisterSearchForm.h"

#include "app/QtText.h"
#include "kkm/RegisterSession.h"
#include "link/Comport.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Row data of a busy port: no register behind it.
constexpr int kNoRegister = -1;

}  // namespace

TRegisterSearchForm::TRegisterSearchForm(const TRegisterSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setObjectName("fmRegisterSearch");
    setWindowTitle("Поиск ККМ");
    setWindowModality(Qt::ApplicationModal);
    auto* box = new QVBoxLayout(this);
    cbAllNets = new QCheckBox("все сетевые номера", this);
    cbAllNets->setObjectName("cbAllNets");
    box->addWidget(cbAllNets);
    pbSearch = new QProgressBar(this);
    pbSearch->setObjectName("pbSearch");
    pbSearch->setRange(0, 1);
    pbSearch->setValue(0);
    box->addWidget(pbSearch);
    lStatus = new QLabel(this);
    lStatus->setObjectName("lStatus");
    box->addWidget(lStatus);
    lvFound = new QTableWidget(0, 6, this);
    lvFound->setObjectName("lvFound");
    lvFound->setHorizontalHeaderLabels({"Порт", "Скорость", "Сетевой №", "Модель", "Серийный номер", "Версия"});
    lvFound->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFound->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFound->verticalHeader()->hide();
    lvFound->horizontalHeader()->setStretchLastSection(true);
    lvFound->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);  // captions fit
    box->addWidget(lvFound, 1);
    auto* buttons = new QHBoxLayout;
    bSearch = new QPushButton("Искать", this);
    bSearch->setObjectName("bSearch");
    bStop = new QPushButton("Остановить", this);
    bStop->setObjectName("bStop");
    bConnect = new QPushButton("Подключиться", this);
    bConnect->setObjectName("bConnect");
    buttons->addWidget(bSearch);
    buttons->addWidget(bStop);
    buttons->addStretch(1);
    buttons->addWidget(bConnect);
    box->addLayout(buttons);
    resize(620, 300);

    connect(bSearch, &QPushButton::clicked, this, &TRegisterSearchForm::StartSearch);
    connect(bStop, &QPushButton::clicked, this, [this] { search_.Stop(); });
    connect(bConnect, &QPushButton::clicked, this, &TRegisterSearchForm::Choose);
    connect(lvFound, &QTableWidget::cellDoubleClicked, this, &TRegisterSearchForm::Choose);
    connect(lvFound, &QTableWidget::itemSelectionChanged, this, &TRegisterSearchForm::RefreshButtons);
    search_.OnFound = [this](const TFoundRegister& reg) { AddRow(reg, false); };
    search_.OnBusy = [this](const TSearchPort& port) { AddRow({port.Number, port.Device, 0, 0, {}}, true); };
    search_.OnProgress = [this](int done, int total) {
        pbSearch->setMaximum(total > 0 ? total : 1);
        pbSearch->setValue(done);
        ShowSearching(done);
    };
    RefreshButtons();
}

void TRegisterSearchForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once the window is on screen.
    QTimer::singleShot(0, this, &TRegisterSearchForm::StartSearch);
}

void TRegisterSearchForm::done(int result) {
    search_.Stop();  // a search under way ends before the window is used again
    QDialog::done(result);
}

void TRegisterSearchForm::StartSearch() {
    if (search_.Running() || !isVisible()) return;
    lvFound->setRowCount(0);
    found_.clear();
    chosen_ = -1;
    pbSearch->setValue(0);
    search_.FirstSpeed = session_.ComPort.GetSpeed();
    search_.NetNumber = session_.KKM.NetNumber;
    search_.AllNets = cbAllNets->isChecked();
    cbAllNets->setEnabled(false);
    bSearch->setEnabled(false);
    bStop->setEnabled(true);
    const std::vector<TSearchPort> ports = SearchPortList();
    searchedPorts_.clear();
    for (const auto& p : ports)
        if (!p.Busy) searchedPorts_ += (searchedPorts_.isEmpty() ? "" : ", ") + Q("COM" + std::to_string(p.Number));
    portCount_ = static_cast<int>(std::count_if(ports.begin(), ports.end(), [](const TSearchPort& p) { return !p.Busy; }));
    speeds_ = SearchSpeedOrder(IsValidSpeed(search_.FirstSpeed) ? search_.FirstSpeed : 19200);
    const std::size_t found = search_.Run(ports).size();
    // The bar stays where a stop left it; the line says which of the two it was.
    if (search_.Stopped())
        lStatus->setText(QString("Поиск остановлен, найдено ККМ: %1").arg(found));
    else
        lStatus->setText(QString("Поиск закончен, найдено ККМ: %1").arg(found));
    cbAllNets->setEnabled(true);
    RefreshButtons();
    if (chosen_ >= 0 && isVisible()) {
        const TFoundRegister reg = found_[static_cast<std::size_t>(chosen_)];
        accept();
        emit RegisterChosen(reg);
    }
}

void TRegisterSearchForm::ShowSearching(int done) {
    if (!search_.Running()) return;
    if (portCount_ == 0 || speeds_.empty()) {
        lStatus->setText("Идёт поиск...");
        return;
    }
    // The ports are searched side by side, each speed in turn.
    const int step = std::min<int>(done / portCount_, static_cast<int>(speeds_.size()) - 1);
    lStatus->setText(QString("Идёт поиск: %1, скорость %2 (%3 из %4)")
                         .arg(searchedPorts_)
                         .arg(speeds_[static_cast<std::size_t>(step)])
                         .arg(step + 1)
                         .arg(speeds_.size()));
}

void TRegisterSearchForm::AddRow(const TFoundRegister& reg, bool busy) {
    const int row = lvFound->rowCount();
    lvFound->insertRow(row);
    const QStringList cells =
        busy ? QStringList{Q("COM" + std::to_string(reg.Port)), "", "", "порт занят", "", ""}
             : QStringList{Q("COM" + std::to_string(reg.Port)), QString::number(reg.Speed), QString::number(reg.Net),
                           Q(reg.Identity.Model),           Q(reg.Identity.SerialNumber), Q(reg.Identity.Version)};
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setData(Qt::UserRole, busy ? kNoRegister : static_cast<int>(found_.size()));
        item->setToolTip(Q(reg.Device));
        lvFound->setItem(row, c, item);
    }
    if (!busy) found_.push_back(reg);
    if (!busy && found_.size() == 1) lvFound->selectRow(row);
    RefreshButtons();
}

void TRegisterSearchForm::Choose() {
    const int row = lvFound->currentRow();
    const int index = row >= 0 && lvFound->item(row, 0) ? lvFound->item(row, 0)->data(Qt::UserRole).toInt() : kNoRegister;
    if (index == kNoRegister) return;
    chosen_ = index;
    if (search_.Running()) {
        search_.Stop();  // the connect follows once the ports are closed
        return;
    }
    const TFoundRegister reg = found_[static_cast<std::size_t>(index)];
    accept();
    emit RegisterChosen(reg);
}

void TRegisterSearchForm::RefreshButtons() {
    const bool running = search_.Running();
    bSearch->setEnabled(!running);
    bStop->setEnabled(running);
    const int row = lvFound->currentRow();
    bConnect->setEnabled(row >= 0 && lvFound->item(row, 0) &&
                         lvFound->item(row, 0)->data(Qt::UserRole).toInt() != kNoRegister);
}
