// Whole user sessions on the real main window against two simulated registers
// (A: ver012, B: R1.025, different serial numbers) on two pseudo-terminals:
// numbered runs of about twenty random steps, and a scripted step list for
// each fault found between the parts of the program. After every step the
// invariants below are checked; a failing run prints its number and steps.
//
//  - the store changes only through a save or a delete, and then only that
//    profile's rows; a save stores exactly the rows it was given, a group
//    without rows keeps its stored rows, and a register's groups read in this
//    connection are stored as that register holds them;
//  - nothing of one register ever reaches the other or its stored profiles;
//  - a register changes only through a write, and then holds the rows sent;
//  - a failure shows an error; an exchange never takes a click that could
//    change the tables, the store or the port.
//
// VORNIK_SCENARIO_RUNS and VORNIK_SCENARIO_FIRST choose the numbered runs
// (tools/scenarios.sh).
#include "app/ConnectionPanel.h"
#include "app/Dialog.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "goods/GoodsExchange.h"
#include "goods/GoodsPage.h"
#include "profiles/DbfTable.h"
#include "profiles/ProfileActions.h"
#include "profiles/ProfileStore.h"
#include "profiles/ProfilesPanel.h"
#include "settings/SettingsPage.h"
#include "sim/RegisterSimulator.h"

#include "TestFiles.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace {

using TRows = std::vector<std::string>;
// Every field the program stores, numbers of rows included. Fonts are stored
// only (the register keeps them with its lines, which the window never writes).
enum TGroup { gOptions, gDeps, gLines, gTaxes, gFonts, kGroups };
const char* const kGroupNames[kGroups] = {"options", "deps", "lines", "taxes", "fonts"};

std::string Trim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}
std::string DepRow(long long kind, const std::string& name, const std::string& ng, long long kopecks) {
    if (kind != 0xA1 && kind != 0xA2) return "closed";
    // No tax group reads as "@" ("0" for a closed department): the register's 0.
    return std::to_string(kind) + "|" + Trim(name) + "|" + (ng == "0" || ng == "@" ? "" : ng) + "|" + std::to_string(kopecks);
}
std::string Letter(long long group) { return group >= 1 && group <= 5 ? std::string(1, char('A' + group - 1)) : ""; }
// An undefined tax keeps only its name: its type and rate mean nothing.
std::string TaxRow(long long num, bool defined, const std::string& name, long long type, long long hundredths) {
    return std::to_string(num) + (defined ? "|1|" : "|0|") + Trim(name) +
           (defined ? "|" + std::to_string(type) + "|" + std::to_string(hundredths) : "");
}
std::string Numbered(long long n, const std::string& row) { return std::to_string(n) + "|" + row; }
// A row's content without its number: what may not travel between registers.
std::string Content(const std::string& row) { return row.substr(row.find('|') + 1); }

// One group as comparable rows: from a register, the working tables, the store.
TRows RegisterRows(const TSimRegister& r, TGroup g) {
    TRows out;
    long long n = 0;
    if (g == gOptions)
        for (int v : r.Options) out.push_back(Numbered(++n, std::to_string(v)));
    if (g == gDeps)
        for (const TSimDepartment& d : r.Departments)
            out.push_back(Numbered(++n, DepRow(d.Kind, d.Name, Letter(d.TaxGroup), d.Price)));
    if (g == gLines) {
        for (const TSimReceiptLine& l : r.Header) out.push_back("H" + Numbered(++n, Trim(l.Text)));
        n = 0;
        for (const TSimReceiptLine& l : r.Footer) out.push_back("F" + Numbered(++n, Trim(l.Text)));
    }
    if (g == gTaxes)
        for (const TSimTax& t : r.Taxes) ++n, out.push_back(TaxRow(n, t.Defined, t.Name, t.Type, t.Hundredths));
    return out;
}

TRows WorkingRows(TBD& bd, TGroup g) {
    TRows out;
    auto each = [&out](TMemTable& t, auto row) {
        for (int i = 0; i < t.RecordCount(); ++i) out.push_back(row(t.VisibleRecord(i)));
    };
    if (g == gOptions)
        each(bd.mtOptions, [](TRecordRef r) { return Numbered(r.AsInteger("num"), std::to_string(r.AsInteger("Value"))); });
    if (g == gDeps)
        each(bd.mtDepatment, [](TRecordRef r) {
            return Numbered(r.AsInteger("Num"), DepRow(r.IsNull("Status") ? 0xA3 : r.AsInteger("Status"), r.AsString("Name"),
                                                       r.AsString("NG"), std::llround(r.AsCurrency("Price").ToDouble() * 100)));
        });
    if (g == gLines) {
        each(bd.mtTitle, [](TRecordRef r) { return "H" + Numbered(r.AsInteger("Num"), Trim(r.AsString("Caption"))); });
        each(bd.mtFooter, [](TRecordRef r) { return "F" + Numbered(r.AsInteger("Num"), Trim(r.AsString("Caption"))); });
    }
    if (g == gTaxes)
        each(bd.mtTax, [](TRecordRef r) {
            return TaxRow(r.AsInteger("Num"), r.AsBoolean("isDefined"), r.AsString("Name"), r.AsInteger("Type"),
                          std::llround(r.AsFloat("Percent") * 100));
        });
    if (g == gFonts) {
        // A profile with lines but no font row stores fonts 0 and 0.
        const auto number = [](const std::string& caption) {
            return caption.empty() || caption[0] < '0' || caption[0] > '9' ? 0 : caption[0] - '0';
        };
        each(bd.mtCheckFont, [&](TRecordRef r) {
            return std::to_string(number(r.AsString("TitleFont"))) + "|" + std::to_string(number(r.AsString("footerFont")));
        });
        if (out.size() > 1) out.resize(1);  // one row per profile: the current one
        if (out.empty() && !(bd.mtTitle.IsEmpty() && bd.mtFooter.IsEmpty())) out.push_back("0|0");
    }
    return out;
}

