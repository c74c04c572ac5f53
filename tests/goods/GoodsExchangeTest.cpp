// The goods exchange file: export and import of the goods table, checked on
// the file's bytes and against files written by other software.
#include "goods/GoodsExchange.h"

#include "goods/GoodsCsv.h"
#include "goods/GoodsTransfer.h"
#include "kkm/RegisterSession.h"
#include "app/TransferState.h"
#include "link/LinkTestSupport.h"
#include "profiles/DbfTable.h"
#include "profiles/DbfTestFiles.h"
#include "settings/Unitbd.h"

#include <sys/resource.h>

#include <csignal>

namespace {

using F = TDbfFieldDef;


struct GoodsExchange : ::testing::Test {
    linktest::TLogCapture log;
    TDbfScratch dir;
    TRegisterSession session;
    TBD bd;
    TTransferState transfer;
    TGoodsTransfer goods{session, bd, transfer};
    TGoodsExchange exchange{goods};
    TMemTable& t = bd.mtTOBAP;

    void SetUp() override {
        SetRegionalDecimalSeparator(',');
        exchange.TableDir = dir.Path();
    }
    void TearDown() override { SetRegionalDecimalSeparator('\0'); }

    void Row(int code, const std::string& name, const TFieldValue& price, const TFieldValue& count = TFieldValue{}) {
        t.Append();
        t.SetValue("Code", code);
        t.SetValue("Type", 170);
        t.SetValue("Name", name);
        t.SetValue("NG", 1);
        t.SetValue("Price", price);
        t.SetValue("Section", 2);
        t.SetValue("Vesovoy", 1);
        t.SetValue("Shtrih", "4600000000001");
        t.SetValue("isBlock", true);
        t.SetValue("Count", count);
        t.Post();
    }
    // The two rows of the files other software wrote: a blocked goods item
    // sold 1.5, then a service with a blank quantity.
    void ExpectTwoRows(const std::string& name, double price, const std::string& shtrih, const std::string& service) {
        ASSERT_EQ(t.RecordCount(), 2);
        t.First();
        EXPECT_EQ(t.AsString("Name"), name);
        EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromDouble(price));
        EXPECT_EQ(t.AsString("Shtrih"), shtrih);
        EXPECT_TRUE(t.AsBoolean("isBlock"));
        EXPECT_EQ(t.AsCurrency("Count"), TCurrency::FromDouble(1.5));
        t.Next();
        EXPECT_EQ(t.AsString("Name"), service);
        EXPECT_EQ(t.AsInteger("Type"), 165);
        EXPECT_TRUE(t.IsNull("Count"));
    }
    std::vector<int> Codes() {
        std::vector<int> out;
        for (int r = 0; r < t.RecordCount(); ++r) out.push_back(t.VisibleValue(r, 0).AsInteger());
        return out;
    }
    // A goods file of n records with codes 1..n, made by the table layer.
    std::string GoodsFile(const std::string& name, int n, std::vector<TDbfFieldDef> fields = GoodsFileFields()) {
        const std::string path = dir.File(name);
        TDbfTable f;
        EXPECT_TRUE(f.CreateReplacing(path, fields)) << f.LastError();
        for (int i = 1; i <= n; ++i) {
            f.Append();
            f.SetInteger("CODE", i);
            f.SetText("NAME", "товар " + std::to_string(i));
            f.SetText("PRICE", "1,5");
        }
        EXPECT_TRUE(f.Close()) << f.LastError();
        return path;
    }
};

}  // namespace

