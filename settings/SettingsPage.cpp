#include "settings/SettingsPage.h"

#include <QHBoxLayout>

TSettingsPage::TSettingsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent)
    : QWidget(parent), session_(session), bd_(bd), transfer_(transfer) {
    setObjectName("tsSettings");
    auto* row = new QHBoxLayout(this);
    row->addStretch(1);
    profilesRoom_ = new QWidget(this);
    profilesRoom_->setObjectName("pnlProfilesRoom");
    profilesRoom_->setFixedWidth(150);
    row->addWidget(profilesRoom_);
}

void TSettingsPage::FillFontLists() {}

void TSettingsPage::RefreshCaptions() {}
