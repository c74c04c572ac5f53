// The "Настройка ККМ" page: options, departments, header and footer lines,
// taxes, with their read and write buttons; the profiles panel on its right.
#pragma once
#include <QWidget>

class TBD;
class TRegisterSession;
struct TTransferState;

class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    TSettingsPage(TRegisterSession& session, TBD& bd, TTransferState& transfer, QWidget* parent = nullptr);

    // Fills both "Шрифт" lists with the nine font captions (main-window creation).
    void FillFontLists();
    // Language-dependent captions (department kinds).
    void RefreshCaptions();
    // Room on the right of the page for the profiles panel.
    QWidget* ProfilesRoom() const { return profilesRoom_; }

private:
    TRegisterSession& session_;
    TBD& bd_;
    TTransferState& transfer_;
    QWidget* profilesRoom_ = nullptr;
};
