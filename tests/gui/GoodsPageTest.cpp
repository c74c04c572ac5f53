// The goods page in the main window with the simulated register: reading all
// goods and the current one, writing all and the current one (checked on the
// register's state), the write checks, adding and clearing rows, stopping a
// transfer, and the exchange-file buttons.
#include "GuiRig.h"
#include "GuiTestUtil.h"

#include "goods/GoodsExchange.h"
#include "goods/GoodsPage.h"
#include "goods/GoodsTransfer.h"
#include "profiles/DbfTable.h"
#include "settings/Unitbd.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <map>
#include <tuple>

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TGoodsRig : TGuiRig {
    explicit TGoodsRig(int simPort = kRigPort) : TGuiRig(simPort) { Window->MainPageControl()->setCurrentIndex(1); }
    TGoodsPage& Page() const { return *Window->GoodsPage(); }
    TMemTable& Table() const { return Window->BD->mtTOBAP; }
    std::vector<int> Codes() const {
        std::vector<int> out;
        for (int r = 0; r < Table().RecordCount(); ++r) out.push_back(Table().VisibleValue(r, 0).AsInteger());
        return out;
    }
    std::string Cell(int row, const char* field) const { return Table().DisplayText(row, Table().FieldIndex(field)); }
    void SetMode(std::uint8_t mode) {
        TSimState s = Sim->State();
        s.Identity.Mode = mode;
        Sim->SetState(s);
    }
    std::map<int, TSimGoods> RegisterGoods() const { return Sim->State().Register.Goods; }
    void SetRegisterGoods(std::map<int, TSimGoods> goods) {
        TSimState s = Sim->State();
        s.Register.Goods = std::move(goods);
        Sim->SetState(s);
    }
    // A row appended through the table, posted.
    void Row(int code, int type, const std::string& name, const TFieldValue& price, int vesovoy = 1,
             const std::string& shtrih = "", bool block = false) const {
        TMemTable& t = Table();
        t.Append();
        t.SetValue("Code", code);
        t.SetValue("Type", type);
        t.SetValue("Name", name);
        t.SetValue("NG", 1);
        t.SetValue("Price", price);
        t.SetValue("Section", 2);
        t.SetValue("Vesovoy", vesovoy);
        t.SetValue("Shtrih", shtrih);
        t.SetValue("isBlock", block);
        t.Post();
    }
    int Count(const std::string& text) const {
        const std::string log = Log();
        int n = 0;
        for (auto p = log.find(text); p != std::string::npos; p = log.find(text, p + text.size())) ++n;
        return n;
    }
    void ExpectIdle() const {
        EXPECT_FALSE(Window->Transfer.TransferRunning);
        EXPECT_FALSE(Window->Transfer.StopRequested);
        EXPECT_EQ(Window->Transfer.TransferPos, 0);
        EXPECT_EQ(S(Page().bLoadTOBAP->text()), "Считать все из ККМ");
        EXPECT_EQ(S(Page().bSaveTOBAP->text()), "Записать все в ККМ");
        EXPECT_FALSE(Page().ProgressBar->isVisibleTo(&Page()));
        EXPECT_TRUE(Page().DBGridEhTOBAP->isEnabled());
    }
};

TSimGoods Goods(std::uint8_t type, const std::string& name, long long price, long long sold = 0) {
    TSimGoods g;
    g.Type = type;
    g.Name = name;
    g.Price = price;
    g.Sold = sold;
    return g;
}

// A read-all packet: 01 10, the result code and the record of this code.
TBytes Packet(std::uint8_t result, int code) {
    TBytes p = {0x01, 0x10, result};
    const auto record = SimGoodsRecord(code, Goods(0xAA, "код " + std::to_string(code), 100 * code));
    p.insert(p.end(), record.begin(), record.end());
    return p;
}

}  // namespace

