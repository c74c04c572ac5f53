#include "app/MessageBoxForm.h"

#include "app/QtText.h"

#include <QMessageBox>

void TMessageBoxForm::ShowBox(TBoxKind kind, const std::string& text) {
    switch (kind) {
        case TBoxKind::Information: QMessageBox::information(parent_, "Information", Q(text)); break;
        case TBoxKind::Warning: QMessageBox::warning(parent_, "Warning", Q(text)); break;
        case TBoxKind::Error: QMessageBox::critical(parent_, "Error", Q(text)); break;
    }
}

int TMessageBoxForm::ShowQuery(TQueryKind kind, const std::string& text) {
    QMessageBox::StandardButtons buttons;
    switch (kind) {
        case TQueryKind::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case TQueryKind::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case TQueryKind::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
        case TQueryKind::AbortRetryIgnore: buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
    }
    switch (QMessageBox::question(parent_, "Confirm", Q(text), buttons)) {
        case QMessageBox::Ok: return mrOk;
        case QMessageBox::Cancel: return mrCancel;
        case QMessageBox::Abort: return mrAbort;
        case QMessageBox::Retry: return mrRetry;
        case QMessageBox::Ignore: return mrIgnore;
        case QMessageBox::Yes: return mrYes;
        case QMessageBox::No: return mrNo;
        default: return mrCancel;
    }
}
