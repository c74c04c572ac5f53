#include "goods/GoodsPage.h"

#include <QLineEdit>
#include <QVBoxLayout>

TGoodsPage::TGoodsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent)
    : QWidget(parent), session_(session), bd_(bd), transfer_(transfer) {
    setObjectName("tsGoods");
    auto* box = new QVBoxLayout(this);
    eBdFile = new QLineEdit(this);
    eBdFile->setObjectName("eBdFile");
    box->addWidget(eBdFile);
    box->addStretch(1);
}
