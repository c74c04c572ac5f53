// The profile store: complete sets of register settings kept in six dBase
// tables in the folder bd of the working directory (the folder start-up
// creates), read into and written from the working tables of TBD.
//
// Profile.dbf has one row per stored profile (NAME, SN, TYPEKKM, LN = stored
// key); options.dbf, Dept.dbf, Tax.dbf, check.dbf and checkFont.dbf hold its
// rows under OLN = the stored key. A saved profile ("Сохраненная") carries
// the register's serial number; a template has an empty SN and the firmware
// version it was taken from. The working key of a saved profile is its stored
// key, that of a template "-" + the stored key.
//
// Every failure of a table (a file that cannot be opened or created, a write
// that fails) is shown as an error naming the file; the operation stops,
// rows written before it stay, and the store remains usable.
#pragma once
#include "profiles/DbfTable.h"

#include <string>
#include <vector>

class TBD;
class TKKMInfo;

constexpr const char* SavedProfileName = "Сохраненная";
constexpr const char* StoreFolderName = "bd";

// Department kinds as Dept.dbf stores them (the register's codes).
constexpr int StoredDepGoods = 161;
constexpr int StoredDepService = 162;
constexpr int StoredDepClosed = 163;
// NG of a department without a tax group (the code of a blank).
constexpr int StoredNoTaxGroup = 32;

// One row of Profile.dbf.
struct TStoredProfile {
    std::string Name;
    std::string SN;
    std::string TypeKKM;
    std::string LN;  // stored key
    bool IsTemplate() const { return SN.empty(); }
};

class TProfileStore {
public:
    // Sets bd.LoadProfile, so the profile change fills a profile's rows
    // from the store; the destructor takes it back.
    explicit TProfileStore(TBD& bd);
    ~TProfileStore();
    TProfileStore(const TProfileStore&) = delete;
    TProfileStore& operator=(const TProfileStore&) = delete;

    TBD& BD;
    // Folder of the tables; empty: bd in the working directory at Open.
    std::string Dir;
    // Separator of PRICE and PERCENT texts written from now on (reading
    // takes '.' and ',').
    char DecimalSeparator;

    // The six tables, open from Open on.
    TDbfTable Profile, Options, Dep, Tax, Check, CheckFont;

    // Opens the six tables, creating the folder and missing files. False,
    // with an error naming the file, when one cannot be opened; the tables
    // opened before stay open. Does nothing when all are open.
    bool Open();
    bool IsOpen() const;
    void Close();
    // The folder the tables are (or will be) in.
    std::string Folder() const;

    // Narrows Profile.dbf to NAME = name and LN = the working key without a
    // leading "-", and the five detail tables to OLN = its stored key (to no
    // rows when there is no such profile). False when a table failed.
    bool FilterStore(const std::string& name, const std::string& workingKey);
    // The stored key FilterStore found; "-1" for none.
    const std::string& FilteredKey() const { return filteredKey_; }

    // Stores the current profile's working rows under the name: the saved
    // profile with this name and serial number, or (sn empty) the template
    // with this name and version, is overwritten, else a new one is made with
    // a fresh key (the local time; the next free number when that key is
    // taken). Afterwards the store holds exactly these rows for it; a group
    // with no working rows keeps its stored rows. A template may not be
    // named "Сохраненная" (an error). Working rows cached for that profile
    // under another list entry are dropped, so they load afresh. The stored
    // key, or "" on failure.
    std::string SaveProfile(const std::string& name, const std::string& sn, const std::string& version);
    // Fills the current profile's working rows from the store; false for
    // the register profile, a profile without a name, or a failed table.
    bool LoadProfile();
    // Removes the current profile from the store, its working rows and its
    // list entry (never the register profile). False when a table failed.
    bool DeleteProfile();

    // Live Profile.dbf rows passing the conditions, in file order.
    bool Find(const std::vector<TDbfCondition>& conditions, std::vector<TStoredProfile>& out);
    // Marks the profile with this stored key and all its rows deleted.
    bool DeleteStored(const std::string& key);
    // Drops the working rows of one working key from every working table
    // (the current profile's rows stay as they are).
    void ForgetWorkingRows(const std::string& workingKey);

private:
    bool Failed(const TDbfTable& t, const char* what);
    bool EnsureOpen() { return IsOpen() || Open(); }
    // Open, and every table writable; else an error box naming the read-only table.
    bool EnsureWritable();
    std::string NewKey();
    bool SaveOptions(const std::string& key);
    bool SaveDepartments(const std::string& key);
    bool SaveTaxes(const std::string& key);
    bool SaveLines(const std::string& key);
    bool SaveFonts(const std::string& key);
    bool LoadOptions(const TKKMInfo* info);
    bool LoadDepartments();
    bool LoadTaxes();
    bool LoadLines();
    bool LoadFonts(const TKKMInfo* info);
    bool DeleteVisible(TDbfTable& t);

    std::string filteredKey_ = "-1";
};
