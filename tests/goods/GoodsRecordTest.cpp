// The goods record of the register against one row of the goods table.
#include "goods/GoodsRecord.h"

#include "app/TextCodec.h"
#include "kkm/U_kkms.h"
#include "settings/Unitbd.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Slice(const TKKMInfo& info, int from, int count) { return TBytes(info.Goods + from, info.Goods + from + count); }

struct GoodsRecord : ::testing::Test {
    TBD bd;
    TMemTable& t = bd.mtTOBAP;
    TKKMInfo info;

    // A row with these values, current and posted.
    void Row(int code, int type, const std::string& name, const TFieldValue& price, int vesovoy = 1,
             const std::string& shtrih = "", bool block = false) {
        t.Append();
        t.SetValue("Code", code);
        t.SetValue("Type", type);
        t.SetValue("Name", name);
        t.SetValue("NG", 2);
        t.SetValue("Price", price);
        t.SetValue("Section", 3);
        t.SetValue("Vesovoy", vesovoy);
        t.SetValue("Shtrih", shtrih);
        t.SetValue("isBlock", block);
        t.SetValue("Count", TCurrency::FromDouble(7.5));
        t.Post();
    }
    // info.Goods from a record laid out byte by byte.
    void Record(std::uint8_t type, std::uint8_t flags, TBytes code, const std::string& name, TBytes price,
                TBytes barcode, TBytes count) {
        std::memset(info.Goods, 0, sizeof info.Goods);
        info.Goods[0] = type;
        info.Goods[1] = flags;
        std::copy(code.begin(), code.end(), info.Goods + 2);
        const std::string cp = Utf8ToCp1251(name);
        std::memcpy(info.Goods + 5, cp.data(), cp.size());
        std::copy(price.begin(), price.end(), info.Goods + 37);
        info.Goods[42] = 4;
        info.Goods[43] = 9;
        std::copy(barcode.begin(), barcode.end(), info.Goods + 44);
        std::copy(count.begin(), count.end(), info.Goods + 54);
    }
    std::string Shown(const char* field) { return t.DisplayText(t.CurrentRow(), t.FieldIndex(field)); }
};

}  // namespace

TEST_F(GoodsRecord, RecordToRowTakesEveryField) {
    Record(0xAA, 0x03, {0x56, 0x34, 0x12}, "Хлеб", {0x50, 0x12, 0, 0, 0}, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x34, 0x12},
           {0x00, 0x15, 0, 0, 0});
    t.Append();
    TOBAPFromGoods(t, info);
    t.Post();
    EXPECT_EQ(t.AsInteger("Code"), 123456);
    EXPECT_EQ(t.AsInteger("Type"), 170);
    EXPECT_EQ(Shown("Type"), "товар");
    EXPECT_EQ(t.AsString("Name"), "Хлеб");
    EXPECT_EQ(t.AsInteger("NG"), 4);
    EXPECT_EQ(Shown("NG"), "D");
    EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromDouble(12.5));
    EXPECT_EQ(t.AsInteger("Section"), 9);
    EXPECT_EQ(t.AsInteger("Vesovoy"), 1);
    EXPECT_EQ(Shown("Vesovoy"), "шт.");
    EXPECT_EQ(t.AsString("Shtrih"), "1234000000000001");
    EXPECT_TRUE(t.AsBoolean("isBlock"));
    EXPECT_EQ(Shown("Count"), "1.500");  // 1500 thousandths

    // The price reads "12.50" once the read-all format is on.
    t.FindField("Price")->DisplayFormat = "#0.00";
    EXPECT_EQ(Shown("Price"), "12.50");
}

TEST_F(GoodsRecord, OnlyGoodsRecordsSetWeightAndBarcode) {
    Row(5, 170, "старое", 1, 1, "4600000000001");
    t.Edit();
    Record(0xA5, 0x00, {0x05, 0, 0}, "Доставка", {0, 0, 0, 0, 0}, {0x99}, {});
    TOBAPFromGoods(t, info);
    t.Post();
    EXPECT_EQ(t.AsInteger("Type"), 165);
    EXPECT_EQ(t.AsInteger("Vesovoy"), 1);  // kept
    EXPECT_EQ(t.AsString("Shtrih"), "4600000000001");
    EXPECT_FALSE(t.AsBoolean("isBlock"));

    t.Edit();
    Record(0xAA, 0x00, {0x05, 0, 0}, "Сыр", {0, 0, 0, 0, 0}, {}, {});
    TOBAPFromGoods(t, info);
    t.Post();
    EXPECT_EQ(t.AsInteger("Vesovoy"), 2);  // flag bit 0 clear: by weight
    EXPECT_EQ(t.AsString("Shtrih"), "0");
}

TEST_F(GoodsRecord, ASoldQuantityThatIsNotPackedDecimalReadsAsZero) {
    Record(0xAA, 0x01, {0x07, 0, 0}, "Чай", {0x00, 0x01, 0, 0, 0}, {}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    t.Append();
    TOBAPFromGoods(t, info);
    t.Post();
    EXPECT_FALSE(t.IsNull("Count"));
    EXPECT_EQ(t.AsCurrency("Count"), TCurrency{});
    EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromInteger(1));
    // A code that is not packed decimal is no code.
    info.Goods[2] = 0x1A;
    EXPECT_FALSE(GoodsRecordCode(info).has_value());
}