TEST(GoodsNumberText, GeneralDecimalTextWithTheSeparator) {
    EXPECT_EQ(GoodsNumberText(TCurrency::FromDouble(12.5), ','), "12,5");
    EXPECT_EQ(GoodsNumberText(TCurrency::FromDouble(12.5), '.'), "12.5");
    EXPECT_EQ(GoodsNumberText(TCurrency::FromInteger(7), ','), "7");
    EXPECT_EQ(GoodsNumberText(TCurrency::FromDouble(-0.05), ','), "-0,05");
    EXPECT_EQ(GoodsNumberText(TCurrency::FromDouble(1.5), ','), "1,5");
    EXPECT_EQ(GoodsNumberText(TCurrency{1234567890123456}, '.'), "123456789012.346");  // 15 significant digits

    for (const char* text : {"1,5", "1.5", " 1.5 ", "+1,5", "1.50000", "15e-1"})
        EXPECT_EQ(GoodsNumberFromText(text), TCurrency::FromDouble(1.5)) << text;
    EXPECT_EQ(GoodsNumberFromText("-3"), TCurrency::FromInteger(-3));
    EXPECT_EQ(GoodsNumberFromText("1.23456"), TCurrency{12346});
    for (const char* text : {"", "  ", "abc", "1,2,3", "1 000", "12р", "nan", "1e300"})
        EXPECT_FALSE(GoodsNumberFromText(text)) << text;
}

TEST_F(GoodsExchange, AnEmptyTableExportsTheTenFieldsAndNoRecords) {
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    EXPECT_TRUE(log.Has("Данные записаны в DBF файл"));
    const std::string bytes = FileBytes(dir.File("goods.dbf"));
    ASSERT_EQ(bytes.size(), 354u);
    EXPECT_EQ(bytes.substr(8, 4), Le16(353) + Le16(139));
    const std::vector<TExpectedField> expected = {{"CODE", 'N', 9},    {"TYPE", 'N', 9},    {"NAME", 'C', 32},   {"NG", 'N', 9},
                                                  {"PRICE", 'C', 20},  {"SECTION", 'N', 9}, {"VESOVOY", 'N', 9}, {"SHTRIH", 'C', 20},
                                                  {"ISBLOCK", 'L', 1}, {"COUNT", 'C', 20}};
    EXPECT_EQ(bytes.substr(32, 353 - 32), ExpectedHeader(expected, 0, TodayBytes()).substr(32));
    EXPECT_EQ(bytes.back(), '\x1A');
}

TEST_F(GoodsExchange, RowsTravelThereAndBack) {
    Row(12, "Хлеб", TCurrency::FromDouble(12.5), TCurrency::FromDouble(1.5));
    Row(999999, "Сыр «Российский» 45% весовой, кг", TCurrency::FromInteger(7));
    t.Append();  // a row of nothing but a code
    t.SetValue("Code", 3);
    t.Post();
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));

    // The first record as the file format lays it out.
    const std::string bytes = FileBytes(dir.File("goods.dbf"));
    ASSERT_EQ(bytes.size(), 353u + 3 * 139 + 1);
    const std::string record = bytes.substr(353, 139);
    EXPECT_EQ(record.substr(0, 10), "        12");
    EXPECT_EQ(record.substr(10, 9), "      170");
    EXPECT_EQ(record.substr(19, 32), Utf8ToCp1251("Хлеб") + std::string(28, ' '));
    EXPECT_EQ(record.substr(60, 20), "12,5" + std::string(16, ' '));
    EXPECT_EQ(record.substr(80, 18), "        2        1");
    EXPECT_EQ(record.substr(98, 20), "4600000000001" + std::string(7, ' '));
    EXPECT_EQ(record.substr(118, 1), "T");
    EXPECT_EQ(record.substr(119, 20), "1,5" + std::string(17, ' '));
    const std::string third = bytes.substr(353 + 2 * 139, 139);
    // Empty cells are blank fields; isBlock starts false in a new row.
    EXPECT_EQ(third.substr(10), std::string(108, ' ') + "F" + std::string(20, ' '));

    t.EmptyTable();
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("goods.dbf"));
    EXPECT_TRUE(log.Has("Данные считаны из DBF файла"));
    EXPECT_EQ(Codes(), (std::vector<int>{12, 999999, 3}));
    t.First();
    EXPECT_EQ(t.AsString("Name"), "Хлеб");
    EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromDouble(12.5));
    EXPECT_EQ(t.DisplayText(0, t.FieldIndex("Count")), "1.500");
    EXPECT_EQ(t.AsString("Shtrih"), "4600000000001");
    EXPECT_TRUE(t.AsBoolean("isBlock"));
    t.Next();
    EXPECT_EQ(t.AsString("Name"), "Сыр «Российский» 45% весовой, кг");
    EXPECT_TRUE(t.IsNull("Count"));
    t.Next();
    for (const char* field : {"Type", "Name", "NG", "Price", "Section", "Vesovoy", "Shtrih", "Count"})
        EXPECT_TRUE(t.IsNull(field)) << field;
    EXPECT_EQ(t.Value("isBlock"), TFieldValue(false));
}

