// The "Настройка ККМ" page: read all / write all, and the tabs for options,
// departments, header and footer lines and taxes with their read and write
// buttons and grids; the profiles panel on its right. What the buttons do is
// TSettingsActions; the page shows the working tables and calls it.
#pragma once
#ifndef Q_MOC_RUN
#include "settings/SettingsActions.h"
#endif

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTableView;
class TBD;
class TMemTableModelQt;
class TOptionCardsPanel;
class TRegisterSession;
struct TTransferState;

class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    TSettingsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent = nullptr);
    ~TSettingsPage() override;

    // Fills both "Шрифт" lists with the nine font captions (main-window creation).
    void FillFontLists();
    // Language-dependent texts: the department kinds and their pick list.
    void RefreshCaptions();
    // Room on the right of the page for the profiles panel.
    QWidget* ProfilesRoom() const { return profilesRoom_; }

    // The operations and the four loaded flags.
    TSettingsActions Actions;

    // Button handlers: each runs its operation unless another one is still
    // running (the register exchange lets the window take presses meanwhile).
    void bLoadAllOptionsClick();
    void bSaveAllOptionsClick();
    void bLoadOptionsClick();
    void bSaveOptionsClick();
    void bSetDefaultOptionsClick();
    void bVidClick();
    void bDepLoadFromKKMClick();
    void bSaveDepToKKMClick();
    void bLoadTitleClick();
    void bSaveToKKMClick();
    void bLoadTaxClick();
    bool Busy() const { return busy_; }

    // Controls (object names as their fields).
    QPushButton* bLoadAllOptions = nullptr;
    QPushButton* bSaveAllOptions = nullptr;
    QLabel* lFullFun = nullptr;
    QTabWidget* pcSettings = nullptr;
    // Опции
    QPushButton* bLoadOptions = nullptr;
    QPushButton* bSaveOptions = nullptr;
    QPushButton* bSetDefaultOptions = nullptr;
    QPushButton* bVid = nullptr;
    QStackedWidget* OptionViews = nullptr;
    TOptionCardsPanel* OptionCards = nullptr;
    QTableView* DBGridEhOptions = nullptr;
    // Отделы
    QPushButton* bDepLoadFromKKM = nullptr;
    QPushButton* bSaveDepToKKM = nullptr;
    QTableView* DBGridEhDep = nullptr;
    // Заголовок и окончание чека
    QPushButton* bLoadTitle = nullptr;
    QPushButton* bSaveToKKM = nullptr;
    QComboBox* cbTitleFont = nullptr;
    QComboBox* cbFooterFont = nullptr;
    QTableView* DBGridEhTitle = nullptr;
    QTableView* DBGridEhFooter = nullptr;
    // Налоги
    QPushButton* bLoadTax = nullptr;
    QTableView* DBGridEhTax = nullptr;

private:
    QWidget* BuildOptionsTab();
    QWidget* BuildDepartmentsTab();
    QWidget* BuildLinesTab();
    QWidget* BuildTaxTab();
    void Run(const std::function<void()>& operation);
    void FillFontBoxes();
    void ShowFonts();
    void FontPicked(QComboBox* box, const char* field);

    TRegisterSession& session_;
    TBD& bd_;
    TTransferState& transfer_;
    QWidget* profilesRoom_ = nullptr;
    TMemTableModelQt* optionsModel_ = nullptr;
    TMemTableModelQt* depModel_ = nullptr;
    TMemTableModelQt* titleModel_ = nullptr;
    TMemTableModelQt* footerModel_ = nullptr;
    TMemTableModelQt* taxModel_ = nullptr;
    TMemTableModelQt* fontModel_ = nullptr;
    bool busy_ = false;
};
