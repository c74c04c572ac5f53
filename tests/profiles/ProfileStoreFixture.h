// A profile store in a scratch folder with the working tables beside it, and
// helpers that fill the register profile's rows and read the files back.
#pragma once
#include "ProfileListEntry.h"
#include "DbfTestFiles.h"
#include "app/Dialog.h"
#include "app/U_filedirwork.h"
#include "kkm/U_kkms.h"
#include "profiles/ProfileStore.h"
#include "settings/Unitbd.h"

#include <string>
#include <vector>

class ProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSwitches();
        SetLogFileName(dir.File("test.log"));
        store.Dir = dir.File("bd");
        store.DecimalSeparator = '.';
        bd.Info = &info;
    }
    void TearDown() override {
        SetLogFileName("");
        ResetSwitches();
    }

    std::string Log() const { return ReadLog(dir.File("test.log")); }
    static std::string ReadLog(const std::string& path) { return Cp1251ToUtf8(FileBytes(path)); }
    std::string Table(const std::string& file) const { return dir.File("bd/" + file); }

    // The register profile's option rows: options 1..count with value base + number.
    void SetOptions(int count, int base) {
        TMemTable& t = bd.mtOptions;
        bd.mtProfile.First();
        TBD::ClearRows(t);
        for (int n = 1; n <= count; ++n) {
            t.Append();
            t.SetValue("num", n);
            t.SetValue("Value", base + n);
            t.Post();
        }
    }
    // count departments: 1 goods "Хлеб" group A price 12.5, 2 service without
    // group or price, the rest closed.
    void SetDepartments(int count) {
        TMemTable& t = bd.mtDepatment;
        bd.mtProfile.First();
        TBD::ClearRows(t);
        for (int n = 1; n <= count; ++n) {
            t.Append();
            t.SetValue("Num", n);
            t.SetValue("Status", n == 1 ? DepKindGoods : n == 2 ? DepKindService : DepKindClosed);
            if (n == 1) {
                t.SetValue("Name", "Хлеб");
                t.SetValue("NG", "A");
                t.SetValue("Price", TCurrency::FromDouble(12.5));
            } else if (n == 2) {
                t.SetValue("Name", "Ремонт");
            }
            t.Post();
        }
    }
    void SetLines(const std::string& prefix) {
        bd.mtProfile.First();
        for (auto [t, kind] : {std::pair{&bd.mtTitle, "З"}, std::pair{&bd.mtFooter, "О"}})
            for (int i = 0; i < t->RecordCount(); ++i) {
                t->GoToRow(i);
                t->Edit();
                t->SetValue("Caption", prefix + kind + std::to_string(i + 1));
                t->Post();
            }
        bd.mtCheckFont.Edit();
        bd.mtCheckFont.SetValue("TitleFont", FontNames[3]);
        bd.mtCheckFont.SetValue("footerFont", FontNames[5]);
        bd.mtCheckFont.Post();
    }
    void SetTaxes() {
        bd.mtProfile.First();
        TMemTable& t = bd.mtTax;
        t.GoToRow(0);
        t.Edit();
        t.SetValue("isDefined", true);
        t.SetValue("Name", "НДС");
        t.SetValue("Type", "0");
        t.SetValue("Percent", 18.0);
        t.Post();
        t.GoToRow(1);
        t.Edit();
        t.SetValue("isDefined", true);
        t.SetValue("Name", "НСП");
        t.SetValue("Type", "1");
        t.SetValue("Percent", 12.5);
        t.Post();
        t.GoToRow(2);
        t.Edit();
        t.SetValue("isDefined", false);
        t.Post();
    }
    void FillRegisterProfile(int options = 32, int base = 100) {
        SetOptions(options, base);
        SetDepartments(4);
        SetLines("");
        SetTaxes();
    }

    // Appends a list entry and makes it current (which loads it from the store).
    void ShowProfile(const std::string& name, const std::string& key) { ShowStoredProfile(bd.mtProfile, name, key); }

    static std::vector<int> Ints(TMemTable& t, const char* field) {
        std::vector<int> out;
        for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleRecord(i).AsInteger(field));
        return out;
    }
    static std::vector<std::string> Texts(TMemTable& t, const char* field) {
        std::vector<std::string> out;
        for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.VisibleRecord(i).AsString(field));
        return out;
    }

    // The live records of a table file with OLN (or another field) = value,
    // each as the texts of the fields asked for, joined by "|".
    std::vector<std::string> Rows(const std::string& file, const std::string& field, const std::string& value,
                                  const std::vector<std::string>& fields) const {
        TDbfTable t;
        EXPECT_TRUE(t.OpenExisting(Table(file), true)) << t.LastError();
        EXPECT_TRUE(t.SetFilter({{field, value}}));
        std::vector<std::string> out;
        for (; !t.Eof(); t.Next()) {
            std::string row;
            for (const auto& f : fields) row += (row.empty() ? "" : "|") + t.GetText(f);
            out.push_back(row);
        }
        return out;
    }
    long long LiveCount(const std::string& file) const {
        TDbfTable t;
        EXPECT_TRUE(t.OpenExisting(Table(file), true)) << t.LastError();
        return t.Count();
    }

    TDbfScratch dir;
    TKKMInfo info;
    TBD bd;
    TProfileStore store{bd};
};