TEST_F(GoodsExchange, ABlankPriceStaysEmptyAndAPointSeparatorIsWrittenAsSuch) {
    SetRegionalDecimalSeparator('.');
    Row(1, "без цены", TFieldValue{}, TCurrency::FromDouble(1.5));
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    TDbfTable f;
    ASSERT_TRUE(f.OpenExisting(dir.File("goods.dbf")));
    ASSERT_TRUE(f.First());
    EXPECT_TRUE(f.IsNull("PRICE"));
    EXPECT_EQ(f.GetText("COUNT"), "1.5");
    f.Close();
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("goods.dbf"));
    t.First();
    EXPECT_TRUE(t.IsNull("Price"));
    EXPECT_EQ(t.AsCurrency("Count"), TCurrency::FromDouble(1.5));
}

TEST_F(GoodsExchange, ExportingTwiceKeepsOnlyTheSecondTable) {
    for (int i = 1; i <= 5; ++i) Row(i, "первый", 1);
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    t.EmptyTable();
    Row(77, "второй", 2);
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    TDbfTable f;
    ASSERT_TRUE(f.OpenExisting(dir.File("goods.dbf")));
    EXPECT_EQ(f.Count(), 1);
    ASSERT_TRUE(f.First());
    EXPECT_EQ(f.GetInteger("CODE"), 77);
}

TEST_F(GoodsExchange, ARowBeingEditedIsExportedAsEdited) {
    Row(1, "старое", 1);
    t.Edit();
    t.SetValue("Name", "новое");
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    EXPECT_EQ(t.State(), TDataSetState::Browse);
    TDbfTable f;
    ASSERT_TRUE(f.OpenExisting(dir.File("goods.dbf")));
    ASSERT_TRUE(f.First());
    EXPECT_EQ(f.GetText("NAME"), "новое");
}

TEST_F(GoodsExchange, AFailedExportLeavesThePreviousFile) {
    Row(1, "прежний", 1);
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    const std::string before = FileBytes(dir.File("goods.dbf"));
    t.EmptyTable();
    for (int i = 1; i <= 3000; ++i) Row(i, "новый", 1);
    bool saved = true;
    {
        TFileSizeLimit limit(64 * 1024);  // room for a few hundred records only
        saved = exchange.bSaveTOBAPtoDBFClick("goods.dbf");
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(log.Has("Не удалось создать DBF файл"));
    EXPECT_EQ(log.Count("Данные записаны в DBF файл"), 1);
    EXPECT_EQ(FileBytes(dir.File("goods.dbf")), before);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);

    // A folder that does not exist cannot take the file.
    EXPECT_FALSE(exchange.bSaveTOBAPtoDBFClick(dir.File("нет/goods.dbf")));
    EXPECT_EQ(log.Count("Не удалось создать DBF файл"), 2);
}