// The store as "P|key" -> master row and "key/group" -> rows, read from the files.
using TStore = std::map<std::string, std::string>;
TStore ReadStore(const std::string& bd) {
    TStore s;
    TDbfTable t;
    // The program's own warnings are what its log is checked for.
    const std::string log = LogFileName();
    SetLogFileName(bd + "-check.log");
    auto scan = [&](const char* file, auto row) {
        if (!t.OpenExisting(bd + "/" + file, true)) return;
        for (; !t.Eof(); t.Next()) row();
        t.Close();
    };
    auto add = [&](TGroup g, const std::string& row) { s[t.GetText("OLN") + "/" + kGroupNames[g]] += row + "\n"; };
    scan("Profile.dbf", [&] { s["P|" + t.GetText("LN")] = t.GetText("NAME") + "|" + t.GetText("SN") + "|" + t.GetText("TYPEKKM"); });
    const auto number = [&t](const char* field) {
        std::string text = t.GetText(field);
        std::replace(text.begin(), text.end(), ',', '.');
        return std::llround(std::atof(text.c_str()) * 100);
    };
    const auto integer = [&t](const char* field) { return t.GetInteger(field).value_or(-1); };
    scan("options.dbf", [&] { add(gOptions, Numbered(integer("NUM"), std::to_string(integer("VAL")))); });
    scan("Dept.dbf", [&] {
        const long long ng = t.GetInteger("NG").value_or(32);
        add(gDeps, Numbered(integer("SEC"), DepRow(integer("STATUS"), t.GetText("NAME"),
                                                   ng > 32 ? std::string(1, char(ng)) : "", number("PRICE"))));
    });
    scan("check.dbf", [&] {
        const long long line = integer("LINE");
        add(gLines, (line <= 6 ? "H" + Numbered(line, "") : "F" + Numbered(line - 6, "")) + Trim(t.GetText("NAME")));
    });
    scan("Tax.dbf", [&] {
        add(gTaxes, TaxRow(integer("NUM"), t.GetBool("ISDEFINED").value_or(false), t.GetText("NAME"),
                           std::atoll(t.GetText("TYPE").c_str()), number("PERCENT")));
    });
    scan("checkFont.dbf", [&] { add(gFonts, std::to_string(integer("TITLEFONT")) + "|" + std::to_string(integer("FOOTERFONT"))); });
    // No font row reads as fonts 0 and 0.
    for (const auto& [k, v] : TStore(s))
        if (k.rfind("P|", 0) == 0 && !s.count(k.substr(2) + "/fonts")) s[k.substr(2) + "/fonts"] = "0|0\n";
    SetLogFileName(log);
    return s;
}
std::string Joined(const TRows& rows) {
    std::string s;
    for (const std::string& r : rows) s += r + "\n";
    return s;
}

// Boxes are recorded, questions answered as the step says.
struct TRecordingDialogs : IDialogService {
    std::vector<std::string> Boxes;  // a failure may be told in an information box ("опции не записались")
    int Questions = 0;
    int Answer = mrYes;
    void ShowBox(TBoxKind, const std::string& text) override { Boxes.push_back(text); }
    int ShowQuery(TQueryKind, const std::string&) override { return ++Questions, Answer; }
};

TSimState RegisterB() {
    TSimState s;
    s.Identity = {"ВОРНИК-02Ф", "000000777777", "R1.025", 1};
    TSimRegister& r = s.Register;
    r.Options = {0, 1, 0, 1, 30, 0, 0, 1, 3, 3, 1, 7, 3, 4, 1, 3, 6, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 10, 0, 0, 0};
    r.Departments.clear();
    for (int i = 1; i <= 16; ++i)
        r.Departments.push_back({std::uint8_t(i % 5 ? 0xA1 : 0xA2), "Отдел Б" + std::to_string(i), std::uint8_t(1 + i % 3), i * 100LL});
    for (int i = 0; i < 6; ++i) r.Header[i] = {1, "Шапка Б" + std::to_string(i + 1)}, r.Footer[i] = {1, "Низ Б" + std::to_string(i + 1)};
    r.Taxes[0] = {true, 0, 2000, "Налог Б1"};
    r.Taxes[2] = {true, 1, 500, "Налог Б3"};
    return s;
}

