// The profile store against real table files in a scratch folder.
#include "ProfileStoreFixture.h"
#include "profiles/ProfileTexts.h"

#include <csignal>
#include <filesystem>

namespace {

const std::string kSerial = "001234567890";
const std::string kVersion = "ver012";


}  // namespace

TEST(ProfileTexts, StoredKeyCountsLocalSecondsFrom18991230) {
    auto at = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
        std::tm t{};
        t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d, t.tm_hour = h, t.tm_min = mi, t.tm_sec = s;
        return StoredKeyOf(t);
    };
    EXPECT_EQ(at(1899, 12, 30, 0, 0, 1), 1);
    EXPECT_EQ(at(1900, 3, 1), 61LL * 86400);  // 1900 had no 29 February
    EXPECT_EQ(at(2024, 1, 1), 45292LL * 86400);
    EXPECT_EQ(at(2024, 2, 29, 23, 59, 59), 45351LL * 86400 + 86399);
    EXPECT_EQ(std::to_string(StoredKeyNow()).size(), 10u);
}

TEST(ProfileTexts, NumbersUseTheSeparatorAndReadBackEitherWay) {
    EXPECT_EQ(GeneralNumberText(18, ','), "18");
    EXPECT_EQ(GeneralNumberText(12.5, ','), "12,5");
    EXPECT_EQ(GeneralNumberText(0.1, '.'), "0.1");
    EXPECT_EQ(GeneralNumberText(-3.0001, ','), "-3,0001");
    EXPECT_EQ(GeneralNumberText(123456789012.345, '.'), "123456789012.345");
    EXPECT_EQ(CurrencyText(TCurrency::FromDouble(1234.5), ','), "1234,5");
    EXPECT_EQ(CurrencyText(TCurrency::FromInteger(0), ','), "0");
    EXPECT_EQ(ParseStoredNumber("12,5"), 12.5);
    EXPECT_EQ(ParseStoredNumber(" 12.5 "), 12.5);
    EXPECT_EQ(ParseStoredNumber("-7"), -7.0);
    EXPECT_EQ(ParseStoredNumber("1E3"), 1000.0);
    EXPECT_FALSE(ParseStoredNumber(""));
    EXPECT_FALSE(ParseStoredNumber("   "));
    EXPECT_FALSE(ParseStoredNumber("12,5 руб"));
    const char sep = LocaleDecimalSeparator();
    EXPECT_TRUE(sep == '.' || sep == ',');
}

TEST_F(ProfileStoreTest, OpenCreatesTheSixEmptyTablesByteExact) {
    ASSERT_TRUE(store.Open());
    const std::string today = TodayBytes();
    EXPECT_EQ(FileBytes(Table("Profile.dbf")),
              ExpectedHeader({{"NAME", 'C', 30}, {"SN", 'C', 30}, {"TYPEKKM", 'C', 20}, {"LN", 'C', 20}}, 0, today) + "\x1A");
    EXPECT_EQ(FileBytes(Table("Profile.dbf")).size(), 162u);
    EXPECT_EQ(FileBytes(Table("options.dbf")),
              ExpectedHeader({{"NUM", 'N', 9}, {"VAL", 'N', 9}, {"OLN", 'C', 20}}, 0, today) + "\x1A");
    EXPECT_EQ(FileBytes(Table("checkFont.dbf")),
              ExpectedHeader({{"TITLEFONT", 'N', 9}, {"FOOTERFONT", 'N', 9}, {"OLN", 'C', 20}}, 0, today) + "\x1A");
    EXPECT_EQ(FileBytes(Table("check.dbf")),
              ExpectedHeader({{"LINE", 'N', 9}, {"NAME", 'C', 32}, {"OLN", 'C', 20}}, 0, today) + "\x1A");
    EXPECT_EQ(FileBytes(Table("Tax.dbf")),
              ExpectedHeader({{"ISDEFINED", 'L', 1}, {"NAME", 'C', 12}, {"TYPE", 'C', 12}, {"PERCENT", 'C', 10},
                              {"OLN", 'C', 20}, {"NUM", 'N', 9}},
                             0, today) + "\x1A");
    EXPECT_EQ(FileBytes(Table("Dept.dbf")),
              ExpectedHeader({{"OLN", 'C', 20}, {"SEC", 'N', 9}, {"STATUS", 'N', 9}, {"NAME", 'C', 22}, {"NG", 'N', 9},
                              {"PRICE", 'C', 30}},
                             0, today) + "\x1A");
    // Opening again changes nothing.
    store.Close();
    ASSERT_TRUE(store.Open());
    EXPECT_EQ(FileBytes(Table("Profile.dbf")).size(), 162u);
}

