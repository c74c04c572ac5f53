// The register a fresh simulator plays: a small shop's settings, goods table
// and a morning's receipts in the journal.
#include "sim/SimRegister.h"

namespace {

using TRecord = std::vector<std::uint8_t>;

TRecord Bcd(long long value, int n) {
    TRecord b(static_cast<std::size_t>(n));
    SimPutBcd(b.data(), n, value);
    return b;
}

TRecord Cat(std::initializer_list<TRecord> parts) {
    TRecord all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::uint8_t B(int v) { return static_cast<std::uint8_t>(v); }

// Journal records; money in kopecks, quantities in thousandths.
TRecord SaleByCode(int op, int code, long long qty, long long price, int tax, int section, std::uint8_t kind = 0xA3) {
    return Cat({{kind, B(op)}, Bcd(code, 3), Bcd(qty, 5), Bcd(price, 5), Bcd(tax, 1), {B(section), 0}});
}
TRecord SaleByAmount(int op, long long qty, long long price, int tax, int section) {
    return Cat({{0xA1, B(op)}, Bcd(qty, 5), Bcd(price, 5), Bcd(tax, 1), {B(section), 0}});
}
TRecord Discount(int op, int percent100, long long amount, int tax, int section) {
    return Cat({{0xB1, B(op)}, Bcd(percent100, 2), Bcd(amount, 5), Bcd(tax, 1), {B(section), 0}});
}
TRecord Subtotal(int op, long long amount) { return Cat({{0xB5, B(op)}, Bcd(amount, 7), {0}}); }
TRecord TaxSum(int op, int rate, long long amount) { return Cat({{0xC1, B(op)}, Bcd(rate, 1), Bcd(amount, 7), {0}}); }
// kind: 1 sale, 2 return, 3 cash in, 4 cash out.
TRecord Payment(int op, int kind, long long sum, long long cash) {
    return Cat({{0xC9, B(op), B(kind - 1)}, Bcd(sum, 7), Bcd(cash, 7), {0}});
}
TRecord Close(int kind, long long number, TRecord date, TRecord time, bool fiscal, int oper) {
    return Cat({{0xCA, B(kind)}, Bcd(number, 4), date, time, {fiscal ? std::uint8_t{0x4B} : std::uint8_t{0x00}},
                Bcd(oper, 1), {0}});
}
TRecord CheckOper(std::uint8_t code, int oper) { return Cat({{code}, Bcd(oper, 1), {0}}); }

const TRecord Today = {0x16, 0x03, 0x26};  // 16.03.26

std::vector<TRecord> DefaultJournal() {
    return {
        // Receipt 101: two loaves, milk, a delivery by amount; paid 500.00 in cash.
        SaleByCode(1, 1, 2000, 4590, 1, 1),
        SaleByCode(2, 5, 1000, 8950, 1, 2),
        SaleByAmount(3, 1000, 15000, 2, 7),
        Subtotal(4, 33130),
        TaxSum(5, 1, 18130),
        TaxSum(6, 2, 15000),
        Payment(7, 1, 33130, 50000),
        Close(1, 101, Today, {0x09, 0x12}, true, 1),
        // Receipt 102: weighed apples with a 5 % discount; paid exactly.
        SaleByCode(1, 9, 750, 12900, 1, 4),
        Discount(2, 500, 484, 1, 4),
        Subtotal(3, 9191),
        TaxSum(4, 1, 9191),
        Payment(5, 1, 9191, 0),
        Close(1, 102, Today, {0x09, 0x40}, true, 1),
        // Receipt 103: a line entered by mistake and annulled.
        SaleByCode(1, 12, 1000, 34900, 1, 5),
        SaleByCode(2, 12, 1000, 34900, 1, 5, 0xA8),
        SaleByCode(3, 3, 1000, 7400, 1, 3),
        Subtotal(4, 7400),
        TaxSum(5, 1, 7400),
        Payment(6, 1, 7400, 10000),
        Close(1, 103, Today, {0x10, 0x05}, true, 2),
        // A receipt begun and annulled as a whole.
        SaleByCode(1, 2, 1000, 5200, 1, 1),
        CheckOper(0xCC, 2),
        // Cash in at the start of the shift, and a repeat print of it.
        Payment(1, 3, 100000, 0),
        Close(3, 104, Today, {0x10, 0x30}, false, 2),
        CheckOper(0xCB, 2),
    };
}

TSimDepartment Dep(std::uint8_t kind, const char* name, int tax, long long price) {
    return {kind, name, static_cast<std::uint8_t>(tax), price};
}

TSimGoods Item(std::uint8_t type, bool piece, const char* name, long long price, int tax, int section,
                const char* barcode, long long sold) {
    TSimGoods g;
    g.Type = type;
    g.Piece = piece;
    g.Name = name;
    g.Price = price;
    g.TaxGroup = static_cast<std::uint8_t>(tax);
    g.Section = static_cast<std::uint8_t>(section);
    g.Barcode = type == 0xAA ? barcode : "";
    g.Sold = sold;
    return g;
}

}  // namespace

TSimRegister TSimRegister::Default() {
    TSimRegister r;
    // Within the ranges of the model file ver012_000000.ini; option 29 is the
    // line speed (1: 19200), option 30 the network number.
    r.Options = {2, 1, 0, 1, 30, 0, 0, 1, 3, 3, 1, 7, 3, 4, 1, 3, 6, 3, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1, 0};
    r.Taxes[0] = {true, 1, 1800, "НДС 18%"};
    r.Taxes[1] = {true, 1, 1000, "НДС 10%"};
    r.Header = {{{3, "   ООО \"ЗЕВРИН-ТОРГ\""},
                 {3, " г. Вологда, ул. Лесная, д. 5"},
                 {3, "     ИНН 3525123456"},
                 {3, ""},
                 {3, "    Добро пожаловать!"},
                 {3, ""}}};
    r.Footer = {{{1, "    Спасибо за покупку!"},
                 {1, "      Приходите ещё"},
                 {1, " Тел. (8172) 55-12-34"},
                 {1, ""},
                 {1, ""},
                 {1, ""}}};
    r.Departments = {
        Dep(0xA1, "Хлеб", 1, 0),         Dep(0xA1, "Молочные продукты", 1, 0),
        Dep(0xA1, "Бакалея", 1, 0),      Dep(0xA1, "Овощи и фрукты", 1, 0),
        Dep(0xA1, "Напитки", 1, 0),      Dep(0xA1, "Пакеты", 1, 350),
        Dep(0xA2, "Доставка", 2, 15000), Dep(0xA3, "", 0, 0),
    };
    r.Goods = {
        {1, Item(0xAA, true, "Хлеб белый нарезной", 4590, 1, 1, "4607001234560", 38000)},
        {2, Item(0xAA, true, "Батон нарезной", 5200, 1, 1, "4607001234577", 21000)},
        {3, Item(0xAA, true, "Сахар 1 кг", 7400, 1, 3, "4607001234584", 9000)},
        {4, Item(0xAA, true, "Соль поваренная 1 кг", 2100, 1, 3, "4607001234591", 3000)},
        {5, Item(0xAA, true, "Молоко 3,2% 1 л", 8950, 1, 2, "4607001234607", 44000)},
        {6, Item(0xAA, true, "Кефир 2,5% 0,9 л", 7600, 1, 2, "4607001234614", 12000)},
        {7, Item(0xAA, false, "Сыр Российский", 64000, 1, 2, "", 5250)},
        {8, Item(0xAA, true, "Масло сливочное 180 г", 15900, 1, 2, "4607001234638", 7000)},
        {9, Item(0xAA, false, "Яблоки", 12900, 1, 4, "", 18750)},
        {10, Item(0xAA, false, "Картофель", 4500, 1, 4, "", 42500)},
        {11, Item(0xAA, true, "Вода питьевая 1,5 л", 4900, 1, 5, "4607001234669", 16000)},
        {12, Item(0xAA, true, "Сок яблочный 1 л", 11900, 1, 5, "4607001234676", 6000)},
        {13, Item(0xAA, true, "Чай чёрный 100 г", 13500, 1, 3, "4607001234683", 2000)},
        {14, Item(0xAA, true, "Кофе молотый 250 г", 34900, 1, 3, "4607001234690", 1000)},
        {15, Item(0xAA, true, "Гречка 800 г", 8900, 1, 3, "4607001234706", 4000)},
        {16, Item(0xAA, true, "Пакет майка", 350, 1, 6, "4607001234713", 57000)},
        {17, Item(0xAA, true, "Яйца С1 10 шт.", 11200, 1, 2, "4607001234720", 8000)},
        {25, Item(0xA0, true, "Ящик пластиковый", 25000, 1, 6, "", 0)},
        {42, Item(0xA5, true, "Доставка по городу", 15000, 2, 7, "", 3000)},
        {150, Item(0xA5, true, "Сборка заказа", 5000, 2, 7, "", 1000)},
    };
    r.Goods.at(14).Blocked = true;  // sold out, kept in the table
    r.Journal = DefaultJournal();
    return r;
}