// A step that hangs would wait for ctest's time-out and say nothing of the
// run: past kStepSeconds the run and its steps are printed and the program
// ends with a failure (the hung step cannot be left from another thread).
class TStepWatchdog {
public:
    static constexpr int kStepSeconds = 90;
    TStepWatchdog() : thread_([this] { Watch(); }) {}
    ~TStepWatchdog() {
        {
            std::lock_guard<std::mutex> l(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void Arm(std::string report) {
        std::lock_guard<std::mutex> l(m_);
        report_ = std::move(report);
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(kStepSeconds);
        cv_.notify_all();
    }
    void Disarm() {
        std::lock_guard<std::mutex> l(m_);
        report_.clear();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> l(m_);
        while (!stop_) {
            if (report_.empty()) {
                cv_.wait(l);
            } else if (cv_.wait_until(l, deadline_) == std::cv_status::timeout && !report_.empty() &&
                       std::chrono::steady_clock::now() >= deadline_) {
                std::fprintf(stderr, "%s", report_.c_str());
                std::fflush(nullptr);
                std::_Exit(3);
            }
        }
    }
    std::mutex m_;
    std::condition_variable cv_;
    std::string report_;
    std::chrono::steady_clock::time_point deadline_;
    bool stop_ = false;
    std::thread thread_;
};

// What a step is checked against.
struct TStep {
    std::string Verb, What;
    TStore StoreBefore;
    TSimRegister Before[2];
    std::string Key;        // working key of the current profile
    TRows Given[kGroups];   // its working rows, as a save or write takes them
    bool WasEdited = false, WasConnected = false, Ok = true;
    std::string SavedName, SavedSn, SavedVersion;  // the profile a save may change
    std::set<std::string> MayChange;               // stored keys the step may change
    std::string Deleted;                           // stored key of a delete reported as done
    bool Loaded = false;                           // every group read: the exit question is asked
    std::size_t NewBoxes = 0;                      // error boxes the step showed
};

class TSession {
public:
    explicit TSession(std::string title) : title_(std::move(title)) {
        for (int i = 0; i < 2; ++i) {
            TSimOptions o;
            o.Speed = 0;
            sims_[i] = std::make_unique<TRegisterSimulator>(o);
            std::string error;
            EXPECT_TRUE(sims_[i]->Start(error)) << error;
        }
        sims_[1]->SetState(RegisterB());
        std::set<std::string> rows[2];
        for (int i = 0; i < 2; ++i) {
            const TSimState s = sims_[i]->State();
            serial_[i] = s.Identity.SerialNumber;
            version_[i] = s.Identity.Version;
            for (int g = gDeps; g < kGroups; ++g)
                for (const std::string& row : RegisterRows(s.Register, TGroup(g))) rows[i].insert(row);
        }
        // Rows only one register holds (not the empty lines, closed departments, undefined taxes).
        for (int i = 0; i < 2; ++i)
            for (const std::string& row : rows[i])
                if (!rows[1 - i].count(row) && Content(row) != "closed" && Content(row).size() > 2) own_[i].insert(row);
        Open();
    }
    ~TSession() {
        if (w_) w_->FormClose();
        w_.reset();
        SetDialogService(nullptr);
        ResetSwitches();
        SetLogFileName("");
    }

    // Runs the steps; false with the run's title and steps printed at the first broken invariant.
    bool Run(const std::vector<std::string>& steps) {
        for (const std::string& step : steps) {
            done_.push_back(step);
            watchdog_.Arm(Report("hung for " + std::to_string(TStepWatchdog::kStepSeconds) + " s", steps));
            Do(step);
            watchdog_.Disarm();
            if (std::getenv("VORNIK_SCENARIO_TRACE"))  // replaying a run: each step and what the register holds
                std::printf("%s: %s -> %s\n%s", title_.c_str(), step.c_str(), failure_.empty() ? "ok" : failure_.c_str(),
                            connected_ < 0 ? "" : Joined(RegisterRows(sims_[connected_]->State().Register, gDeps)).c_str());
            if (!failure_.empty()) {
                ADD_FAILURE() << Report(failure_, done_);
                return false;
            }
        }
        return true;
    }

    TfmMain& Window() const { return *w_; }
    std::string Log() const { return ReadCp1251(dir_.File("vornik-config.log")); }
    std::string Bd() const { return dir_.File("bd"); }

private:
    std::string Report(const std::string& why, const std::vector<std::string>& steps) const {
        std::ostringstream out;
        out << title_ << " failed at step " << done_.size() << " (" << why << "); steps:\n";
        for (const std::string& s : steps) out << "  " << s << "\n";
        return out.str();
    }
    TProfilesPanel& Panel() const { return *w_->ProfilesPanel(); }
    TSettingsPage& Page() const { return *w_->SettingsPage(); }
    TBD& BD() const { return *w_->BD; }
    void Fail(const std::string& why) {
        if (failure_.empty()) failure_ = why;
    }

    void Open() {
        ResetSwitches();
        SetLogFileName(dir_.File("vornik-config.log"));
        w_ = std::make_unique<TfmMain>();
        w_->FormCreate();
        SetDialogService(&dialogs_);
        w_->Session.Protocol.PausePercent = 0;  // the simulators answer at once
        w_->Session.KKM.NetNumber = 1;
        w_->Session.ComPort.SetDevicePath(sims_[port_]->DevicePath());  // the port the last window used
        Panel().Actions().InputQuery = [this](const std::string&, const std::string&, const std::string&) {
            return std::optional<std::string>(templateName_);
        };
        connected_ = -1;
        readNow_.fill(false);
        edited_.clear();
    }

    // What an impatient user does while an exchange runs: picks another
    // profile and presses the connect button. Both must be locked.
    void ClickDuringExchange() {
        QTimer::singleShot(0, w_.get(), [this] {
            if (!inStep_) return;
            const int before = BD().mtProfile.RecNo();
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent e(type, before == 1 ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
                QApplication::sendEvent(Panel().List(), &e);
            }
            w_->ConnectionPanel()->bConnect->click();
            if (Page().isEnabled() || Page().DBGridEhDep->isEnabled() || w_->ConnectionPanel()->isEnabled())
                Fail("the window is not locked during an exchange");
            if (BD().mtProfile.RecNo() != before) Fail("a profile was chosen during an exchange");
        });
    }

    bool Connect(int i) {
        if (w_->Session.IsConnected()) w_->Connect();
        port_ = i;
        w_->Session.ComPort.SetDevicePath(sims_[i]->DevicePath());
        ClickDuringExchange();
        const bool ok = w_->Connect();
        connected_ = ok ? i : -1;
        readNow_.fill(false);
        readNow_[gOptions] = ok;
        return ok;
    }

    // The model follows a connect made by a step itself (a page action
    // connects when the port is closed).
    void FollowConnection(bool wasConnected) {
        if (w_->Session.IsConnected() && !wasConnected) {
            connected_ = port_;
            readNow_.fill(false);
            readNow_[gOptions] = true;
        }
        if (!w_->Session.IsConnected()) connected_ = -1;
    }

    bool Read(const std::string& what) {
        TSettingsActions& a = Page().Actions;
        ClickDuringExchange();
        const bool was = w_->Session.IsConnected();
        bool ok = what == "options" ? a.bLoadOptionsClick()
                  : what == "deps"  ? a.bDepLoadFromKKMClick()
                  : what == "lines" ? a.bLoadTitleClick()
                  : what == "taxes" ? a.bLoadTaxClick()
                                    : a.bLoadAllOptionsClick();
        FollowConnection(was);
        for (int g = 0; g < gFonts; ++g)
            if (ok && (what == "all" || what == kGroupNames[g])) readNow_[g] = connected_ >= 0 && port_ == connected_;
        return ok;
    }

    bool Write(const std::string& what) {
        TSettingsActions& a = Page().Actions;
        ClickDuringExchange();
        return what == "options" ? a.bSaveOptionsClick()
               : what == "deps"  ? a.bSaveDepToKKMClick()
               : what == "lines" ? a.bSaveToKKMClick()
                                 : a.bSaveAllOptionsClick();
    }

    // "option N value", "dep N column text" (1 kind, 2 name, 3 tax group,
    // 4 price), "line N text" (1-6 header, 7-12 footer); N 0 is the last row.
    bool Edit(const std::string& what, int row, int column, const std::string& text) {
        QTableView* grid = what == "option" ? Page().DBGridEhOptions : what == "dep" ? Page().DBGridEhDep
                           : row > KKMLineCount                      ? Page().DBGridEhFooter
                                                                      : Page().DBGridEhTitle;
        if (what == "line" && row > KKMLineCount) row -= KKMLineCount;
        QAbstractItemModel* m = grid->model();
        if (row == 0) row = m->rowCount();
        if (row < 1 || row > m->rowCount()) return false;
        const QString old = m->index(row - 1, column).data(Qt::EditRole).toString();
        const bool ok = m->setData(m->index(row - 1, column), Q(text), Qt::EditRole);
        const bool inRange = what != "option" || (text.find_first_not_of("0123456789") == std::string::npos && std::atoi(text.c_str()) <= 255);
        if (ok != inRange) Fail("an edit of " + what + " to " + text + (ok ? " was taken" : " was refused"));
        if (!ok && m->index(row - 1, column).data(Qt::EditRole).toString() != old) Fail("a refused edit changed the cell");
        const std::string key = BD().mtProfile.AsString("LN");
        if (ok) edited_.insert(key);
        if (ok && key == RegisterProfileKey) readNow_[what == "option" ? gOptions : what == "dep" ? gDeps : gLines] = false;
        return ok;
    }

    void Do(const std::string& step) {
        std::istringstream in(step);
        std::string verb, what, text;
        int n = 0;
        in >> verb >> what;
        TSettingsActions& a = Page().Actions;
        const bool loaded = a.OptionsLoaded && a.DepsLoaded && a.TitleLoaded && a.TaxLoaded;
        if (step == "close yes") BD().mtProfile.First();  // the exit question stores the register profile
        TStep t;
        t.Verb = verb, t.What = what;
        t.StoreBefore = ReadStore(Bd());
        for (int i = 0; i < 2; ++i) t.Before[i] = sims_[i]->State().Register;
        t.Key = BD().mtProfile.AsString("LN");
        for (int g = 0; g < kGroups; ++g) t.Given[g] = WorkingRows(BD(), TGroup(g));
        t.WasEdited = edited_.count(t.Key) > 0;
        t.WasConnected = w_->Session.IsConnected();
        const TKKMInfo* info = w_->Session.Info();
        const std::size_t errors = dialogs_.Boxes.size();
        bool reports = true;  // a false result must come with an error box
        inStep_ = true;
        if (verb == "connect") {
            t.Ok = Connect(what == "B");
        } else if (verb == "disconnect") {
            if (w_->Session.IsConnected()) w_->Connect();
            reports = false;
        } else if (verb == "read") {
            t.Ok = Read(what);
        } else if (verb == "write") {
            t.Ok = Write(what);
        } else if (verb == "select" || verb == "delete") {
            n = std::atoi(what.c_str());
            Panel().List()->setCurrentIndex(Panel().List()->model()->index(n - 1, 0));
            const std::string gone = BD().mtProfile.AsString("LN");
            if (verb == "delete" && Panel().Actions().bDelPropKKMtoBDClick())
                t.MayChange.insert(t.Deleted = gone.substr(gone.rfind('-') + 1));
            // A stored profile shows what was loaded from the store, unless edited since.
            for (int g = 0; g < kGroups && verb == "select" && gone != RegisterProfileKey && !edited_.count(gone); ++g) {
                const std::string at = gone.substr(gone.rfind('-') + 1) + "/" + kGroupNames[g];
                if (t.StoreBefore.count(at) && t.StoreBefore.at(at) != Joined(WorkingRows(BD(), TGroup(g))))
                    Fail(std::string("a stored profile shows other ") + kGroupNames[g] + " than were stored");
            }
            reports = false;
        } else if (verb == "edit") {
            int column = 1;
            in >> n;
            if (what == "dep") in >> column;
            std::getline(in >> std::ws, text);
            Edit(what, n, column, text);
            reports = false;
        } else if (verb == "save") {
            t.Ok = Panel().Actions().bSavePropKKMtoBDClick();  // connects first when the port is closed
            t.SavedName = SavedProfileName, t.SavedSn = w_->Session.Info() ? w_->Session.Info()->SerialNumber : "?";
        } else if (verb == "template") {
            templateName_ = step.substr(step.find(' ') + 1);
            t.SavedName = templateName_, t.SavedVersion = info ? info->Version : "?";
            t.Ok = Panel().Actions().bSavePropKKMtoBDasShablonClick();
        } else if (verb == "close") {
            dialogs_.Answer = what == "yes" ? mrYes : mrNo;
            const int asked = dialogs_.Questions;
            t.Ok = w_->close();  // Yes saves, connecting first when the port is closed
            if (loaded && what == "yes") t.SavedName = SavedProfileName, t.SavedSn = w_->Session.Info()->SerialNumber;
            if (loaded != (dialogs_.Questions > asked)) Fail("the exit question was asked wrongly");
            if (!t.Ok && dialogs_.Boxes.size() == errors) Fail("the close was refused without a word");
        } else if (verb == "fault") {
            sims_[port_]->PrepareAnswer({0x01, 0x00, 0x03});  // the next request is refused
            reports = false;
        } else {
            Fail("unknown step");
        }
        inStep_ = false;
        QApplication::processEvents();
        t.Loaded = loaded;
        t.NewBoxes = dialogs_.Boxes.size() - errors;
        if (reports && !t.Ok && dialogs_.Boxes.size() == errors) Fail("a failure without an error box");
        if (verb != "connect" && verb != "read" && verb != "close") FollowConnection(t.WasConnected);
        Check(t);
        if (verb == "close" && t.Ok) w_->FormClose(), w_.reset(), Open();
    }

    void Check(TStep& t) {
        const TStore& was = t.StoreBefore;
        const TStore now = ReadStore(Bd());
        // The profile a save stores under: by name and serial number, or by name and version.
        std::string savedKey;
        for (const auto& [k, v] : now)
            if (!t.SavedName.empty() && k.rfind("P|", 0) == 0 &&
                (t.SavedSn.empty() ? v == t.SavedName + "||" + t.SavedVersion : v.rfind(t.SavedName + "|" + t.SavedSn + "|", 0) == 0))
                savedKey = k.substr(2);
        if (!savedKey.empty()) t.MayChange.insert(savedKey);
        if (t.Verb == "close" && t.Ok && !t.SavedName.empty() && savedKey.empty()) Fail("closed though nothing was saved");
        // An older saved profile may hold the same rows: the save of this
        // close must have reported no failure.
        if (t.Verb == "close" && t.What == "yes" && t.Ok && t.Loaded && t.NewBoxes > 0)
            Fail("closed after a failed save: " + dialogs_.Boxes.back());
        if (!t.Deleted.empty() && now.count("P|" + t.Deleted)) Fail("deleted profile " + t.Deleted + " is still listed in the store");
        for (const auto& [k, v] : now)
            if (!t.Deleted.empty() && k.rfind(t.Deleted + "/", 0) == 0) Fail("deleted profile " + t.Deleted + " still has its " + k);
        // A read shows the register profile as the register holds it.
        for (int g = 0; g < gFonts && t.Verb == "read" && t.Ok && connected_ >= 0; ++g)
            if ((t.What == "all" || t.What == kGroupNames[g]) &&
                WorkingRows(BD(), TGroup(g)) != RegisterRows(sims_[connected_]->State().Register, TGroup(g)))
                Fail(std::string("the read ") + kGroupNames[g] + " are not the register's: " +
                     Joined(WorkingRows(BD(), TGroup(g))));
        std::set<std::string> changed;
        for (const TStore* s : {&was, &now}) {
            const TStore& other = s == &was ? now : was;
            for (const auto& [k, v] : *s)
                if (!other.count(k) || other.at(k) != v) changed.insert(k.rfind("P|", 0) == 0 ? k.substr(2) : k.substr(0, k.find('/')));
        }
        for (const std::string& k : changed)
            if (!t.MayChange.count(k)) Fail("stored profile " + k + " changed by " + t.Verb);
        if (!savedKey.empty() && t.Ok && t.WasConnected) {
            const bool existed = was.count("P|" + savedKey) > 0;
            const bool same = t.Key == savedKey || t.Key == "-" + savedKey;
            if (same) edited_.erase(t.Key);  // stored as shown now
            for (int g = 0; g < kGroups; ++g) {
                const std::string at = savedKey + "/" + kGroupNames[g];
                const std::string stored = now.count(at) ? now.at(at) : "";
                const std::string old = was.count(at) ? was.at(at) : g == gFonts ? "0|0\n" : "";
                if (t.Given[g].empty() ? stored != old : stored != Joined(t.Given[g]))
                    Fail(std::string("the save stored other ") + kGroupNames[g] + " than it was given");
                if (existed && same && !t.WasEdited && stored != old)
                    Fail(std::string("saving an unchanged profile changed its ") + kGroupNames[g] + ": " + old + " -> " + stored);
                if (t.Key == RegisterProfileKey && readNow_[g] && connected_ >= 0 &&
                    t.Given[g] != RegisterRows(sims_[connected_]->State().Register, TGroup(g)))
                    Fail(std::string("the register profile's ") + kGroupNames[g] + " are not the register's");
            }
        }
        // Nothing of one register in the other or in the other's stored profiles.
        for (int i = 0; i < 2; ++i) {
            const TSimRegister r = sims_[i]->State().Register;
            for (int g = gDeps; g < kGroups; ++g)
                for (const std::string& row : RegisterRows(r, TGroup(g)))
                    if (own_[1 - i].count(row)) Fail("register " + serial_[i] + " holds " + row);
            for (const auto& [k, v] : now) {
                if (k.rfind("P|", 0) != 0) continue;
                const bool mine = v.find("|" + serial_[i] + "|") != std::string::npos ||
                                  (v.size() > version_[i].size() + 2 && v.substr(v.size() - version_[i].size() - 2) == "||" + version_[i]);
                if (!mine) continue;
                for (int g = gDeps; g < kGroups; ++g) {
                    std::istringstream rows(now.count(k.substr(2) + "/" + kGroupNames[g]) ? now.at(k.substr(2) + "/" + kGroupNames[g]) : "");
                    for (std::string row; std::getline(rows, row);)
                        if (own_[1 - i].count(row)) Fail("stored profile " + v + " holds " + row);
                }
            }
            // The register profile, while register i is connected, holds nothing only the other has.
            if (i == connected_ && BD().mtProfile.AsString("LN") == RegisterProfileKey)
                for (int g = gDeps; g < kGroups; ++g)
                    for (const std::string& row : WorkingRows(BD(), TGroup(g)))
                        if (own_[1 - i].count(row)) Fail("the register profile of " + serial_[i] + " holds " + row);
            // A register changes only through a write to it, and holds what was sent.
            const bool written = t.Verb == "write" && i == connected_;
            for (int g = 0; g < kGroups; ++g) {
                const TRows old = RegisterRows(t.Before[i], TGroup(g)), cur = RegisterRows(r, TGroup(g));
                const bool target = written && (t.What == "all" ? g != gTaxes : t.What == kGroupNames[g]);
                if (!target && old != cur) Fail("register " + serial_[i] + " changed its " + kGroupNames[g] + " by " + t.Verb);
                if (target) readNow_[g] = false;  // the register holds something else now
                if (target && t.Ok && t.WasConnected)  // a connect first would refresh the option rows
                    for (std::size_t j = 0; j < std::min(cur.size(), t.Given[g].size()); ++j)
                        if (cur[j] != t.Given[g][j])
                            Fail("register " + serial_[i] + " holds " + cur[j] + " where " + t.Given[g][j] + " was written at " + std::to_string(j) + " sent " + Joined(t.Given[g]) + " key " + t.Key + " was " + Joined(old));
            }
        }
    }

    std::string title_;
    TScratchDir dir_{true};
    std::unique_ptr<TRegisterSimulator> sims_[2];
    std::string serial_[2], version_[2];
    std::set<std::string> own_[2];  // rows only this register holds
    std::unique_ptr<TfmMain> w_;
    TRecordingDialogs dialogs_;
    std::string templateName_;
    int port_ = 0, connected_ = -1;
    std::array<bool, kGroups> readNow_{};  // read from the connected register, not edited since
    std::set<std::string> edited_;         // working keys with unsaved edits
    std::vector<std::string> done_;
    std::string failure_;
    bool inStep_ = false;
    TStepWatchdog watchdog_;
};

// A numbered run: about twenty steps drawn from what a user does. Every draw
// is a statement of its own: the order in which the operands of one
// expression are evaluated is the compiler's, and a run number must replay
// the same steps whatever compiler built the test.
class TStepDraw {
public:
    explicit TStepDraw(unsigned runNumber) : draw_(runNumber) {}
    unsigned UpTo(unsigned n) { return 1 + draw_() % n; }
    std::string Pick(std::initializer_list<const char*> from) { return from.begin()[draw_() % from.size()]; }

    // An edit that may reach any row and any column the user can type in;
    // the last department and the last lines, which a write sends last, as
    // often as a quarter of the time.
    std::string Edit(std::string what) {
        if (what == "any" || what == "all") what = Pick({"options", "deps", "lines"});
        const bool last = UpTo(4) == 1;
        if (what == "options") {
            const unsigned row = last ? 0 : UpTo(40);
            const unsigned value = UpTo(300) - 1;
            return "edit option " + std::to_string(row) + " " + std::to_string(value);
        }
        if (what == "deps") {
            // A closed department shows nothing else: the last one is opened half the time.
            const unsigned row = last ? 0 : UpTo(16), column = last && UpTo(2) == 1 ? 1 : UpTo(4), n = UpTo(999);
            const std::string text = column == 1   ? Pick({"161", "162", "161", "162", "163"})
                                     : column == 2 ? "Правка " + std::to_string(n)
                                     : column == 3 ? Pick({"A", "B", "C", "D", "E"})
                                                   : std::to_string(n);
            return "edit dep " + std::to_string(row) + " " + std::to_string(column) + " " + text;
        }
        const unsigned row = last ? Pick({"6", "12"}) == "6" ? 6 : 12 : UpTo(2 * KKMLineCount), n = UpTo(99);
        return "edit line " + std::to_string(row) + " Правка " + std::to_string(n);
    }

    std::vector<std::string> Steps() {
        std::vector<std::string> steps = {Pick({"connect A", "connect B"})};
        const unsigned count = 15 + UpTo(9);
        while (steps.size() < count) {
            const unsigned kind = UpTo(20) - 1;
            if (kind < 3) {
                steps.push_back(Pick({"connect A", "connect B", "connect A", "connect B", "disconnect"}));
            } else if (kind < 7) {
                steps.push_back("read " + Pick({"options", "deps", "lines", "taxes", "all", "all"}));
            } else if (kind < 9) {
                // A write usually changes the register: read, a few edits, write.
                const std::string what = Pick({"options", "deps", "deps", "lines", "all"});
                if (UpTo(3) > 1) steps.push_back("read " + what);
                for (unsigned e = UpTo(3); e > 0; --e) steps.push_back(Edit(what));
                steps.push_back("write " + what);
            } else if (kind < 11) {
                if (UpTo(3) == 1) {  // the saved profile looked at again after the register is read
                    const std::string read = "read " + Pick({"deps", "all"});
                    for (const char* s : {"read all", "save", "select 2", read.c_str(), "select 2"}) steps.push_back(s);
                } else {
                    steps.push_back("select " + std::to_string(UpTo(3)));
                }
            } else if (kind < 13) {
                steps.push_back(Edit("any"));
            } else if (kind < 15) {
                if (UpTo(2) == 1) steps.push_back("read all");  // what is saved is usually read first
                steps.push_back(Pick({"save", "save", "template Т1", "template Т1", "template Т2", "template Сохраненная"}));
                if (UpTo(4) == 1) {  // the same name on the other model
                    const auto connect = std::find_if(steps.rbegin(), steps.rend(),
                                                      [](const std::string& s) { return s.rfind("connect ", 0) == 0; });
                    const std::string saved = steps.back();
                    steps.push_back(*connect == "connect A" ? "connect B" : "connect A");
                    steps.push_back(saved);
                }
            } else if (kind < 16) {
                steps.push_back("delete " + std::to_string(1 + UpTo(2)));
            } else if (kind < 18) {
                steps.push_back("fault");
            } else if (UpTo(3) == 1) {
                // Yes at the exit question while the register does not answer.
                for (const char* s : {"read all", "disconnect", "fault", "close yes"}) steps.push_back(s);
            } else {
                steps.push_back(Pick({"close yes", "close no"}));
            }
        }
        return steps;
    }

private:
    std::mt19937 draw_;
};

std::vector<std::string> DrawSteps(unsigned runNumber) { return TStepDraw(runNumber).Steps(); }

// A number from the environment; 0 for a value that is not a positive number.
unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* v = std::getenv(name);
    if (!v) return fallback;
    const std::string s = v;
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return 0;
    return unsigned(std::stoul(s));
}

TEST(SessionScenario, NumberedRuns) {
    const unsigned first = EnvNumber("VORNIK_SCENARIO_FIRST", 1), runs = EnvNumber("VORNIK_SCENARIO_RUNS", 200);
    ASSERT_GT(first, 0u) << "VORNIK_SCENARIO_FIRST must be a run number";
    ASSERT_GT(runs, 0u) << "VORNIK_SCENARIO_RUNS must be a number of runs, at least 1";
    // Stops at the first failing run, unless every run is to be counted
    // (tools/mutants.sh: how many runs see a fault).
    const bool keepGoing = std::getenv("VORNIK_SCENARIO_KEEP_GOING") != nullptr;
    unsigned played = 0, failed = 0;
    for (unsigned n = first; n < first + runs; ++n) {
        TSession s("run number " + std::to_string(n));
        ++played;
        if (!s.Run(DrawSteps(n)) && (++failed, !keepGoing)) break;
    }
    std::printf("session runs failed: %u of %u played (run numbers %u..%u)\n", failed, played, first,
                first + runs - 1);
}

// The faults found between the parts, each as the steps that showed it.
struct TScriptedCase {
    const char* Name;
    std::vector<std::string> Steps;
};
const std::vector<TScriptedCase> kCases = {
    {"1 a register's settings saved under another's serial number",
     {"connect A", "read all", "disconnect", "connect B", "close yes", "connect B", "read deps", "save"}},
    {"2 a read followed by a save deletes a stored profile's departments",
     {"connect A", "read all", "save", "select 2", "select 1", "read deps", "select 2", "save", "template Т1",
      "select 3", "select 1", "read all", "select 3", "template Т1"}},
    {"3 Yes at the exit question closes the window when the save failed",
     {"connect A", "read all", "disconnect", "fault", "close yes", "close no"}},
    {"4 a template overwrites another version's template of the same name",
     {"connect A", "read all", "template Т1", "connect B", "read all", "template Т1", "template Сохраненная", "save"}},
    {"5 a template before any connection", {"template Т1", "connect A", "template Т1"}},
    {"7 clicks during exchanges", {"connect A", "save", "read deps", "read all", "write all", "connect B", "read lines"}},
    {"8 the options list view takes any integer", {"connect A", "edit option 1 300", "edit option 2 255", "write options"}},
};

TEST(SessionScenario, ScriptedFaults) {
    for (const TScriptedCase& c : kCases) {
        TSession s(std::string("case ") + c.Name);
        s.Run(c.Steps);
    }
}

// The start-up rows (16 closed departments, blank lines, undefined taxes)
// were still the register profile's after the first connect: a save right
// after it stored them over the register's saved profile.
TEST(SessionScenario, ASaveRightAfterTheFirstConnectKeepsTheSavedGroups) {
    TSession s("case 9 a save right after the first connect");
    ASSERT_TRUE(s.Run({"connect A", "read all", "save", "close no"}));
    const TStore saved = ReadStore(s.Bd());
    ASSERT_TRUE(s.Run({"connect A", "save"}));
    EXPECT_EQ(ReadStore(s.Bd()), saved);
    // Departments typed before the first connect are the user's, not start-up rows.
    ASSERT_TRUE(s.Run({"close no", "edit dep 3 2 Набрано", "connect A"}));
    TMemTable& deps = s.Window().BD->mtDepatment;
    ASSERT_EQ(deps.RecordCount(), 16);
    EXPECT_EQ(deps.VisibleRecord(2).AsString("Name"), "Набрано");
}

// Fault 6: a store table and a goods file with bytes after their last whole
// record are read up to it, with a warning naming the file; the store's
// table is clean after its next write, the goods file is never changed.
TEST(SessionScenario, TablesWithACutTail) {
    TScratchDir goods;
    const std::string file = goods.File("goods.dbf");
    {
        TDbfTable t;
        ASSERT_TRUE(t.Open(file, GoodsFileFields()));
        for (int code = 1; code <= 18; ++code)
            ASSERT_TRUE(t.Append() && t.SetInteger("CODE", code) && t.SetInteger("TYPE", 170) && t.SetText("NAME", "Товар") && t.Post());
        ASSERT_TRUE(t.Close());
    }
    std::string bytes = ReadBytes(file);
    bytes.resize(bytes.size() - 1 - 60);  // cut inside record 18
    WriteBytes(file, bytes);
    TSession s("case 6 tables with bytes after their last whole record");
    ASSERT_TRUE(s.Run({"connect A", "read all", "save"}));
    const std::string dept = s.Bd() + "/Dept.dbf";
    WriteBytes(dept, ReadBytes(dept).substr(0, ReadBytes(dept).size() - 1) + std::string(1, '\0') + "x");
    ASSERT_TRUE(s.Run({"close no", "connect A", "select 2", "edit dep 1 2 Правка", "save", "select 1", "read all", "save"}));
    EXPECT_NE(s.Log().find(dept), std::string::npos);
    EXPECT_EQ(ReadBytes(dept).back(), '\x1A');
    EXPECT_EQ((ReadBytes(dept).size() - 225 - 1) % 100, 0u);

    TGoodsPage& page = *s.Window().GoodsPage();
    page.eBdFile->setText(Q(file));
    page.bLoadTOBAPfromDBF->click();
    EXPECT_EQ(s.Window().BD->mtTOBAP.RecordCount(), 17);
    EXPECT_NE(s.Log().find(file), std::string::npos);
    EXPECT_EQ(ReadBytes(file), bytes);
}

}  // namespace
