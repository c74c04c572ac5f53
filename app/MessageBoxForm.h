// Modal message and query boxes for the core's message functions.
#pragma once
#include "app/Dialog.h"

class QWidget;

class TMessageBoxForm : public IDialogService {
public:
    explicit TMessageBoxForm(QWidget* parent) : parent_(parent) {}
    void ShowBox(TBoxKind kind, const std::string& text) override;
    int ShowQuery(TQueryKind kind, const std::string& text) override;

private:
    QWidget* parent_;
};