TEST(GoodsPage, ControlsAndTheirLook) {
    TGoodsRig rig(0);
    TGoodsPage& p = rig.Page();
    EXPECT_EQ(rig.Window->MainPageControl()->indexOf(&p), 1);
    const std::vector<std::pair<QPushButton*, const char*>> buttons = {
        {p.bLoadTOBAP, "Считать все из ККМ"}, {p.bLoadOneTOBAP, "Считать текущий"},  {p.bSaveTOBAP, "Записать все в ККМ"},
        {p.bSaveOneTOBAP, "Записать текущий"}, {p.bAddTOBAP, "Добавить запись"},     {p.bDelTOBAP, "Удалить запись"},
        {p.bLoadTOBAPfromDBF, "Считать из DBF"}, {p.bSaveTOBAPtoDBF, "Записать в DBF"}, {p.bPathDBF, "..."}};
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(S(button->text()), caption);
        EXPECT_EQ(button->font().bold(), button == p.bLoadTOBAP || button == p.bSaveTOBAP) << caption;
    }
    EXPECT_EQ(S(p.cbisSaveTOBAPCount->text()), "     При  записи сохранять кол - во");
    EXPECT_TRUE(p.cbisSaveTOBAPCount->isChecked());
    EXPECT_EQ(S(p.eBdFile->text()), "goods.dbf");

    const std::vector<std::string> titles = {"Код", "Тип", "Наименование", "НГ", "Цена", "Сек.", "Вес./Шт.", "Штрих-код", "Блок", "Продано"};
    auto* model = p.DBGridEhTOBAP->model();
    ASSERT_EQ(model->columnCount(), 10);
    for (int c = 0; c < 10; ++c) EXPECT_EQ(S(model->headerData(c, Qt::Horizontal).toString()), titles[static_cast<std::size_t>(c)]);
    const TMemTable& t = rig.Table();
    EXPECT_EQ(t.Field(t.FieldIndex("Type")).PickList(), (std::vector<std::string>{"", "товар", "услуга", "тара"}));
    EXPECT_EQ(t.Field(t.FieldIndex("NG")).PickList(), (std::vector<std::string>{"", "A", "B", "C", "D", "E"}));
    EXPECT_EQ(t.Field(t.FieldIndex("Vesovoy")).PickList(), (std::vector<std::string>{"", "шт.", "вес."}));

    rig.Window->resize(1000, 700);
    rig.Window->show();
    ProcessFor(50);
    EXPECT_FALSE(p.ProgressBar->isVisible());
    EXPECT_TRUE(p.DBGridEhTOBAP->isVisible());
    // The page fits the window's design size (786 x 561, the left column 154 wide).
    EXPECT_LE(p.minimumSizeHint().width(), 786 - 154 - 10);
    // The grid fills the page below the buttons, the file row and the search.
    EXPECT_GT(p.DBGridEhTOBAP->height(), p.height() - 5 * p.bLoadTOBAP->height() - 40);
    EXPECT_LT(p.eSearch->geometry().bottom(), p.DBGridEhTOBAP->geometry().top());

    // Every column in sight at the starting size, each caption whole; the
    // name takes what a larger window adds, on one line.
    QHeaderView* h = p.DBGridEhTOBAP->horizontalHeader();
    EXPECT_FALSE(p.DBGridEhTOBAP->wordWrap());
    for (const QSize size : {QSize(786, 561), QSize(1600, 900)}) {
        rig.Window->resize(size);
        ProcessFor(50);
        EXPECT_LE(h->length(), p.DBGridEhTOBAP->viewport()->width()) << size.width();
        for (int c = 0; c < 10; ++c)
            EXPECT_GE(h->sectionSize(c), h->fontMetrics().horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()))
                << titles[static_cast<std::size_t>(c)];
    }
    EXPECT_GT(h->sectionSize(2), 600) << "the name column takes the spare width";
    EXPECT_LT(h->sectionSize(9), 100);
}