TEST_F(GoodsRecord, RowToRecordLaysOutTheBytes) {
    Row(42, 170, "Молоко", TCurrency::FromDouble(12.5), 1, "4607001234560", true);
    TOBAPToGoods(t, info);
    EXPECT_EQ(info.Goods[0], 0xAA);
    EXPECT_EQ(info.Goods[1], 0x03);  // piece, blocked
    EXPECT_EQ(Slice(info, 2, 3), (TBytes{0x42, 0x00, 0x00}));
    EXPECT_EQ(BytesToStr(info.Goods + 5, 32), "Молоко");
    EXPECT_EQ(Slice(info, 37, 5), (TBytes{0x50, 0x12, 0x00, 0x00, 0x00}));  // 1250 kopecks
    EXPECT_EQ(info.Goods[42], 2);
    EXPECT_EQ(info.Goods[43], 3);
    EXPECT_EQ(Slice(info, 44, 10), (TBytes{0x60, 0x45, 0x23, 0x01, 0x70, 0x60, 0x04, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(info, 54, 10), TBytes(10, 0));  // the sold quantity is not carried
}

TEST_F(GoodsRecord, FlagsFollowTheType) {
    Row(1, 170, "весовой", 1, 2, "123");
    TOBAPToGoods(t, info);
    EXPECT_EQ(info.Goods[1], 0x00);  // weighed goods: bit 0 clear
    EXPECT_EQ(Slice(info, 44, 2), (TBytes{0x23, 0x01}));

    Row(2, 165, "услуга", 1, 1, "4600000000001", true);
    TOBAPToGoods(t, info);
    EXPECT_EQ(info.Goods[0], 0xA5);
    EXPECT_EQ(info.Goods[1], 0x02);  // blocked only; a service is never by the piece
    EXPECT_EQ(Slice(info, 44, 10), TBytes(10, 0));  // and carries no barcode

    Row(3, 160, "тара", 1, 1, "", true);
    TOBAPToGoods(t, info);
    EXPECT_EQ(info.Goods[1], 0x02);
}

TEST_F(GoodsRecord, NamesLoseUnprintableCharactersAndStopAt32) {
    Row(1, 170, "Чай\tзелёный", 1);
    TOBAPToGoods(t, info);
    EXPECT_EQ(BytesToStr(info.Goods + 5, 32), "Чайзелёный");

    t.Edit();
    t.SetValue("Name", std::string(32, 'x'));
    t.Post();
    TOBAPToGoods(t, info);
    EXPECT_EQ(BytesToStr(info.Goods + 5, 32), std::string(32, 'x'));
    EXPECT_EQ(info.Goods[37], 0x00);  // the price after it is untouched by the name
}

TEST_F(GoodsRecord, RowsThatCannotBeCarriedAreRefusedByCodeAndField) {
    struct TCase {
        int code;
        int type;
        TFieldValue price;
        std::string barcode;
        std::string field;  // expected in the reason; empty = accepted
    };
    const std::vector<TCase> cases = {
        {5, 170, TCurrency::FromDouble(12.5), "4600000000001", ""},
        {5, 170, TFieldValue{}, "", ""},                               // no price is price 0
        {5, 170, TCurrency::FromDouble(99999999.99), "", ""},          // 10 digits in kopecks
        {5, 170, TCurrency::FromDouble(12.505), "", "\"Цена\" \"12.505\" не целое число копеек"},
        {5, 170, TCurrency::FromDouble(-1), "", "\"Цена\" \"-1\" отрицательное"},
        {5, 170, TCurrency::FromDouble(100000000), "", "\"Цена\" \"100000000\" длиннее 10 цифр"},
        {5, 170, 1, "46000A", "\"Штрих-код\" \"46000A\""},
        {5, 170, 1, "4600 001", "\"Штрих-код\""},
        {5, 170, 1, std::string(20, '9'), ""},
        {5, 165, 1, "46000A", ""},  // a service's barcode is never sent
        {0, 170, 1, "", "\"Код\" должно быть от 1 до 999999"},
        {1000000, 170, 1, "", "\"Код\""},
        {999999, 170, 1, "", ""},
    };
    for (const auto& c : cases) {
        t.Append();
        t.SetValue("Code", c.code);
        t.SetValue("Type", c.type);
        t.SetValue("Price", c.price);
        t.SetValue("Shtrih", c.barcode);
        t.Post();
        const auto problem = GoodsRowProblem(t);
        if (c.field.empty()) {
            EXPECT_FALSE(problem) << *problem;
        } else {
            ASSERT_TRUE(problem) << c.field;
            EXPECT_NE(problem->find("Товар с кодом " + std::to_string(c.code) + " "), std::string::npos) << *problem;
            EXPECT_NE(problem->find(c.field), std::string::npos) << *problem;
        }
    }
    t.Append();
    t.SetValue("Name", "без кода");
    t.Post();
    EXPECT_TRUE(GoodsRowProblem(t));
}
