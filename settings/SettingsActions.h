// What the buttons of the "Настройка ККМ" page do: each read fetches one
// group of settings from the register into the register profile's rows, each
// write sends the current profile's rows to the register. The page calls
// these; they need no window (the progress window and the boxes go through
// the core's hooks).
//
// Every register operation starts alike: the progress window with the
// operation's self-hide time, then the connection check (connect when the
// port is closed; "Не удалось подключиться!" and stop when that fails).
// The handlers return true when the whole operation succeeded.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TBD;
class TMemTable;
class TRegisterSession;

// Self-hide times of the progress window, in milliseconds.
constexpr int WaitLoadOptionsMs = 4000;
constexpr int WaitSaveOptionsMs = 2000;
constexpr int WaitLoadDepsMs = 6000;
constexpr int WaitSaveDepsMs = 5000;
constexpr int WaitLoadTitleMs = 4000;
constexpr int WaitSaveTitleMs = 2000;
constexpr int WaitLoadTaxMs = 4000;

// Colour of "завершена!" after read all and write all.
constexpr unsigned AllDoneColor = 0xF0CAA6;

class TSettingsActions {
public:
    TSettingsActions(TRegisterSession& session, TBD& bd);

    TRegisterSession& Session;
    TBD& BD;

    // Groups read from the register and not stored since (the exit question
    // offers to store them only when all four are set).
    bool OptionsLoaded = false;
    bool DepsLoaded = false;
    bool TitleLoaded = false;
    bool TaxLoaded = false;

    // Contents of both "Шрифт" lists: font captions, the font number first.
    std::vector<std::string> FontList;
    // The font list changed (the page refills its drop-down lists).
    std::function<void()> OnFontListChanged;

    // Puts FillOptionRows first among the session's after-connect steps, so
    // a connect shows the register's option values without a second read.
    // The step does nothing once this object is gone.
    void AddAfterConnectStep();

    // Both font lists := the nine built-in captions, font 0 to font 8.
    void FillFontLists();

    // Options.
    bool bLoadOptionsClick();
    bool LoadOptionsTable();
    // The register profile's option rows from the device image (its old
    // option rows are dropped first); OptionsLoaded := true.
    void FillOptionRows();
    // After a connect: when the register's serial number differs from the
    // one the register profile's rows were read from, the four loaded flags
    // and the register profile's department, line, font and tax rows go.
    // The first register since start-up finds the start-up rows instead: the
    // department, line and tax groups still as built then are emptied.
    void ForgetOtherRegister();
    bool bSaveOptionsClick();
    void bSetDefaultOptionsClick();

    // Departments 1..maxCountDepat.
    bool bDepLoadFromKKMClick();
    bool bSaveDepToKKMClick();

    // Header and footer lines 1..6 with their fonts.
    bool bLoadTitleClick();
    bool bSaveToKKMClick();

    // Taxes 1..5 (read only).
    bool bLoadTaxClick();

    // The four reads, each as its button; a failing one does not stop the
    // next. Sets only the loaded flags of the groups that were read.
    bool bLoadAllOptionsClick();
    // Options, departments, header and footer, each as its button.
    bool bSaveAllOptionsClick();

    // The font number a caption stands for: its first character as a
    // digit; an empty caption or one without a leading digit is font 0.
    static int FontNumberOf(const std::string& caption);

private:
    // What the after-connect step holds on to (it may outlive this object).
    std::shared_ptr<TSettingsActions*> self_ = std::make_shared<TSettingsActions*>(this);

    // Serial number of the register the register profile's rows belong to.
    std::string rowsSerial_;

    bool StartOperation(int waitMs);
    void MakeRegisterProfileCurrent();
};