TEST_F(ProfileStoreTest, SavedProfileIsStoredFieldByFieldAndLoadsBack) {
    info.Options[0] = {1, 5, 2, "первая", true};
    FillRegisterProfile();
    const std::string key = store.SaveProfile(SavedProfileName, kSerial, kVersion);
    ASSERT_EQ(key.size(), 10u) << Log();

    EXPECT_EQ(Rows("Profile.dbf", "LN", key, {"NAME", "SN", "TYPEKKM"}),
              std::vector<std::string>{"Сохраненная|001234567890|ver012"});
    std::vector<std::string> options;
    for (int n = 1; n <= 32; ++n) options.push_back(std::to_string(n) + "|" + std::to_string(100 + n));
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"NUM", "VAL"}), options);
    EXPECT_EQ(Rows("Dept.dbf", "OLN", key, {"SEC", "STATUS", "NAME", "NG", "PRICE"}),
              (std::vector<std::string>{"1|161|Хлеб|65|12.5", "2|162|Ремонт|32|", "3|163||32|", "4|163||32|"}));
    EXPECT_EQ(Rows("Tax.dbf", "OLN", key, {"NUM", "ISDEFINED", "NAME", "TYPE", "PERCENT"}),
              (std::vector<std::string>{"1|T|НДС|0|18", "2|T|НСП|1|12.5", "3|F||2|", "4|||2|", "5|||2|"}));
    std::vector<std::string> lines;
    for (int i = 1; i <= 6; ++i) lines.push_back(std::to_string(i) + "|З" + std::to_string(i));
    for (int i = 7; i <= 12; ++i) lines.push_back(std::to_string(i) + "|О" + std::to_string(i - 6));
    EXPECT_EQ(Rows("check.dbf", "OLN", key, {"LINE", "NAME"}), lines);
    EXPECT_EQ(Rows("checkFont.dbf", "OLN", key, {"TITLEFONT", "FOOTERFONT"}), std::vector<std::string>{"3|5"});

    // The stored profile as a list entry: its rows come from the store.
    ShowProfile(SavedProfileName, key);
    ASSERT_EQ(bd.mtOptions.RecordCount(), 32);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(31).AsInteger("num"), 32);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("Value"), 101);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("Min"), 1);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("Max"), 5);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("CanNul"), 1);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsString("LN"), key);
    EXPECT_EQ(bd.SavedValues[0], 101) << "loading the saved profile renews the snapshot";
    EXPECT_EQ(bd.SavedValues[31], 132);

    TMemTable& dep = bd.mtDepatment;
    EXPECT_EQ(Ints(dep, "Status"), (std::vector<int>{DepKindGoods, DepKindService, DepKindClosed, DepKindClosed}));
    EXPECT_EQ(Texts(dep, "Name"), (std::vector<std::string>{"Хлеб", "Ремонт", "", ""}));
    EXPECT_EQ(Texts(dep, "NG"), (std::vector<std::string>{"A", "", "", ""}));
    EXPECT_EQ(dep.VisibleRecord(0).AsCurrency("Price"), TCurrency::FromDouble(12.5));
    EXPECT_TRUE(dep.VisibleRecord(1).IsNull("Price"));

    TMemTable& tax = bd.mtTax;
    EXPECT_EQ(Texts(tax, "Name"), (std::vector<std::string>{"НДС", "НСП", "", "", ""}));
    EXPECT_EQ(Texts(tax, "Type"), (std::vector<std::string>{"0", "1", "2", "2", "2"}));
    EXPECT_DOUBLE_EQ(tax.VisibleRecord(1).AsFloat("Percent"), 12.5);
    EXPECT_TRUE(tax.VisibleRecord(0).AsBoolean("isDefined"));
    EXPECT_FALSE(tax.VisibleRecord(2).IsNull("isDefined"));
    EXPECT_FALSE(tax.VisibleRecord(2).AsBoolean("isDefined"));
    EXPECT_TRUE(tax.VisibleRecord(3).IsNull("isDefined"));
    EXPECT_TRUE(tax.VisibleRecord(3).IsNull("Percent"));

    EXPECT_EQ(Ints(bd.mtTitle, "Num"), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Texts(bd.mtFooter, "Caption"), (std::vector<std::string>{"О1", "О2", "О3", "О4", "О5", "О6"}));
    EXPECT_EQ(Ints(bd.mtFooter, "Num"), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(bd.mtCheckFont.RecordCount(), 1);
    EXPECT_EQ(bd.mtCheckFont.AsString("TitleFont"), FontNames[3]);
    EXPECT_EQ(bd.mtCheckFont.AsString("footerFont"), FontNames[5]);

    // The register profile is never loaded from the store.
    bd.mtProfile.First();
    EXPECT_FALSE(store.LoadProfile());
    EXPECT_EQ(bd.mtOptions.RecordCount(), 32);
}