TEST_F(GoodsExchange, ImportTakesAtMostTheLimit) {
    GoodsFile("many.dbf", 2100);
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("many.dbf"));  // no register connected: 2000
    EXPECT_EQ(t.RecordCount(), 2000);
    EXPECT_EQ(Codes().back(), 2000);
    EXPECT_TRUE(log.Has("Данные считаны из DBF файла"));
    EXPECT_TRUE(log.Has("Не считано строк сверх предела без подключённой ККМ (2000): 100"));

    // A register whose model file gives no capacity holds 100.
    session.KKM.Info = std::make_shared<TKKMInfo>();
    EXPECT_EQ(exchange.ImportLimit(), 100);
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("many.dbf"));
    EXPECT_EQ(t.RecordCount(), 100);
    session.KKM.Info->maxCountGoods = 1000;
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("many.dbf"));
    EXPECT_EQ(t.RecordCount(), 1000);
}

TEST_F(GoodsExchange, ImportReplacesTheWholeTableAlsoWithAnEmptyFile) {
    Row(1, "было", 1);
    Row(2, "было", 1);
    GoodsFile("empty.dbf", 0);
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("empty.dbf"));
    EXPECT_EQ(t.RecordCount(), 0);
}

TEST_F(GoodsExchange, FieldsAreFoundByNameWhateverTheirOrderAndExtraFieldsAreIgnored) {
    const std::vector<TDbfFieldDef> shuffled = {F::Text("COUNT", 20),  F::Text("EXTRA", 5),   F::Boolean("ISBLOCK"), F::Text("SHTRIH", 13),
                                                F::Integer("VESOVOY"), F::Integer("SECTION"), F::Text("PRICE", 12),  F::Integer("NG"),
                                                F::Text("NAME", 40),   F::Integer("TYPE"),    F::Integer("CODE"),    F::Integer("MORE")};
    const std::string path = dir.File("other.dbf");
    {
        TDbfTable f;
        ASSERT_TRUE(f.CreateReplacing(path, shuffled));
        f.Append();
        f.SetInteger("CODE", 15), f.SetInteger("TYPE", 165), f.SetText("NAME", std::string(40, 'n')), f.SetInteger("NG", 3);
        f.SetText("PRICE", "99,99"), f.SetInteger("SECTION", 4), f.SetInteger("VESOVOY", 2), f.SetText("SHTRIH", "123");
        f.SetBool("ISBLOCK", false), f.SetText("COUNT", "0,001"), f.SetText("EXTRA", "xx"), f.SetInteger("MORE", 5);
        ASSERT_TRUE(f.Close());
    }
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick(path));
    ASSERT_EQ(t.RecordCount(), 1);
    t.First();
    EXPECT_EQ(t.AsInteger("Code"), 15);
    EXPECT_EQ(t.AsInteger("Type"), 165);
    EXPECT_EQ(t.AsString("Name"), std::string(32, 'n'));  // cut to the table's width
    EXPECT_EQ(t.AsInteger("NG"), 3);
    EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromDouble(99.99));
    EXPECT_EQ(t.AsInteger("Section"), 4);
    EXPECT_EQ(t.AsInteger("Vesovoy"), 2);
    EXPECT_EQ(t.AsString("Shtrih"), "123");
    EXPECT_FALSE(t.IsNull("isBlock"));
    EXPECT_FALSE(t.AsBoolean("isBlock"));
    EXPECT_EQ(t.AsCurrency("Count"), TCurrency{10});
}