TEST(GoodsPage, TheGridEditsInsertsAndAppendsButNeverDeletes) {
    TGoodsRig rig(0);
    TGoodsPage& p = rig.Page();
    rig.Row(1, 170, "Хлеб", 10);
    rig.Row(2, 170, "Соль", 20);
    auto* model = p.DBGridEhTOBAP->model();
    ASSERT_TRUE(model->setData(model->index(0, 1), "услуга", Qt::EditRole));
    EXPECT_EQ(rig.Table().VisibleValue(0, 1).AsInteger(), 165);
    ASSERT_TRUE(model->setData(model->index(0, 8), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(rig.Table().VisibleValue(0, 8).AsBoolean());
    EXPECT_EQ(model->data(model->index(0, 8), Qt::CheckStateRole).toInt(), Qt::Checked);

    rig.Window->show();
    p.DBGridEhTOBAP->setFocus();
    p.DBGridEhTOBAP->setCurrentIndex(model->index(1, 0));
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(p.DBGridEhTOBAP, &down);
    EXPECT_EQ(rig.Table().RecordCount(), 3);
    EXPECT_EQ(rig.Table().State(), TDataSetState::Insert);
    ASSERT_TRUE(model->setData(model->index(2, 0), "3", Qt::EditRole));
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 2, 3}));

    p.DBGridEhTOBAP->setCurrentIndex(model->index(1, 0));
    QKeyEvent insert(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    QApplication::sendEvent(p.DBGridEhTOBAP, &insert);
    ASSERT_TRUE(model->setData(model->index(1, 0), "9", Qt::EditRole));
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 9, 2, 3}));

    // A new row left untouched goes away when the operator moves on.
    p.bAddTOBAP->click();
    EXPECT_EQ(rig.Table().RecordCount(), 5);
    p.DBGridEhTOBAP->setCurrentIndex(model->index(0, 2));
    ProcessFor(20);
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 9, 2, 3}));
    EXPECT_EQ(rig.Table().CurrentRow(), 0);

    for (auto key : {Qt::Key_Delete, Qt::Key_Backspace}) {
        QKeyEvent del(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(p.DBGridEhTOBAP, &del);
    }
    EXPECT_EQ(rig.Table().RecordCount(), 4);

    // A cell takes no value the write would refuse, and the console says why
    // in the grid's words.
    SetRegionalDecimalSeparator(',');
    const std::vector<std::tuple<int, const char*, const char*>> refused = {
        {4, "12,505", "Цена \"12,505\" не принята: не больше двух знаков после запятой"},
        {4, "-1", "Цена \"-1\" не принята: цена не может быть отрицательной"},
        {0, "0", "Код \"0\" не принят: код товара - число от 1 до 999999"},
        {7, "46O7", "Штрих-код \"46O7\" не принят: только цифры, не больше 20"},
    };
    for (const auto& [column, text, why] : refused) {
        EXPECT_FALSE(model->setData(model->index(0, column), text, Qt::EditRole)) << text;
        EXPECT_TRUE(rig.Logged(why)) << why;
    }
    EXPECT_FALSE(rig.Logged("mtTOBAP"));
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 9, 2, 3}));
    EXPECT_EQ(rig.Table().VisibleValue(0, 4).AsCurrency().Units, TCurrency::FromDouble(10).Units);
    EXPECT_TRUE(model->setData(model->index(0, 4), "12,5", Qt::EditRole));
    EXPECT_EQ(rig.Table().VisibleValue(0, 4).AsCurrency().Units, TCurrency::FromDouble(12.5).Units);
    SetRegionalDecimalSeparator('\0');
}

TEST(GoodsPage, ReadAllFillsTheGridInCodeOrder) {
    TGoodsRig rig;
    rig.Row(999, 170, "старое", 1);
    std::vector<int> progressMax;
    auto& view = rig.Page().Goods().View;
    auto setMax = view.SetProgressMax;
    view.SetProgressMax = [&](int m) {
        setMax(m);
        progressMax.push_back(m);
        EXPECT_TRUE(rig.Page().ProgressBar->isVisibleTo(&rig.Page()));
        EXPECT_EQ(S(rig.Page().bLoadTOBAP->text()), "Остановить");
        EXPECT_FALSE(rig.Page().DBGridEhTOBAP->isEnabled());
    };
    std::vector<int> waits;
    auto showWait = view.ShowWait;
    view.ShowWait = [&](int ms) {
        showWait(ms);
        waits.push_back(ms);
    };
    rig.Page().bLoadTOBAP->click();
    // The progress window at the start and again for every packet.
    EXPECT_EQ(waits, std::vector<int>(21, 2000));

    std::vector<int> codes;
    for (const auto& [code, g] : rig.RegisterGoods()) codes.push_back(code);
    EXPECT_EQ(rig.Codes(), codes);
    ASSERT_EQ(codes.size(), 20u);
    EXPECT_EQ(progressMax, std::vector<int>(20, 200));  // maxCountGoods of the model file, one step per packet
    EXPECT_TRUE(rig.Logged("Загружаем товар..."));
    EXPECT_TRUE(rig.Logged("Товар загружен"));
    rig.ExpectIdle();
    // The next read of this register is measured by the 20 goods it held.
    rig.Page().bLoadTOBAP->click();
    EXPECT_EQ(rig.Page().ProgressBar->maximum(), 20);
    EXPECT_EQ(rig.Codes(), codes);

    // The first record, and the display formats of a read-all.
    EXPECT_EQ(rig.Cell(0, "Name"), "Хлеб белый нарезной");
    EXPECT_EQ(rig.Cell(0, "Type"), "товар");
    EXPECT_EQ(rig.Cell(0, "Price"), "45.90");
    EXPECT_EQ(rig.Cell(0, "NG"), "A");
    EXPECT_EQ(rig.Cell(0, "Vesovoy"), "шт.");
    EXPECT_EQ(rig.Cell(0, "Shtrih"), "4607001234560");
    EXPECT_EQ(rig.Cell(0, "Count"), "38.000");
    const int cheese = 6;  // code 7: by weight, no barcode
    EXPECT_EQ(rig.Cell(cheese, "Vesovoy"), "вес.");
    EXPECT_EQ(rig.Cell(13, "isBlock"), "True");  // code 14 is blocked
    EXPECT_EQ(rig.Cell(19, "Type"), "услуга");
}