TEST_F(ProfileStoreTest, SavingAgainUnderTheSameNameAndSerialOverwritesInPlace) {
    FillRegisterProfile(32, 100);
    const std::string key = store.SaveProfile(SavedProfileName, kSerial, kVersion);
    ASSERT_FALSE(key.empty());
    const auto sizes = [this] {
        std::vector<std::size_t> s;
        for (const char* f : {"Profile.dbf", "options.dbf", "Dept.dbf", "Tax.dbf", "check.dbf", "checkFont.dbf"})
            s.push_back(FileBytes(Table(f)).size());
        return s;
    };
    const auto before = sizes();

    SetOptions(32, 50);
    SetLines("новый ");
    EXPECT_EQ(store.SaveProfile(SavedProfileName, kSerial, "ver099"), key);
    EXPECT_EQ(sizes(), before) << "every row rewritten in place";
    EXPECT_EQ(LiveCount("Profile.dbf"), 1);
    EXPECT_EQ(Rows("Profile.dbf", "LN", key, {"TYPEKKM"}), std::vector<std::string>{"ver012"});
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"VAL"}).front(), "51");
    EXPECT_EQ(Rows("check.dbf", "OLN", key, {"NAME"}).front(), "новый З1");

    // Another register's saved profile is a profile of its own.
    const std::string other = store.SaveProfile(SavedProfileName, "999999999999", kVersion);
    EXPECT_NE(other, key);
    EXPECT_EQ(LiveCount("Profile.dbf"), 2);
}

TEST_F(ProfileStoreTest, ATemplateUnderAnExistingNameAndVersionTakesOverItsRows) {
    FillRegisterProfile(32, 100);
    const std::string key = store.SaveProfile("Магазин", "", kVersion);
    SetOptions(16, 7);
    // The same name under another version is a template of its own.
    const std::string other = store.SaveProfile("Магазин", "", "ver099");
    ASSERT_FALSE(other.empty());
    EXPECT_NE(other, key);
    EXPECT_EQ(Rows("Profile.dbf", "LN", other, {"NAME", "SN", "TYPEKKM"}), std::vector<std::string>{"Магазин||ver099"});
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"NUM", "VAL"}).size(), 32u);
    EXPECT_EQ(store.SaveProfile("Магазин", "", kVersion), key);
    EXPECT_EQ(LiveCount("Profile.dbf"), 2);
    EXPECT_EQ(Rows("Profile.dbf", "LN", key, {"NAME", "SN", "TYPEKKM"}), std::vector<std::string>{"Магазин||ver012"});
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"NUM", "VAL"}).size(), 16u);
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"NUM", "VAL"}).back(), "16|23");
    // The saved profiles' name is no template's.
    EXPECT_TRUE(store.SaveProfile(SavedProfileName, "", kVersion).empty());
    EXPECT_EQ(LiveCount("Profile.dbf"), 2);
}

