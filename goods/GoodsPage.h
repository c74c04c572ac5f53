// The "Товары и Услуги" page: the goods table, its transfers to and from the
// register, and the goods exchange file. The work is done by TGoodsTransfer
// and TGoodsExchange; the page draws their progress.
#pragma once
#include <QWidget>

#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class QPushButton;
class QTableView;
class TBD;
class TGoodsExchange;
class TGoodsTransfer;
class TMemTableModelQt;
class TRegisterSession;
struct TTransferState;

class TGoodsPage : public QWidget {
    Q_OBJECT
public:
    TGoodsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent = nullptr);
    ~TGoodsPage() override;

    // The exchange file name field (kept in the settings file by the window).
    QLineEdit* eBdFile = nullptr;

    QPushButton* bLoadTOBAP = nullptr;
    QPushButton* bLoadOneTOBAP = nullptr;
    QPushButton* bSaveTOBAP = nullptr;
    QPushButton* bSaveOneTOBAP = nullptr;
    QPushButton* bAddTOBAP = nullptr;
    QPushButton* bDelTOBAP = nullptr;
    QCheckBox* cbisSaveTOBAPCount = nullptr;
    QPushButton* bPathDBF = nullptr;
    QPushButton* bLoadTOBAPfromDBF = nullptr;
    QPushButton* bSaveTOBAPtoDBF = nullptr;
    QProgressBar* ProgressBar = nullptr;
    // The search above the grid: rows whose code, name or barcode contain
    // the text (case ignored, ё = е); Esc clears it. Edits and "Записать
    // текущий" act on the shown rows, "Записать все в ККМ" and the exchange
    // file on every row. lSearchCount says "показано N из M".
    QLineEdit* eSearch = nullptr;
    QLabel* lSearchCount = nullptr;
    QTableView* DBGridEhTOBAP = nullptr;

    TGoodsTransfer& Goods() const { return *goods_; }
    TGoodsExchange& Exchange() const { return *exchange_; }

    // "...": a file dialog (filters "DBF (*.dbf)" and "CSV (*.csv)") that
    // also takes a new name; the chosen file's full path replaces the text of
    // eBdFile.
    void bPathDBFClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildButtons();
    QWidget* BuildFileRow();
    QWidget* BuildSearchRow();
    void ShowSearchCount();
    // Shows every row again, the current row kept (before a row is added,
    // so that the new row stays in sight).
    void ClearSearch();
    void BuildGrid();
    void SetBusy(bool busy);
    // Moves the table's cursor to the grid's current row.
    void SyncTableToGrid();

    TRegisterSession& session_;
    TBD& bd_;
    std::unique_ptr<TGoodsTransfer> goods_;
    std::unique_ptr<TGoodsExchange> exchange_;
    TMemTableModelQt* model_ = nullptr;
    QTimer* countLater_ = nullptr;  // one count for a burst of row changes
    bool readingAll_ = false;
    // The goods the register (by serial number) held at its last full read.
    std::string knownSerial_;
    int knownCount_ = 0;
};