TEST(GoodsPage, ReadAllSkipsRefusedPacketsAndAddsOnlyRisingCodes) {
    TGoodsRig rig;
    ASSERT_TRUE(rig.Window->Session.EnsureConnected());
    rig.Sim->PrepareFrames({Packet(0, 1), Packet(9, 0), Packet(0, 2), Packet(0, 3), Packet(0, 2), Packet(0, 1),
                            Packet(0, 5), Packet(0, 4), Packet(0, 6)});
    std::vector<int> positions;
    auto& view = rig.Page().Goods().View;
    auto setPos = view.SetProgressPos;
    view.SetProgressPos = [&](int pos) {
        setPos(pos);
        positions.push_back(pos);
    };
    rig.Page().bLoadTOBAP->click();
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 2, 3, 5, 6}));
    // A code not above the highest added so far starts the progress again.
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3, 4, 0, 0, 1, 0}));
    EXPECT_EQ(rig.Page().Goods().LastTOBAPCode, 6);
    EXPECT_TRUE(rig.Logged("Товар загружен"));
    rig.ExpectIdle();

    // A register whose every packet is refused: an empty grid, and done.
    rig.Sim->PrepareFrames({Packet(9, 0), Packet(9, 0), Packet(9, 0)});
    rig.Page().bLoadTOBAP->click();
    EXPECT_EQ(rig.Table().RecordCount(), 0);
    EXPECT_EQ(rig.Count("Товар загружен"), 2);
}

TEST(GoodsPage, ReadAllOverCodeSlotsSkipsTheEmptyOnes) {
    TGoodsRig rig;
    TSimState s = rig.Sim->State();
    s.Register.GoodsStream = TSimGoodsStream::Slots;
    s.Register.GoodsSlots = 60;
    s.Identity.Version = "ver999";  // a model without a configuration file: capacity 100
    rig.Sim->SetState(s);
    int maximum = 0;
    auto& view = rig.Page().Goods().View;
    auto setMax = view.SetProgressMax;
    view.SetProgressMax = [&](int m) {
        setMax(m);
        maximum = m;
    };
    rig.Page().bLoadTOBAP->click();
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 25, 42}));
    EXPECT_EQ(maximum, 100);
}

TEST(GoodsPage, StopDuringReadAllKeepsTheRowsReceived) {
    TGoodsRig rig;
    auto& view = rig.Page().Goods().View;
    auto setPos = view.SetProgressPos;
    bool pageChanged = false;
    view.SetProgressPos = [&](int pos) {
        setPos(pos);
        if (pos != 3) return;
        // The operator presses "Остановить" and tries another page meanwhile.
        rig.Page().bLoadTOBAP->click();
        rig.Window->MainPageControl()->setCurrentIndex(2);
        pageChanged = rig.Window->MainPageControl()->currentIndex() != 1;
        // Every other transfer button only asks for the stop too.
        rig.Page().bSaveTOBAP->click();
        rig.Page().bLoadTOBAPfromDBF->click();
    };
    rig.Page().bLoadTOBAP->click();
    EXPECT_FALSE(pageChanged);
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1, 2, 3, 4}));  // the packet in hand is kept
    EXPECT_TRUE(rig.Logged("Товар частично загружен"));
    EXPECT_FALSE(rig.Logged("Товар загружен"));
    EXPECT_FALSE(rig.Logged("Записываем товар"));
    rig.ExpectIdle();

    view.SetProgressPos = setPos;
    rig.Page().bLoadTOBAP->click();
    EXPECT_EQ(rig.Table().RecordCount(), 20);
    rig.Window->MainPageControl()->setCurrentIndex(0);
    EXPECT_EQ(rig.Window->MainPageControl()->currentIndex(), 0);
}

