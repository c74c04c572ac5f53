// The "Электронный журнал" page: reads the register's journal, shows it as
// receipt text and saves the text or the source lines.
#pragma once
#include "journal/JournalReader.h"

#include <QString>
#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;
class TRegisterSession;
struct TTransferState;

class TJournalPage : public QWidget, private IMagazineView {
    Q_OBJECT
public:
    TJournalPage(TRegisterSession& session, TTransferState& transfer, QWidget* parent = nullptr);

    QPushButton* bLoadMagazineFromKKM = nullptr;
    QPushButton* bMagazineToFile = nullptr;
    QPushButton* bSave = nullptr;
    QPlainTextEdit* MemoMagazine = nullptr;        // the receipt text, editable
    QPlainTextEdit* MemoMagazineSource = nullptr;  // the source lines, never shown

    // Asks for the name of the file to save to; empty when cancelled. A save
    // dialog without filter or overwrite question unless replaced (tests).
    std::function<QString()> AskSaveFileName;

    TMagazineReadResult bLoadMagazineFromKKMClick();
    void bMagazineToFileClick();
    void bSaveClick();

    // The read as the link sees it (for driving the page without the link).
    TMagazineReader& Reader() { return reader_; }

private:
    void ClearMagazine() override;
    void AddMagazineLines(const std::string& source, const std::string& text) override;
    void SetReadCaption(const std::string& caption) override;
    void SaveLines(const QPlainTextEdit* memo);

    TMagazineReader reader_;
};