TEST_F(GoodsExchange, FilesThatCannotBeOpenedLeaveTheTableAsItWas) {
    Row(1, "было", 1);
    Row(2, "было", 1);
    auto without = [](const std::string& name) {
        std::vector<TDbfFieldDef> out;
        for (const auto& f : GoodsFileFields())
            if (f.Name != name) out.push_back(f);
        return out;
    };
    auto withKind = [](const std::string& name, TDbfFieldDef def) {
        std::vector<TDbfFieldDef> out = GoodsFileFields();
        for (auto& f : out)
            if (f.Name == name) f = def;
        return out;
    };
    GoodsFile("good.dbf", 3);
    const std::string good = FileBytes(dir.File("good.dbf"));
    PutFileBytes(dir.File("truncated.dbf"), good.substr(0, good.size() - 50));
    std::string version = good;
    version[0] = '\x7F';
    PutFileBytes(dir.File("version.dbf"), version);
    std::string header = good;
    header[10] = static_cast<char>(140);  // record size that does not match the fields
    PutFileBytes(dir.File("sizes.dbf"), header);
    PutFileBytes(dir.File("text.dbf"), "CODE;NAME\r\n1;Хлеб\r\n");
    PutFileBytes(dir.File("zero.dbf"), "");
    GoodsFile("nocount.dbf", 3, without("COUNT"));
    GoodsFile("numprice.dbf", 0, withKind("PRICE", F::Integer("PRICE")));
    GoodsFile("textcode.dbf", 0, withKind("CODE", F::Text("CODE", 9)));

    int n = 0;
    for (const char* name : {"missing.dbf", "version.dbf", "sizes.dbf", "text.dbf", "zero.dbf", "nocount.dbf",
                             "numprice.dbf", "textcode.dbf"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(exchange.bLoadTOBAPfromDBFClick(name));
        EXPECT_EQ(log.Count("Не удалось открыть DBF файл"), ++n);
        EXPECT_EQ(Codes(), (std::vector<int>{1, 2}));
    }
    EXPECT_EQ(FileBytes(dir.File("zero.dbf")), "");  // never repaired by an import

    // A file cut inside its last record gives the whole records before it,
    // with a warning naming it, and is left as it is.
    EXPECT_TRUE(exchange.bLoadTOBAPfromDBFClick("truncated.dbf"));
    EXPECT_EQ(Codes(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(log.Has("truncated.dbf: 90 байт после записи 2"));
    EXPECT_EQ(FileBytes(dir.File("truncated.dbf")), good.substr(0, good.size() - 50));
}

TEST_F(GoodsExchange, ANumberThatCannotBeReadStopsTheImportNamingRecordAndField) {
    Row(1, "было", 1);
    const std::string path = GoodsFile("bad.dbf", 4);
    {
        TDbfTable f;
        ASSERT_TRUE(f.OpenExisting(path));
        ASSERT_TRUE(f.First() && f.Next() && f.Next());
        f.SetText("COUNT", "два");
        ASSERT_TRUE(f.Close());
    }
    EXPECT_FALSE(exchange.bLoadTOBAPfromDBFClick("bad.dbf"));
    EXPECT_TRUE(log.Has("Запись 3 файла " + path + ": поле COUNT \"два\" не число; товары не изменены"));
    EXPECT_FALSE(log.Has("Данные считаны из DBF файла"));
    EXPECT_EQ(Codes(), (std::vector<int>{1}));

    // A code wider than the table's integer.
    const std::string wide = dir.File("wide.dbf");
    {
        std::vector<TDbfFieldDef> fields = GoodsFileFields();
        fields[0] = TDbfFieldDef{"CODE", 'N', 12, 0};
        TDbfTable f;
        ASSERT_TRUE(f.CreateReplacing(wide, fields));
        f.Append();
        f.SetInteger("CODE", 99999999999LL);
        ASSERT_TRUE(f.Close());
    }
    EXPECT_FALSE(exchange.bLoadTOBAPfromDBFClick(wide));
    EXPECT_TRUE(log.Has("Запись 1 файла " + wide + ": поле CODE \"99999999999\""));
    EXPECT_EQ(Codes(), (std::vector<int>{1}));
}

TEST_F(GoodsExchange, ANameWithAFolderMakesItTheFolderOfLaterNames) {
    TDbfScratch other;
    Row(1, "x", 1);
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick(other.File("a.dbf")));
    EXPECT_EQ(exchange.TableDir, other.Path());
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("b.dbf"));
    EXPECT_TRUE(std::filesystem::exists(other.File("b.dbf")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.dbf")));
    EXPECT_EQ(exchange.TablePath("c.dbf"), other.File("c.dbf"));
}

TEST_F(GoodsExchange, DuringATransferTheButtonsOnlyAskItToStop) {
    Row(1, "x", 1);
    transfer.TransferRunning = true;
    EXPECT_FALSE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    EXPECT_TRUE(transfer.StopRequested);
    EXPECT_FALSE(std::filesystem::exists(dir.File("goods.dbf")));
    transfer.StopRequested = false;
    GoodsFile("goods.dbf", 5);
    EXPECT_FALSE(exchange.bLoadTOBAPfromDBFClick("goods.dbf"));
    EXPECT_TRUE(transfer.StopRequested);
    EXPECT_EQ(Codes(), (std::vector<int>{1}));
}

// ---- files of other software (the python3 dbf module) -----------------------

TEST_F(GoodsExchange, FilesWrittenByAnotherDbaseToolAreImported) {
    SKIP_WITHOUT_PYTHON_DBF();
    bool ok = false;
    const std::string out = RunPython(dir, R"(
import dbf
fields = 'code N(9,0); type N(9,0); name C(32); ng N(9,0); price C(20); section N(9,0); vesovoy N(9,0); shtrih C(20); isblock L; count C(20)'
for name, cp in [('g1251.dbf', 'cp1251'), ('g866.dbf', 'cp866')]:
    t = dbf.Table(')" + dir.Path() + R"(/' + name, fields, codepage=cp, dbf_type='db3')
    t.open(dbf.READ_WRITE)
    t.append((1, 170, 'Хлеб "Бородинский"', 1, '45,9', 2, 1, '4607001234560', True, '1,5'))
    t.append((2, 165, 'Доставка', 0, '100', 0, 0, '', False, ''))
    t.close()
t = dbf.Table(')" + dir.Path() + R"(/mixed.dbf', 'note C(10); count C(20); code N(12,0); price C(20); name C(40); isblock L; type N(3,0); vesovoy N(1,0); shtrih C(20); ng N(2,0); section N(3,0)', codepage='cp1251', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append(('заметка', '2', 5, '7.25', 'Молоко', False, 170, 2, '', 3, 1))
t.close()
)", ok);
    ASSERT_TRUE(ok) << out;
    for (const char* name : {"g1251.dbf", "g866.dbf"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick(name));
        ExpectTwoRows("Хлеб \"Бородинский\"", 45.9, "4607001234560", "Доставка");
        EXPECT_EQ(Codes(), (std::vector<int>{1, 2}));
    }
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("mixed.dbf"));
    ASSERT_EQ(t.RecordCount(), 1);
    t.First();
    EXPECT_EQ(t.AsInteger("Code"), 5);
    EXPECT_EQ(t.AsString("Name"), "Молоко");
    EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromDouble(7.25));
    EXPECT_EQ(t.AsCurrency("Count"), TCurrency::FromInteger(2));
    EXPECT_EQ(t.AsInteger("Vesovoy"), 2);
}

TEST_F(GoodsExchange, AnotherDbaseToolReadsTheExport) {
    SKIP_WITHOUT_PYTHON_DBF();
    Row(12, "Хлеб «Бородинский»", TCurrency::FromDouble(45.9), TCurrency::FromDouble(1.5));
    Row(13, "Соль", TFieldValue{});
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.dbf"));
    bool ok = false;
    const std::string out = RunPython(dir, R"(
import dbf
t = dbf.Table(')" + dir.File("goods.dbf") + R"(')
t.open(dbf.READ_ONLY)
print(t.codepage.name, len(t))
for r in t:
    print('%s|%s|%s|%s|%s|%s|%s' % (r.code, r.type, r.name.rstrip(), r.price.rstrip(), r.shtrih.rstrip(), r.isblock, r.count.rstrip()))
t.close()
)", ok);
    ASSERT_TRUE(ok) << out;
    EXPECT_EQ(out,
              "cp1251 2\n"
              "12|170|Хлеб «Бородинский»|45,9|4600000000001|True|1,5\n"
              "13|170|Соль||4600000000001|True|\n");
}

// ---- CSV -------------------------------------------------------------------

namespace {

// The header and two rows of a shop's CSV: lower-case, reordered names and a
// column of its own; cells holding the separator are quoted.
std::string ShopCsv(char sep, const std::string& lineEnd = "\r\n") {
    const std::vector<std::vector<std::string>> lines = {
        {"Note", "name", "Code", "PRICE", "type", "ng", "Section", "vesovoy", "shtrih", "IsBlock", "count"},
        {"x", "Сыр «Российский», кг", "12", "12,5", "170", "1", "2", "2", "4600000000001", "да", "1.5"},
        {"", "Ёлка; ель", "13", "", "165", "", "", "", "", "", ""},
    };
    std::string out;
    for (const auto& cells : lines) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const bool quote = cells[i].find(sep) != std::string::npos;
            out += (i ? std::string(1, sep) : "") + (quote ? "\"" + cells[i] + "\"" : cells[i]);
        }
        out += lineEnd;
    }
    return out;
}

}  // namespace