TEST_F(ProfileStoreTest, ProfilesMadeWithinOneSecondGetKeysOfTheirOwn) {
    ASSERT_TRUE(store.Open());
    // The keys of this second and the next three are taken already.
    const long long now = StoredKeyNow();
    for (long long k = now; k <= now + 3; ++k) {
        ASSERT_TRUE(store.Profile.Append());
        store.Profile.SetText("NAME", "занят " + std::to_string(k));
        store.Profile.SetText("LN", std::to_string(k));
        ASSERT_TRUE(store.Profile.Post());
    }
    FillRegisterProfile(32, 100);
    const std::string a = store.SaveProfile("Первый", "", kVersion);
    SetOptions(8, 0);
    const std::string b = store.SaveProfile("Второй", "", kVersion);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_GT(std::stoll(a), now + 3);
    EXPECT_GT(std::stoll(b), now + 3);
    EXPECT_EQ(Rows("options.dbf", "OLN", a, {"NUM"}).size(), 32u);
    EXPECT_EQ(Rows("options.dbf", "OLN", b, {"NUM"}).size(), 8u);
}

TEST_F(ProfileStoreTest, SurplusStoredRowsAreRemovedSoTheProfileLoadsAsSaved) {
    SetOptions(64, 0);
    SetDepartments(16);
    const std::string key = store.SaveProfile("Шаблон", "", kVersion);
    SetOptions(32, 1);
    SetDepartments(4);
    ASSERT_EQ(store.SaveProfile("Шаблон", "", kVersion), key);
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"NUM"}).size(), 32u);
    EXPECT_EQ(Rows("Dept.dbf", "OLN", key, {"SEC"}).size(), 4u);
    ShowProfile("Шаблон", "-" + key);
    EXPECT_EQ(bd.mtOptions.RecordCount(), 32);
    EXPECT_EQ(bd.mtDepatment.RecordCount(), 4);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(31).AsInteger("Value"), 33);
    // A template changes neither snapshot.
    for (auto v : bd.SavedValues) EXPECT_EQ(v, 0);
}

TEST_F(ProfileStoreTest, StoredRowsWrittenByOthersLoadByTheirCodes) {
    ASSERT_TRUE(store.Open());
    auto add = [](TDbfTable& t, std::vector<std::pair<const char*, std::string>> fields) {
        ASSERT_TRUE(t.Append());
        for (auto& [f, v] : fields) ASSERT_TRUE(t.SetText(f, v)) << f;
        ASSERT_TRUE(t.Post());
    };
    add(store.Profile, {{"NAME", "Ручной"}, {"SN", ""}, {"TYPEKKM", kVersion}, {"LN", "100"}});
    add(store.Dep, {{"OLN", "100"}, {"SEC", "1"}, {"STATUS", "161"}, {"NAME", "А"}, {"NG", "65"}, {"PRICE", "12,5"}});
    add(store.Dep, {{"OLN", "100"}, {"SEC", "2"}, {"STATUS", "162"}, {"NG", "32"}, {"PRICE", "7.25"}});
    add(store.Dep, {{"OLN", "100"}, {"SEC", "3"}, {"STATUS", "999"}, {"NG", "69"}, {"PRICE", ""}});
    add(store.Tax, {{"OLN", "100"}, {"NUM", "1"}, {"ISDEFINED", "T"}, {"TYPE", "1"}, {"PERCENT", "18,5"}});
    for (int i = 1; i <= 6; ++i) add(store.Check, {{"OLN", "100"}, {"LINE", std::to_string(i)}, {"NAME", "з"}});
    add(store.Check, {{"OLN", "100"}, {"LINE", "9"}, {"NAME", "третья снизу"}});
    add(store.Options, {{"OLN", "100"}, {"NUM", "3"}, {"VAL", "7"}});

    ShowProfile("Ручной", "-100");
    TMemTable& dep = bd.mtDepatment;
    EXPECT_EQ(Texts(dep, "NG"), (std::vector<std::string>{"A", "", "E"}));
    EXPECT_EQ(Ints(dep, "Status"), (std::vector<int>{DepKindGoods, DepKindService, DepKindClosed}));
    EXPECT_EQ(dep.VisibleRecord(0).AsCurrency("Price"), TCurrency::FromDouble(12.5));
    EXPECT_EQ(dep.VisibleRecord(1).AsCurrency("Price"), TCurrency::FromDouble(7.25));
    EXPECT_TRUE(dep.VisibleRecord(2).IsNull("Price"));
    EXPECT_DOUBLE_EQ(bd.mtTax.VisibleRecord(0).AsFloat("Percent"), 18.5);
    ASSERT_EQ(bd.mtFooter.RecordCount(), 1);
    EXPECT_EQ(bd.mtFooter.VisibleRecord(0).AsInteger("Num"), 3);
    EXPECT_EQ(bd.mtFooter.VisibleRecord(0).AsString("Caption"), "третья снизу");
    EXPECT_EQ(bd.mtTitle.RecordCount(), 6);
    ASSERT_EQ(bd.mtCheckFont.RecordCount(), 1) << "a profile without a font row gets font 0";
    EXPECT_EQ(bd.mtCheckFont.AsString("TitleFont"), "0 (по умолчанию)");
    EXPECT_EQ(Ints(bd.mtOptions, "num"), std::vector<int>{3});

    // A master row without detail rows loads as empty tables and font 0.
    add(store.Profile, {{"NAME", "Пустой"}, {"SN", ""}, {"TYPEKKM", kVersion}, {"LN", "200"}});
    ShowProfile("Пустой", "-200");
    EXPECT_TRUE(bd.mtOptions.IsEmpty());
    EXPECT_TRUE(bd.mtDepatment.IsEmpty());
    EXPECT_TRUE(bd.mtTitle.IsEmpty());
    EXPECT_EQ(bd.mtCheckFont.RecordCount(), 1);
    EXPECT_EQ(Log().find("Error"), std::string::npos) << Log();
}

