// The "Электронный журнал" page: reads the register's journal, shows it as
// receipt text and saves the text or the source lines.
#pragma once
#include "journal/JournalReader.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class QPlainTextEdit;
class QPushButton;
class TRegisterSession;
struct TTransferState;

class TJournalPage : public QWidget, public IMagazineView {
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

    // What a read delivers.
    void ClearMagazine() override;
    void AddMagazineLines(const std::string& source, const std::string& text) override;
    void EndMagazine() override;
    void SetReadCaption(const std::string& caption) override;

private:
    void SaveLines(const QPlainTextEdit* memo);
    // Moves the lines received since the last time into the text areas.
    void ShowPendingLines();

    TMagazineReader reader_;
    // Every append to a shown text area costs a layout of its own, so lines
    // received in quick succession are added a few times a second at most.
    std::string pendingSource_;
    std::string pendingText_;
    QElapsedTimer sinceShown_;
};
