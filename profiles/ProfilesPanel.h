// The profiles panel at the right of the "Настройка ККМ" page: the caption
// "Список настроек", the profile list over mtProfile (template entries in
// bold) and the buttons "Сохранить настройки", "Сохранить в шаблон",
// "Удалить". It owns the profile store and the profile actions; choosing an
// entry makes it the current mtProfile row.
#pragma once
#include <QWidget>

#include <memory>

class QLabel;
class QListView;
class QPushButton;
class TBD;
class TMemTableModelQt;
class TProfileActions;
class TProfileStore;
class TRegisterSession;
struct TLoadedFlags;

class TProfilesPanel : public QWidget {
    Q_OBJECT
public:
    // Adds the profile list build to the session's after-connect steps.
    TProfilesPanel(TRegisterSession& session, TBD& bd, const TLoadedFlags& loaded, QWidget* parent = nullptr);
    ~TProfilesPanel() override;

    TProfileStore& Store() const { return *store_; }
    TProfileActions& Actions() const { return *actions_; }

    // The exit question (the main window's close request): false refuses closing.
    bool FormCloseQuery();

    QLabel* Caption() const { return caption_; }
    QListView* List() const { return list_; }
    QPushButton* bSavePropKKMtoBD() const { return save_; }
    QPushButton* bSavePropKKMtoBDasShablon() const { return saveTemplate_; }
    QPushButton* bDelPropKKMtoBD() const { return delete_; }

    static constexpr int EntryHeight = 26;
    static constexpr int MinVisibleEntries = 4;  // more as the window grows

private:
    void ShowCurrentRow(int row);
    void EntryChosen(int row);

    TBD& bd_;
    std::unique_ptr<TProfileStore> store_;
    std::unique_ptr<TProfileActions> actions_;
    TMemTableModelQt* model_ = nullptr;
    QLabel* caption_ = nullptr;
    QListView* list_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* saveTemplate_ = nullptr;
    QPushButton* delete_ = nullptr;
    bool syncing_ = false;
};

// Puts a profiles panel into the room the settings page keeps for it.
TProfilesPanel* InstallProfilesPanel(QWidget* room, TRegisterSession& session, TBD& bd, const TLoadedFlags& loaded);