TEST(GoodsPage, ReadCurrentReloadsTheRowsCode) {
    TGoodsRig rig;
    rig.Row(42, 170, "чужое", 1);
    rig.Row(7, 170, "чужое", 1, 1, "123");
    rig.Table().First();
    rig.Page().bLoadOneTOBAP->click();
    EXPECT_EQ(rig.Cell(0, "Name"), "Доставка по городу");
    EXPECT_EQ(rig.Cell(0, "Type"), "услуга");
    EXPECT_EQ(rig.Cell(0, "Price"), "150");  // no read-all yet: no money format
    EXPECT_EQ(rig.Cell(1, "Name"), "чужое");
    EXPECT_TRUE(rig.Logged("1 товар загружен"));

    // A code the register does not hold: the command's report only, row unchanged.
    rig.Table().Last();
    rig.Table().Edit();
    rig.Table().SetValue("Code", 77);
    rig.Table().Post();
    rig.Page().bLoadOneTOBAP->click();
    EXPECT_EQ(rig.Cell(1, "Name"), "чужое");
    EXPECT_EQ(rig.Count("1 товар загружен"), 1);

    // A row without a code: nothing happens.
    rig.Page().bAddTOBAP->click();
    rig.Table().Post();
    ProcessFor(50);
    const auto exchanges = rig.Sim->History().size();
    rig.Page().bLoadOneTOBAP->click();
    EXPECT_EQ(rig.Sim->History().size(), exchanges);
    rig.ExpectIdle();
}

TEST(GoodsPage, WriteIsRefusedUnlessTheRegisterIsOffLine) {
    TGoodsRig rig;
    rig.Row(5, 170, "новое", 1);
    const auto before = rig.RegisterGoods();
    rig.Page().bSaveTOBAP->click();
    EXPECT_TRUE(rig.Logged("Запись возможна только в OFF-LINE режиме"));
    EXPECT_TRUE(rig.Window->Session.IsConnected());  // the reconnect has happened
    rig.Page().bSaveOneTOBAP->click();
    EXPECT_EQ(rig.Count("Запись возможна только в OFF-LINE режиме"), 2);
    EXPECT_EQ(rig.Count("Отключились!"), 1);  // the second write reconnected an open port
    EXPECT_EQ(rig.RegisterGoods().at(5).Name, before.at(5).Name);
    rig.ExpectIdle();
}

TEST(GoodsPage, WriteAllSendsEveryRowWithTheCountFlag) {
    TGoodsRig rig;
    rig.SetMode(2);
    rig.SetRegisterGoods({{5, Goods(0xAA, "старое", 1, 7000)}, {6, Goods(0xAA, "старое", 1, 8000)}});
    rig.Row(5, 170, "Молоко", TCurrency::FromDouble(12.5), 2, "4607001234607");
    rig.Row(6, 165, "Доставка", 150, 1, "999", true);
    rig.Row(8, 160, "Ящик", 0);
    rig.Table().Append();  // a row without a code is never sent
    rig.Table().SetValue("Name", "без кода");
    rig.Table().Post();

    rig.Page().bSaveTOBAP->click();
    EXPECT_TRUE(rig.Logged("Записываем товар..."));
    EXPECT_TRUE(rig.Logged("Товар записан"));
    rig.ExpectIdle();
    auto goods = rig.RegisterGoods();
    ASSERT_EQ(goods.size(), 3u);
    EXPECT_EQ(goods.at(5).Name, "Молоко");
    EXPECT_EQ(goods.at(5).Price, 1250);
    EXPECT_FALSE(goods.at(5).Piece);  // weighed
    EXPECT_EQ(goods.at(5).Barcode, "4607001234607");
    EXPECT_EQ(goods.at(5).Sold, 7000);  // the box is ticked: the register keeps its count
    EXPECT_EQ(goods.at(6).Type, 0xA5);
    EXPECT_TRUE(goods.at(6).Blocked);
    EXPECT_FALSE(goods.at(6).Piece);
    EXPECT_EQ(goods.at(6).Barcode, "");
    EXPECT_EQ(goods.at(6).Price, 15000);
    EXPECT_EQ(goods.at(8).Type, 0xA0);

    // Read back, the price shows 12.50.
    rig.Page().bLoadTOBAP->click();
    EXPECT_EQ(rig.Codes(), (std::vector<int>{5, 6, 8}));
    EXPECT_EQ(rig.Cell(0, "Price"), "12.50");

    // With the box cleared the register clears its count.
    rig.Page().cbisSaveTOBAPCount->setChecked(false);
    rig.Page().bSaveTOBAP->click();
    EXPECT_EQ(rig.RegisterGoods().at(5).Sold, 0);
}

