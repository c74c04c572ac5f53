// The "Товары и Услуги" page: the goods table, its transfers to and from the
// register, and the goods exchange file.
#pragma once
#include <QWidget>

class QLineEdit;
class TBD;
class TRegisterSession;
struct TTransferState;

class TGoodsPage : public QWidget {
    Q_OBJECT
public:
    TGoodsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent = nullptr);

    // The exchange file name field (kept in the settings file by the window).
    QLineEdit* eBdFile = nullptr;

private:
    TRegisterSession& session_;
    TBD& bd_;
    TTransferState& transfer_;
};