TEST_F(GoodsExchange, CsvFilesInEachEncodingAndSeparatorAreRead) {
    for (const char sep : {';', ',', '\t'}) {
        for (const std::string encoding : {"utf-8", "utf-8 bom", "cp1251"}) {
            SCOPED_TRACE(std::string(1, sep) + " " + encoding);
            const std::string text = ShopCsv(sep, sep == ',' ? "\n" : "\r\n");
            const std::string bytes = encoding == "cp1251" ? Utf8ToCp1251(text)
                                      : encoding == "utf-8" ? text : "\xEF\xBB\xBF" + text;
            PutFileBytes(dir.File("shop.CSV"), bytes);
            t.EmptyTable();
            ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("shop.CSV"));
            EXPECT_TRUE(log.Has("Данные считаны из CSV файла"));
            ASSERT_EQ(Codes(), (std::vector<int>{12, 13}));
            EXPECT_EQ(t.VisibleValue(0, t.FieldIndex("Vesovoy")).AsInteger(), 2);
            ExpectTwoRows("Сыр «Российский», кг", 12.5, "4600000000001", "Ёлка; ель");
            for (const char* blank : {"Price", "NG", "Section"}) EXPECT_TRUE(t.IsNull(blank)) << blank;
            EXPECT_FALSE(t.AsBoolean("isBlock"));  // blank: as in a new row
        }
    }
}