TEST(GoodsPage, WriteCurrentSendsOnlyTheCurrentRow) {
    TGoodsRig rig;
    rig.SetMode(2);
    rig.SetRegisterGoods({});
    rig.Row(1, 170, "первый", 1);
    rig.Row(2, 170, "второй", 2);
    rig.Table().Edit();  // a pending edit is written as edited
    rig.Table().SetValue("Name", "второй правленый");
    rig.Page().bSaveOneTOBAP->click();
    EXPECT_TRUE(rig.Logged("1 товар записан"));
    auto goods = rig.RegisterGoods();
    ASSERT_EQ(goods.size(), 1u);
    EXPECT_EQ(goods.at(2).Name, "второй правленый");

    // "Удалить запись" keeps the row with its code and type 0: writing it
    // removes the record from the register.
    rig.Page().bDelTOBAP->click();
    EXPECT_EQ(rig.Table().RecordCount(), 2);
    EXPECT_EQ(rig.Table().AsInteger("Code"), 2);
    EXPECT_EQ(rig.Table().AsInteger("Type"), 0);
    for (const char* field : {"Name", "NG", "Price", "Section", "Vesovoy", "Shtrih", "isBlock", "Count"})
        EXPECT_TRUE(rig.Table().IsNull(field)) << field;
    rig.Page().bSaveOneTOBAP->click();
    EXPECT_TRUE(rig.RegisterGoods().empty());
    EXPECT_EQ(rig.Count("1 товар записан"), 2);
    rig.ExpectIdle();
}

TEST(GoodsPage, RowsTheRegisterCannotTakeAreRefusedBeforeSending) {
    TGoodsRig rig;
    rig.SetMode(2);
    rig.SetRegisterGoods({});
    rig.Row(1, 170, "хороший", 1);
    rig.Row(2, 170, "дробная цена", TCurrency::FromDouble(12.505));
    rig.Row(3, 170, "после", 1);
    rig.Page().bSaveTOBAP->click();
    EXPECT_TRUE(rig.Logged("Товар с кодом 2 не записан: поле \"Цена\" \"12.505\" не целое число копеек. В ККМ ничего не записано"));
    EXPECT_FALSE(rig.Logged("Товар записан"));
    EXPECT_TRUE(rig.RegisterGoods().empty());  // every row is checked before the first is sent
    rig.ExpectIdle();

    const std::vector<std::pair<std::function<void(TMemTable&)>, std::string>> faults = {
        {[](TMemTable& t) { t.SetValue("Price", -5); }, "\"Цена\" \"-5\" отрицательное"},
        {[](TMemTable& t) { t.SetValue("Price", 100000000); }, "\"Цена\" \"100000000\" длиннее 10 цифр"},
        {[](TMemTable& t) { t.SetValue("Shtrih", "46O7"); }, "\"Штрих-код\" \"46O7\""},
        {[](TMemTable& t) { t.SetValue("Code", 1000000); }, "\"Код\" должно быть от 1 до 999999"},
    };
    for (const auto& [spoil, text] : faults) {
        rig.Table().First();
        rig.Table().Edit();
        rig.Table().SetValue("Price", 1);
        rig.Table().SetValue("Code", 1);
        rig.Table().SetValue("Shtrih", "");
        spoil(rig.Table());
        rig.Table().Post();
        rig.Page().bSaveOneTOBAP->click();
        EXPECT_TRUE(rig.Logged(text)) << text;
    }
    EXPECT_EQ(rig.Count("1 товар записан"), 0);
    EXPECT_TRUE(rig.RegisterGoods().empty());
}

