// The main window: banner strip with the console, the left column with the
// page selector and the connection panel, and the page area.
#pragma once
#include "app/TransferState.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QVBoxLayout;
class TConsolePanel;
class TPageSelectorPanel;
class TMessageBoxForm;

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
    // Language-dependent captions from the language table.
    void RefreshCaptions();

    TTransferState Transfer;

    // Controls other parts and the tests reach.
    TConsolePanel* Console() const { return console_; }
    QTabWidget* MainPageControl() const { return pages_; }
    TPageSelectorPanel* PageSelector() const { return selector_; }
    QComboBox* LanguageSelector() const { return cbLanguage_; }
    QLineEdit* eBdFile() const { return eBdFile_; }
    // Room in the left column under the page selector (connection panel).
    QVBoxLayout* LeftColumn() const { return leftColumn_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildBanner(QVBoxLayout* outer);
    QWidget* BuildLeftColumn();
    void BuildPages();
    void MainPageControlChanging(int index);
    void cbLanguageChange(int index);

    TConsolePanel* console_ = nullptr;
    TPageSelectorPanel* selector_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QComboBox* cbLanguage_ = nullptr;
    QLineEdit* eBdFile_ = nullptr;
    QVBoxLayout* leftColumn_ = nullptr;
    int shownPage_ = 0;
    bool closed_ = false;
    std::unique_ptr<TMessageBoxForm> boxes_;
};