TEST_F(GoodsExchange, CsvQuotingAndRefusedFilesThatLeaveTheTableAsItWas) {
    // Quoted separators, doubled quotes and a line break; a record of line 2
    // runs over two lines, so the bad price is on line 4; ISBLOCK in its forms.
    const std::string header = "CODE;TYPE;NAME;NG;PRICE;SECTION;VESOVOY;SHTRIH;ISBLOCK;COUNT\r\n";
    const std::string good = header +
                             "1;170;\"Хлеб \"\"Дарницкий\"\";\r\nнарезка\";1;10;1;1;;T;\r\n"
                             "2;170;\"a;b\";1;20;1;1;;НЕТ;\r\n"
                             ";;;;;;;;;\r\n"  // nothing but separators: skipped
                             "3;170;c;1;30;1;1;;False\r\n";  // a short line: COUNT blank
    PutFileBytes(dir.File("good.csv"), good);
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("good.csv")) << log.Text();
    ASSERT_EQ(Codes(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(t.VisibleValue(0, t.FieldIndex("Name")).AsString(), "Хлеб \"Дарницкий\";\r\nнарезка");
    EXPECT_TRUE(t.VisibleValue(0, t.FieldIndex("isBlock")).AsBoolean());
    EXPECT_EQ(t.VisibleValue(1, t.FieldIndex("Name")).AsString(), "a;b");
    EXPECT_FALSE(t.VisibleValue(1, t.FieldIndex("isBlock")).AsBoolean());
    EXPECT_TRUE(t.VisibleValue(2, t.FieldIndex("Count")).IsNull());

    const std::vector<std::pair<std::string, std::string>> refused = {
        {header.substr(0, header.size() - 8) + "\r\n1;170;a;1;10;1;1;;T\r\n",
         "Не удалось открыть CSV файл " + dir.File("bad.csv") + ": в строке заголовка нет поля COUNT"},
        {header + "4;170;\"a;1;10;1;1;;T;\r\n", "строка 2: кавычки не закрыты"},
        {good.substr(0, good.find("2;170")) + "4;170;d;1;12,3,4;1;1;;T;\r\n",
         "строка 4: поле PRICE \"12,3,4\" не число; товары не изменены"},
        {header + "5;170;d;1;1;1;1;;может быть;\r\n", "строка 2: поле ISBLOCK \"может быть\" не логическое значение"},
        {header + "5;170;d;1;1;1;x;;1;\r\n", "строка 2: поле VESOVOY \"x\" не целое число"},
    };
    for (const auto& [bytes, message] : refused) {
        SCOPED_TRACE(message);
        PutFileBytes(dir.File("bad.csv"), bytes);
        EXPECT_FALSE(exchange.bLoadTOBAPfromDBFClick("bad.csv"));
        EXPECT_TRUE(log.Has(message)) << log.Text();
        EXPECT_EQ(Codes(), (std::vector<int>{1, 2, 3}));
    }
}

TEST_F(GoodsExchange, CsvExportReadByPythonsCsvModuleAndBack) {
    Row(12, "Хлеб «Бородинский»; \"нарезка\"", TCurrency::FromDouble(45.9), TCurrency::FromDouble(1.5));
    Row(13, "Соль", TFieldValue{});
    ASSERT_TRUE(exchange.bSaveTOBAPtoDBFClick("goods.csv"));
    EXPECT_TRUE(log.Has("Данные записаны в CSV файл"));
    const std::string bytes = FileBytes(dir.File("goods.csv"));
    EXPECT_EQ(bytes.substr(0, 73), "\xEF\xBB\xBF" "CODE;TYPE;NAME;NG;PRICE;SECTION;VESOVOY;SHTRIH;ISBLOCK;COUNT\r\n12;170;\"");
    EXPECT_NE(bytes.find(";4600000000001;1;\r\n"), std::string::npos);  // a blank COUNT

    // Python reads it and writes it back with its own dialect: ',', every
    // field quoted, '.' decimals, the columns reversed.
    const std::string script = dir.File("round.py");
    PutFileBytes(script, R"(import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, delimiter=';'))
print(len(rows), rows[1][2], rows[1][4], rows[2][4] == '')
with open(sys.argv[2], 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f, quoting=csv.QUOTE_ALL)
    for r in rows:
        w.writerow([c.replace(',', '.') if c[:1].isdigit() else c for c in reversed(r)])
)");
    FILE* p = ::popen(("PYTHONIOENCODING=utf-8 python3 " + script + " " + dir.File("goods.csv") + " " + dir.File("back.csv")).c_str(), "r");
    ASSERT_NE(p, nullptr);
    char out[512] = {};
    const std::size_t n = std::fread(out, 1, sizeof out - 1, p);
    ASSERT_EQ(::pclose(p), 0) << std::string(out, n);
    EXPECT_EQ(std::string(out, n), "3 Хлеб «Бородинский»; \"нарезка\" 45,9 True\n");

    t.EmptyTable();
    ASSERT_TRUE(exchange.bLoadTOBAPfromDBFClick("back.csv"));
    ASSERT_EQ(Codes(), (std::vector<int>{12, 13}));
    t.First();
    EXPECT_EQ(t.AsString("Name"), "Хлеб «Бородинский»; \"нарезка\"");
    EXPECT_EQ(t.AsCurrency("Price"), TCurrency::FromDouble(45.9));
    EXPECT_EQ(t.AsCurrency("Count"), TCurrency::FromDouble(1.5));
    EXPECT_TRUE(t.AsBoolean("isBlock"));
    t.Next();
    EXPECT_TRUE(t.IsNull("Price"));
}