TEST_F(ProfileStoreTest, NamesWithApostrophesAreStoredAndFound) {
    FillRegisterProfile();
    const std::string name = "Кафе 'У Анны' и \"Ко\"";
    const std::string key = store.SaveProfile(name, "", kVersion);
    ASSERT_FALSE(key.empty()) << Log();
    std::vector<TStoredProfile> found;
    ASSERT_TRUE(store.Find({{"SN", ""}, {"TYPEKKM", kVersion}}, found));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Name, name);
    EXPECT_TRUE(found[0].IsTemplate());
    ASSERT_TRUE(store.FilterStore(name, "-" + key));
    EXPECT_EQ(store.FilteredKey(), key);
    ShowProfile(name, "-" + key);
    EXPECT_EQ(bd.mtOptions.RecordCount(), 32);
    EXPECT_EQ(store.SaveProfile(name, "", kVersion), key) << "saved again, the same profile";
    ASSERT_TRUE(store.FilterStore("Кафе", "-" + key));
    EXPECT_EQ(store.FilteredKey(), "-1");
}

TEST_F(ProfileStoreTest, TextsUseTheLocaleSeparator) {
    store.DecimalSeparator = ',';
    FillRegisterProfile();
    const std::string key = store.SaveProfile("Запятая", "", kVersion);
    EXPECT_EQ(Rows("Dept.dbf", "OLN", key, {"PRICE"}).front(), "12,5");
    EXPECT_EQ(Rows("Tax.dbf", "OLN", key, {"PERCENT"})[1], "12,5");
    ShowProfile("Запятая", "-" + key);
    EXPECT_EQ(bd.mtDepatment.VisibleRecord(0).AsCurrency("Price"), TCurrency::FromDouble(12.5));
    EXPECT_DOUBLE_EQ(bd.mtTax.VisibleRecord(1).AsFloat("Percent"), 12.5);
}

