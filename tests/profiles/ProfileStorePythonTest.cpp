// The store's files read by an independent dBase implementation (the python3
// "dbf" module), and a template it adds loaded by the store.
#include "ProfileStoreFixture.h"

TEST_F(ProfileStoreTest, PythonReadsTheStoreAndAddsATemplateWeLoad) {
    SKIP_WITHOUT_PYTHON_DBF();
    FillRegisterProfile(32, 100);
    const std::string key = store.SaveProfile(SavedProfileName, "001234567890", "ver012");
    ASSERT_FALSE(key.empty()) << Log();
    SetOptions(8, 0);
    ASSERT_FALSE(store.SaveProfile(SavedProfileName, "001234567890", "ver012").empty());

    bool ok = false;
    const std::string out = RunPython(dir, R"(
import dbf
bd = ')" + dir.File("bd") + R"('
p = dbf.Table(bd + '/Profile.dbf'); p.open(dbf.READ_WRITE)
print(p.codepage.name, len(p))
for r in p:
    print('%s|%s|%s|%s' % (r.name.rstrip(), r.sn.rstrip(), r.typekkm.rstrip(), r.ln.rstrip()))
o = dbf.Table(bd + '/options.dbf'); o.open(dbf.READ_WRITE)
print(sum(1 for r in o if not dbf.is_deleted(r)), sum(1 for r in o if dbf.is_deleted(r)))
d = dbf.Table(bd + '/Dept.dbf'); d.open(dbf.READ_ONLY)
for r in d:
    print('%d|%d|%s|%d|%s' % (r.sec, r.status, r.name.rstrip(), r.ng, r.price.rstrip()))
t = dbf.Table(bd + '/Tax.dbf'); t.open(dbf.READ_ONLY)
print(' '.join('%s:%s' % (r.name.rstrip(), r.isdefined) for r in t))
p.append(('Из другой программы', '', 'ver012', '777'))
o.append((5, 42, '777'))
p.close(); o.close(); d.close(); t.close()
)", ok);
    ASSERT_TRUE(ok) << out;
    EXPECT_EQ(out,
              "cp1251 1\n"
              "Сохраненная|001234567890|ver012|" + key + "\n"
              "8 24\n"
              "1|161|Хлеб|65|12.5\n"
              "2|162|Ремонт|32|\n"
              "3|163||32|\n"
              "4|163||32|\n"
              "НДС:True НСП:True :False :None :None\n");

    store.Close();  // the store is the only user of its files while it has them open
    std::vector<TStoredProfile> templates;
    ASSERT_TRUE(store.Find({{"SN", ""}, {"TYPEKKM", "ver012"}}, templates));
    ASSERT_EQ(templates.size(), 1u);
    EXPECT_EQ(templates[0].Name, "Из другой программы");
    ShowProfile(templates[0].Name, "-" + templates[0].LN);
    ASSERT_EQ(bd.mtOptions.RecordCount(), 1);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("num"), 5);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("Value"), 42);
}