TEST(GoodsPage, WriteAllStopsAtTheModelsCapacityAndSaysHowManyWereLeft) {
    TGoodsRig rig;
    TSimState s = rig.Sim->State();
    s.Identity.Mode = 2;
    s.Identity.Version = "ver999";  // no model file: 100 goods
    s.Register.Goods.clear();
    rig.Sim->SetState(s);
    for (int i = 1; i <= 103; ++i) rig.Row(i, 170, "т" + std::to_string(i), i);
    rig.Table().Append();  // past the capacity, but without a code
    rig.Table().SetValue("Name", "пусто");
    rig.Table().Post();
    rig.Page().bSaveTOBAP->click();
    EXPECT_EQ(rig.RegisterGoods().size(), 100u);
    EXPECT_EQ(rig.RegisterGoods().rbegin()->first, 100);
    EXPECT_TRUE(rig.Logged("Товар записан"));
    EXPECT_TRUE(rig.Logged("Не записано товаров сверх ёмкости модели (100): 3"));
    EXPECT_EQ(rig.Page().Goods().NotWrittenPastCapacity, 3);

    // The current row past the capacity is not written either, and says so.
    rig.Table().SetRecNo(102);
    rig.Page().bSaveOneTOBAP->click();
    EXPECT_TRUE(rig.Logged("Товар не записан: строка 102 за пределами ёмкости модели (100)"));
    EXPECT_FALSE(rig.Logged("1 товар записан"));
}

TEST(GoodsPage, StopDuringWriteAllLeavesTheEarlierRecordsWritten) {
    TGoodsRig rig;
    rig.SetMode(2);
    rig.SetRegisterGoods({});
    for (int i = 1; i <= 8; ++i) rig.Row(i, 170, "т" + std::to_string(i), i);
    auto& view = rig.Page().Goods().View;
    auto setPos = view.SetProgressPos;
    std::string captionWhileWriting;
    view.SetProgressPos = [&](int pos) {
        setPos(pos);
        if (pos != 3) return;
        captionWhileWriting = S(rig.Page().bSaveTOBAP->text());
        rig.Page().bLoadOneTOBAP->click();  // any transfer button asks for the stop
    };
    rig.Page().bSaveTOBAP->click();
    EXPECT_EQ(captionWhileWriting, "Остановить");
    auto goods = rig.RegisterGoods();
    EXPECT_EQ(goods.size(), 2u);  // row 3 was not sent
    EXPECT_TRUE(rig.Logged("Товар частично записан"));
    EXPECT_FALSE(rig.Logged("Товар записан"));
    rig.ExpectIdle();
}

TEST(GoodsPage, AddAppendsUpToTheCapacity) {
    TGoodsRig rig;
    // Before any register was connected it always appends.
    for (int i = 0; i < 250; ++i) {
        rig.Page().bAddTOBAP->click();
        rig.Table().SetValue("Code", i + 1);
        rig.Table().Post();
    }
    EXPECT_EQ(rig.Table().RecordCount(), 250);
    rig.Page().bAddTOBAP->click();
    EXPECT_EQ(rig.Table().State(), TDataSetState::Insert);
    rig.Table().Cancel();
    ASSERT_TRUE(rig.Window->Session.EnsureConnected());  // capacity 200
    rig.Page().bAddTOBAP->click();
    EXPECT_EQ(rig.Table().RecordCount(), 250);
    EXPECT_EQ(rig.Table().State(), TDataSetState::Browse);
    rig.Page().bLoadTOBAP->click();  // the register's 20
    for (int i = 20; i < 200; ++i) {
        rig.Page().bAddTOBAP->click();
        rig.Table().SetValue("Code", 1000 + i);
        rig.Table().Post();
    }
    EXPECT_EQ(rig.Table().RecordCount(), 200);
    rig.Page().bAddTOBAP->click();
    EXPECT_EQ(rig.Table().RecordCount(), 200);
}

