// Tables checked against an independent dBase implementation, the python3
// "dbf" module: it reads what we write, and we read what it writes.
#include "DbfTestFiles.h"

namespace {

using F = TDbfFieldDef;

const std::vector<TDbfFieldDef> kGoods = {F::Integer("CODE"),    F::Integer("TYPE"),    F::Text("NAME", 32),   F::Integer("NG"),
                                          F::Text("PRICE", 20),  F::Integer("SECTION"), F::Integer("VESOVOY"), F::Text("SHTRIH", 20),
                                          F::Boolean("ISBLOCK"), F::Text("COUNT", 20)};

}  // namespace

TEST(DbfPython, PythonReadsAndExtendsOurTable) {
    SKIP_WITHOUT_PYTHON_DBF();
    TDbfScratch dir;
    const std::string path = dir.File("goods.dbf");
    const std::string longName = "Сыр «Российский» 45% весовой, кг";  // 32 characters
    ASSERT_EQ(Cp1251Length(longName), 32u);
    {
        TDbfTable t;
        ASSERT_TRUE(t.CreateReplacing(path, kGoods));
        ASSERT_TRUE(t.Append());
        t.SetInteger("CODE", 1), t.SetInteger("NG", -5), t.SetText("NAME", "Хлеб"), t.SetText("PRICE", "12,5"), t.SetBool("ISBLOCK", true);
        ASSERT_TRUE(t.Post());
        ASSERT_TRUE(t.Append());
        t.SetInteger("CODE", 2), t.SetText("NAME", "удалённый");
        ASSERT_TRUE(t.Post());
        ASSERT_TRUE(t.Delete());
        ASSERT_TRUE(t.Append());
        t.SetInteger("CODE", 999999), t.SetText("NAME", longName + "!"), t.SetText("SHTRIH", "4600000000001"), t.SetBool("ISBLOCK", false);
        ASSERT_TRUE(t.Close()) << t.LastError();
    }

    bool ok = false;
    const std::string out = RunPython(dir, R"(
import dbf
t = dbf.Table(')" + path + R"(')
t.open(dbf.READ_WRITE)
print(t.codepage.name)
print(' '.join('%s:%s%d.%d' % (n, chr(t.field_info(n)[0]), t.field_info(n)[1], t.field_info(n)[2]) for n in t.field_names))
for r in t:
    if dbf.is_deleted(r):
        continue
    print('%s|%s|%s|%s|%s|%s' % (r.code, r.name.rstrip(), r.ng, r.price.rstrip(), r.shtrih.rstrip(), r.isblock))
t.append((77, 1, 'Молоко', 65, '50', 1, 0, '', False, '1,5'))
t.close()
)", ok);
    ASSERT_TRUE(ok) << out;
    EXPECT_EQ(out,
              "cp1251\n"
              "code:N9.0 type:N9.0 name:C32.0 ng:N9.0 price:C20.0 section:N9.0 vesovoy:N9.0 shtrih:C20.0 isblock:L1.0 count:C20.0\n"
              "1|Хлеб|-5|12,5||True\n"
              "999999|" + longName + "|None||4600000000001|False\n");

    // The record python appended reads back here.
    TDbfTable t;
    ASSERT_TRUE(t.OpenExisting(path)) << t.LastError();
    EXPECT_EQ(t.Count(), 3);
    ASSERT_TRUE(t.SetFilter({{"NAME", "Молоко"}}));
    EXPECT_EQ(t.GetInteger("CODE"), 77);
    EXPECT_EQ(t.GetInteger("NG"), 65);
    EXPECT_EQ(t.GetText("COUNT"), "1,5");
    EXPECT_EQ(t.GetBool("ISBLOCK"), false);
}

TEST(DbfPython, WeReadTablesPythonWrites) {
    SKIP_WITHOUT_PYTHON_DBF();
    TDbfScratch dir;
    bool ok = false;
    const std::string out = RunPython(dir, R"(
import dbf
for name, cp, kind, fields in [
        ('db3_866.dbf', 'cp866', 'db3', 'name C(10); n N(9,0); f L'),
        ('db3_1251.dbf', 'cp1251', 'db3', 'name C(10); n N(9,0); f L'),
        ('fox.dbf', 'cp866', 'fp', 'name C(10); n N(9,0); f L; d D; p N(8,2); m M'),
        ('vfp.dbf', 'cp1251', 'vfp', 'name C(10); n N(9,0); f L; d D; p N(8,2); m M')]:
    t = dbf.Table(')" + dir.Path() + R"(/' + name, fields, codepage=cp, dbf_type=kind)
    t.open(dbf.READ_WRITE)
    extra = (dbf.Date(2024, 5, 6), 12.5, 'memo text') if 'd D' in fields else ()
    t.append(('Хлеб', 12, True) + extra)
    t.append(('Удалить', 1, False) + extra)
    t.append(('', -5, None) + ((None, None, None) if extra else ()))
    dbf.delete(t[1])
    t.close()
print('done')
)", ok);
    ASSERT_TRUE(ok) << out;

    for (const char* name : {"db3_866.dbf", "db3_1251.dbf", "fox.dbf", "vfp.dbf"}) {
        SCOPED_TRACE(name);
        TDbfTable t;
        ASSERT_TRUE(t.OpenExisting(dir.File(name), true)) << t.LastError();
        EXPECT_EQ(t.CodePage(), std::string(name).find("1251") != std::string::npos || std::string(name) == "vfp.dbf"
                                    ? TCodePage::cp1251
                                    : TCodePage::cp866);
        EXPECT_TRUE(t.HasFields({F::Text("NAME", 10), F::Integer("N"), F::Boolean("F")})) << t.LastError();
        EXPECT_EQ(t.RecordCount(), 3u);
        EXPECT_EQ(t.Count(), 2);
        EXPECT_EQ(t.GetText("NAME"), "Хлеб");
        EXPECT_EQ(t.GetInteger("N"), 12);
        EXPECT_EQ(t.GetBool("F"), true);
        if (t.FieldIndex("D") >= 0) {
            EXPECT_EQ(t.GetText("D"), "20240506");
            EXPECT_EQ(t.GetText("P"), "12.50");
            EXPECT_EQ(t.GetInteger("P"), 12);
            EXPECT_TRUE(t.HasField("M", 'M'));
        }
        ASSERT_TRUE(t.Next());
        EXPECT_TRUE(t.IsNull("NAME"));
        EXPECT_EQ(t.GetInteger("N"), -5);
        EXPECT_EQ(t.GetBool("F"), std::nullopt);  // python marks an unset boolean "?"
        ASSERT_TRUE(t.Next());
        EXPECT_TRUE(t.Eof());
    }

    // A DOS table written here stays a DOS table python reads.
    TDbfTable t;
    ASSERT_TRUE(t.OpenExisting(dir.File("db3_866.dbf")));
    ASSERT_TRUE(t.Append());
    ASSERT_TRUE(t.SetText("NAME", "Ёлка"));
    ASSERT_TRUE(t.SetInteger("N", 3));
    ASSERT_TRUE(t.Close());
    const std::string back = RunPython(dir, R"(
import dbf
t = dbf.Table(')" + dir.File("db3_866.dbf") + R"(')
t.open(dbf.READ_ONLY)
print(t[-1].name.rstrip(), t[-1].n, len(t))
)", ok);
    ASSERT_TRUE(ok) << back;
    EXPECT_EQ(back, "Ёлка 3 4\n");
}