TEST_F(ProfileStoreTest, DeletingRemovesTheProfileFromStoreListAndWorkingTables) {
    FillRegisterProfile();
    const std::string keep = store.SaveProfile("Оставить", "", kVersion);
    const std::string key = store.SaveProfile("Удалить", "", kVersion);
    ShowProfile("Оставить", "-" + keep);
    ShowProfile("Удалить", "-" + key);
    ASSERT_EQ(bd.mtProfile.RecordCount(), 3);
    ASSERT_TRUE(store.DeleteProfile());
    EXPECT_EQ(bd.mtProfile.RecordCount(), 2);
    EXPECT_EQ(bd.mtProfile.AsString("Name"), "Оставить") << "the entry above becomes current";
    EXPECT_EQ(bd.mtOptions.RecordCount(), 32);
    for (TMemTable* t : bd.WorkingTables()) {
        t->SetFilter("LN", "-" + key);
        EXPECT_TRUE(t->IsEmpty()) << t->Name;
    }
    bd.FilterWorkingTables();
    EXPECT_EQ(LiveCount("Profile.dbf"), 1);
    for (const char* f : {"options.dbf", "Dept.dbf", "Tax.dbf", "check.dbf", "checkFont.dbf"}) {
        EXPECT_TRUE(Rows(f, "OLN", key, {"OLN"}).empty()) << f;
        EXPECT_FALSE(Rows(f, "OLN", keep, {"OLN"}).empty()) << f;
    }
    // The register profile cannot be deleted.
    bd.mtProfile.First();
    EXPECT_FALSE(store.DeleteProfile());
    EXPECT_EQ(bd.mtProfile.RecordCount(), 2);
    EXPECT_EQ(bd.mtOptions.RecordCount(), 32);
}

TEST_F(ProfileStoreTest, RowsCachedUnderAnotherEntryAreReloadedAfterASave) {
    FillRegisterProfile(32, 100);
    const std::string key = store.SaveProfile("Шаблон", "", kVersion);
    ShowProfile("Шаблон", "-" + key);
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("Value"), 101);
    // The register's rows change and are saved under the template's name.
    SetOptions(32, 10);
    bd.mtOptions.GoToRow(5);
    ASSERT_EQ(store.SaveProfile("Шаблон", "", kVersion), key);
    EXPECT_EQ(bd.mtOptions.CurrentRow(), 5) << "the user stays on the same option";
    bd.mtProfile.Last();
    EXPECT_EQ(bd.mtOptions.VisibleRecord(0).AsInteger("Value"), 11);
}

TEST_F(ProfileStoreTest, ATableThatCannotBeOpenedIsNamedAndTheStoreGoesOn) {
    std::filesystem::create_directories(Table("check.dbf"));  // a folder where the file should be
    FillRegisterProfile();
    EXPECT_FALSE(store.Open());
    EXPECT_NE(Log().find("check.dbf"), std::string::npos) << Log();
    EXPECT_NE(Log().find("Error:Не удалось открыть базу профилей"), std::string::npos) << Log();
    EXPECT_EQ(store.SaveProfile("Шаблон", "", kVersion), "");
    EXPECT_FALSE(FileExists(Table("Profile.dbf"))) << "nothing was stored";

    std::filesystem::remove(Table("check.dbf"));
    const std::string key = store.SaveProfile("Шаблон", "", kVersion);
    EXPECT_FALSE(key.empty()) << Log();
    EXPECT_EQ(Rows("check.dbf", "OLN", key, {"LINE"}).size(), 12u);
}

TEST_F(ProfileStoreTest, AFailedWriteKeepsEarlierRowsAndTheNextSaveWorks) {
    SetOptions(64, 0);
    FillRegisterProfile(64, 0);
    ASSERT_FALSE(store.SaveProfile("Первый", "", kVersion).empty());
    ASSERT_GT(FileBytes(Table("options.dbf")).size(), 2000u);
    std::string failed;
    {
        // options.dbf cannot take one more row.
        TFileSizeLimit limit(600);
        failed = store.SaveProfile("Второй", "", kVersion);
    }
    EXPECT_EQ(failed, "");
    EXPECT_NE(Log().find("Error:Не удалось записать профиль"), std::string::npos) << Log();
    EXPECT_NE(Log().find("options.dbf"), std::string::npos) << Log();
    EXPECT_EQ(LiveCount("Profile.dbf"), 1) << "a failed new profile leaves no master row without its rows";
    EXPECT_EQ(LiveCount("options.dbf"), 64) << "the first profile's rows are untouched";

    const std::string key = store.SaveProfile("Второй", "", kVersion);
    ASSERT_FALSE(key.empty()) << Log();
    EXPECT_EQ(LiveCount("Profile.dbf"), 2);
    EXPECT_EQ(Rows("options.dbf", "OLN", key, {"NUM"}).size(), 64u);
    ShowProfile("Второй", "-" + key);
    EXPECT_EQ(bd.mtOptions.RecordCount(), 64);
}
