// The "Электронный журнал" page: reads the register's journal, shows it as
// receipt text and saves the text or the source lines.
#pragma once
#include <QWidget>

class TRegisterSession;
struct TTransferState;

class TJournalPage : public QWidget {
    Q_OBJECT
public:
    TJournalPage(TRegisterSession& session, TTransferState& transfer, QWidget* parent = nullptr);

private:
    TRegisterSession& session_;
    TTransferState& transfer_;
};
