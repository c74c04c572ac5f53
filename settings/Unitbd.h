// The data module: the working tables of the settings page, the goods table,
// the option-value snapshots and the profile change that keeps the grids on
// one profile's rows.
//
// Every working row carries LN, the working key of its profile: "0" for the
// register profile, the stored key for a saved profile, "-" + stored key for
// a template. The working tables are filtered to the LN of the current
// mtProfile row; mtProfile and mtTOBAP are never filtered.
//
// Department kind: mtDepatment.Status is an Integer field holding the
// register's kind code, DepKindGoods 0xA1, DepKindService 0xA2 or
// DepKindClosed 0xA3 (the profile files store the same numbers 161..163).
// Grids show it through language strings 45 "Товар", 46 "Услуга",
// 47 "Закрыто" (DepKindText, the field's OnGetText) and a picked text comes
// back as a code (DepKindFromText, OnSetText), so loading another language
// between a read and a write leaves the kinds as they are.
#pragma once
#include "kkm/U_kkms.h"
#include "settings/MemTable.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TKKMInfo;


// 0xA1 and 0xA2 stay; every other code is a closed department.
std::int32_t NormalDepKind(std::int32_t code);
// Language string 45, 46 or 47 for the kind; "" for null (no kind yet).
std::string DepKindText(const TFieldValue& kind);
// The kind whose language string (in force now) equals the text, or the
// kind given as its decimal code 161..163; nullopt for any other text.
std::optional<std::int32_t> DepKindFromText(const std::string& text);

constexpr const char* RegisterProfileName = "Загруженая из ККМ";
constexpr const char* RegisterProfileKey = "0";
constexpr int SnapshotSize = 64;

class TBD {
public:
    // Defines the tables, wires their events and runs DataModuleCreate.
    TBD();
    TBD(const TBD&) = delete;
    TBD& operator=(const TBD&) = delete;

    TMemTable mtProfile{"mtProfile"};      // LN String(20), Name String(30)
    TMemTable mtDepatment{"mtDepatment"};  // Num, Status (kind code), Name(22), NG(1), Price (money), LN(20)
    // num, Value, Captions(180, calc), Diapazon(12, calc), CanNul, Min, Max, LN(20).
    // mtOptions.DisableControls()/EnableControls() is the mtOptions_ds switch:
    // the option views hear nothing meanwhile and one reset afterwards.
    TMemTable mtOptions{"mtOptions"};
    TMemTable mtTax{"mtTax"};              // Num, isDefined, Name(12), Type(12), Percent (float), LN(30)
    TMemTable mtTitle{"mtTitle"};          // Num, Caption(32), LN(20)
    TMemTable mtFooter{"mtFooter"};        // Num, Caption(32), LN(20)
    TMemTable mtCheckFont{"mtCheckFont"};  // TitleFont(50), footerFont(50), LN(20)
    TMemTable mtTOBAP{"mtTOBAP"};          // goods: Code, Type, Name(32), NG, Price, Section, Vesovoy, Shtrih(20), isBlock, Count

    // Option value snapshots for the difference marks; option n at index n - 1.
    std::array<std::uint8_t, SnapshotSize> KKMValues{};    // register profile's option rows
    std::array<std::uint8_t, SnapshotSize> SavedValues{};  // saved profile's option rows, last posted
    // A saved profile exists for the connected register (set by the profile
    // list build, never set back).
    bool HasSavedProfile = false;

    // The device image of the connected register, null before the first
    // command stored something; set by the front end. Calculated option
    // fields and defaults read it.
    const TKKMInfo* Info = nullptr;
    // Where the window finds the connected register's image (it appears with
    // the first read command); when set it wins over Info.
    std::function<const TKKMInfo*()> InfoSource;
    const TKKMInfo* DeviceImage() const { return InfoSource ? InfoSource() : Info; }

    // Fills the current profile's working rows from the profile store; the
    // profile change calls it when mtOptions shows no rows. Set by the store;
    // unset = nothing to load.
    std::function<bool()> LoadProfile;

    // Empties every table and builds the start-up rows: the register profile,
    // 16 closed departments, 32 options with value 0, 5 taxes of type "2",
    // 6 header and 6 footer lines, no font row; snapshots to zeros,
    // HasSavedProfile false.
    void DataModuleCreate();
    // Empties the current profile's department, line and tax groups that are
    // still exactly as DataModuleCreate built them (rows someone typed stay).
    void ClearStartUpRows();
    // Filters mtOptions, mtDepatment, mtCheckFont, mtTax, mtTitle, mtFooter
    // to the LN of the current mtProfile row.
    void FilterWorkingTables();
    // Deletes the visible rows (the current profile's rows) one by one.
    static void ClearRows(TMemTable& t);
    // Counts the visible rows by stepping from the first; leaves the cursor at the end.
    static int CountRows(TMemTable& t);

    // Snapshot entry of option n; 0 for n outside 1..64.
    static std::uint8_t SnapshotValue(const std::array<std::uint8_t, SnapshotSize>& s, int n);
    // The working tables in the order the profile operations visit them.
    std::vector<TMemTable*> WorkingTables();

    // Row events (wired by the constructor).
    void mtDepatmentAfterInsert(TMemTable& t);  // shared by every working table
    void mtDepatmentStatusChange(TMemTable& t);
    void mtOptionsAfterPost(TMemTable& t);
    void mtOptionsCalcFields(TRecordRef row);
    void mtProfileBeforeScroll(TMemTable& t);
    void mtProfileAfterScroll(TMemTable& t);  // the profile change
    void mtProfileAfterPost(TMemTable& t);

private:
    void DefineTables();
};
