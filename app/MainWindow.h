// The main window: banner strip with the console, the left column with the
// page selector and the connection panel, and the page area.
#pragma once
#include "app/TransferState.h"
#include "kkm/RegisterSession.h"
#include "settings/Unitbd.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QSplitter;
class QTabWidget;
class QVBoxLayout;
class TConsolePanel;
class TPageSelectorPanel;
class TMessageBoxForm;
class TConnectionPanel;
class TSettingsPage;
class TDemoRegister;
class TExchangeLockQt;
class TGoodsPage;
class TJournalPage;
class TProfilesPanel;

class TfmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    // Main-window preparation and closing, in their fixed orders.
    void FormCreate();
    void FormClose();
    // Close request: false refuses the close (the exit question).
    bool FormCloseQuery();
    // Closing by a stop signal (SIGTERM, SIGINT, SIGHUP): the closing steps
    // without the exit question and without boxes, then the program ends.
    void CloseOnSignal(const std::string& signalName);
    // Language-dependent captions from the language table.
    void RefreshCaptions();

    // The register, the working tables and the shared transfer state.
    TRegisterSession Session;
    std::unique_ptr<TBD> BD;
    TTransferState Transfer;

    // TfmMain::Connect: connects, or disconnects when connected.
    bool Connect();

    // Controls other parts and the tests reach.
    TConsolePanel* Console() const { return console_; }
    QTabWidget* MainPageControl() const { return pages_; }
    TPageSelectorPanel* PageSelector() const { return selector_; }
    QComboBox* LanguageSelector() const { return cbLanguage_; }
    // Between the banner with the console and the rest of the window.
    QSplitter* ConsoleSplitter() const { return splitter_; }
    QLineEdit* eBdFile() const;
    // Room in the left column under the page selector (connection panel).
    QVBoxLayout* LeftColumn() const { return leftColumn_; }
    TConnectionPanel* ConnectionPanel() const { return connection_; }
    TSettingsPage* SettingsPage() const { return settingsPage_; }
    TGoodsPage* GoodsPage() const { return goodsPage_; }
    TJournalPage* JournalPage() const { return journalPage_; }
    TProfilesPanel* ProfilesPanel() const { return profilesPanel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildBanner();
    QWidget* BuildLeftColumn();
    void BuildPages();
    void MainPageControlChanging(int index);
    void cbLanguageChange(int index);
    // Controls off while an exchange lets the window work (TExchangeLockQt).
    void LockDuringExchanges();
    // Position, size and maximised state from the settings file; centred on
    // the screen when the file has none.
    void RestorePlace();

    TConsolePanel* console_ = nullptr;
    TPageSelectorPanel* selector_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QSplitter* splitter_ = nullptr;
    int consoleHeight_ = 0;  // kept in the settings file
    bool consoleSized_ = false;
    bool closingBySignal_ = false;
    QComboBox* cbLanguage_ = nullptr;
    QVBoxLayout* leftColumn_ = nullptr;
    TConnectionPanel* connection_ = nullptr;
    TSettingsPage* settingsPage_ = nullptr;
    TGoodsPage* goodsPage_ = nullptr;
    TJournalPage* journalPage_ = nullptr;
    TProfilesPanel* profilesPanel_ = nullptr;
    TExchangeLockQt* exchangeLock_ = nullptr;
    int shownPage_ = 0;
    bool closed_ = false;
    std::unique_ptr<TMessageBoxForm> boxes_;
    std::unique_ptr<TDemoRegister> demo_;
    int configuredPort_ = 0;  // the settings file's port, kept while the demo register is used
    void StartDemoRegister();
};