TEST(GoodsPage, ExchangeFileButtonsAndTheFileDialog) {
    TGoodsRig rig(0);
    SetRegionalDecimalSeparator(',');
    rig.Row(1, 170, "Хлеб", TCurrency::FromDouble(12.5));
    rig.Page().Exchange().TableDir = rig.dir.Path();

    // "..." takes a name that does not exist yet, with its full path.
    const QString chosen = Q(rig.dir.File("новый.dbf"));
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(), (QStringList{"DBF (*.dbf)", "CSV (*.csv)"}));
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave) << "the file is written to as well";
        dialog->selectFile(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const QString cwd = QDir::currentPath();
    rig.Page().bPathDBF->click();
    EXPECT_EQ(rig.Page().eBdFile->text(), chosen);
    EXPECT_EQ(QDir::currentPath(), cwd);
    EXPECT_FALSE(QFile::exists(chosen));  // nothing written yet

    rig.Page().bSaveTOBAPtoDBF->click();
    EXPECT_TRUE(rig.Logged("Данные записаны в DBF файл"));
    TDbfTable f;
    ASSERT_TRUE(f.OpenExisting(S(chosen)));
    ASSERT_TRUE(f.First());
    EXPECT_EQ(f.GetText("PRICE"), "12,5");
    f.Close();

    rig.Table().EmptyTable();
    rig.Page().bLoadTOBAPfromDBF->click();
    EXPECT_TRUE(rig.Logged("Данные считаны из DBF файла"));
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1}));

    rig.Page().eBdFile->setText("нет такого.dbf");
    rig.Page().bLoadTOBAPfromDBF->click();
    EXPECT_TRUE(rig.Logged("Не удалось открыть DBF файл"));
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1}));

    // The same buttons on a CSV file, chosen by the extension in any case.
    rig.Page().eBdFile->setText(Q(rig.dir.File("товары.CSV")));
    rig.Page().bSaveTOBAPtoDBF->click();
    EXPECT_TRUE(rig.Logged("Данные записаны в CSV файл"));
    rig.Table().EmptyTable();
    rig.Page().bLoadTOBAPfromDBF->click();
    EXPECT_TRUE(rig.Logged("Данные считаны из CSV файла"));
    EXPECT_EQ(rig.Codes(), (std::vector<int>{1}));
    EXPECT_EQ(rig.Table().VisibleValue(0, 4).AsCurrency(), TCurrency::FromDouble(12.5));
    SetRegionalDecimalSeparator('\0');
}

TEST(GoodsPage, TheSearchBoxShowsMatchingRowsForEditsAndWriteCurrent) {
    TGoodsRig rig;
    rig.SetMode(2);
    rig.SetRegisterGoods({});
    rig.Row(101, 170, "Ёлочная игрушка", 100, 1, "4600000000101");
    rig.Row(102, 170, "Молоко ЕЛОВОЕ", 100, 1, "4600000000102");
    rig.Row(203, 170, "Хлеб", 100, 1, "4600000000999");
    TGoodsPage& page = rig.Page();
    QAbstractItemModel* grid = page.DBGridEhTOBAP->model();
    ProcessFor(20);  // the count follows row changes once the window is idle
    EXPECT_EQ(S(page.lSearchCount->text()), "показано 3 из 3");
    EXPECT_NE(S(page.eSearch->toolTip()).find("«Записать все в ККМ» и «Записать в DBF» (также в CSV) берут все строки"),
              std::string::npos);

    const std::vector<std::pair<const char*, std::vector<int>>> searches = {
        {"ёло", {101, 102}},  // ё = е, any case
        {" ЁЛОЧ", {101}},     // blanks around ignored
        {"46000000009", {203}},  // the barcode from its start
        {"20", {203}},           // the code from its start
        {"10", {101, 102}},      // not "10" inside every barcode
        {"0999", {}},            // digits inside a barcode do not match
        {"нет такого", {}},
    };
    for (const auto& [text, codes] : searches) {
        page.eSearch->setText(Q(text));
        EXPECT_EQ(rig.Codes(), codes) << text;
        EXPECT_EQ(grid->rowCount(), static_cast<int>(codes.size())) << text;
        EXPECT_EQ(S(page.lSearchCount->text()), "показано " + std::to_string(codes.size()) + " из 3") << text;
    }

    // An edit and "Записать текущий" go to the shown row.
    page.eSearch->setText("хлеб");
    ASSERT_TRUE(grid->setData(grid->index(0, 2), "Хлеб ржаной", Qt::EditRole));
    EXPECT_EQ(rig.Cell(0, "Name"), "Хлеб ржаной");
    rig.Table().First();
    page.bSaveOneTOBAP->click();
    EXPECT_TRUE(rig.Logged("1 товар записан"));
    ASSERT_EQ(rig.RegisterGoods().size(), 1u);
    EXPECT_EQ(rig.RegisterGoods().at(203).Name, "Хлеб ржаной");

    // Esc clears the box; adding a row clears it too, so the new row stays in sight.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(page.eSearch, &esc);
    EXPECT_EQ(page.eSearch->text(), "");
    EXPECT_EQ(S(page.lSearchCount->text()), "показано 3 из 3");
    page.eSearch->setText("молоко");
    page.bAddTOBAP->click();
    EXPECT_EQ(page.eSearch->text(), "");
    EXPECT_EQ(rig.Table().RecordCount(), 4);
    rig.Table().Cancel();
}
