#include "journal/JournalPage.h"

TJournalPage::TJournalPage(TRegisterSession& session, TTransferState& transfer, QWidget* parent)
    : QWidget(parent), session_(session), transfer_(transfer) {
    setObjectName("tsJournal");
}
