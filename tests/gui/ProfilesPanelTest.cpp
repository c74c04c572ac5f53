// The profiles panel in the real main window, against the register simulator
// on a pseudo-terminal, with the profile store in a scratch working directory.
#include "app/MainWindow.h"
#include "profiles/ProfilesPanel.h"
#include "settings/SettingsPage.h"

#include "GuiTestUtil.h"
#include "SettingsPageFixture.h"
#include "TestFiles.h"
#include "app/Dialog.h"
#include "app/QtText.h"
#include "profiles/ProfileActions.h"
#include "profiles/ProfileStore.h"
#include "settings/OptionCatalogue.h"
#include "sim/RegisterSimulator.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

class ProfilesPanel : public TSettingsPageFixture {
protected:
    void SetUp() override {
        TSettingsPageFixture::SetUp();
        if (HasFatalFailure()) return;
        // The window's own panel when it hosts one, else one put into the
        // room the settings page keeps for it.
        panel = w->findChild<TProfilesPanel*>();
        if (!panel) {
            TSettingsActions& a = page->Actions;
            panel = InstallProfilesPanel(page->ProfilesRoom(), w->Session, *w->BD,
                                         {&a.OptionsLoaded, &a.DepsLoaded, &a.TitleLoaded, &a.TaxLoaded});
        }
        panel->Actions().InputQuery = [this](const std::string& caption, const std::string& prompt,
                                             const std::string& initial) -> std::optional<std::string> {
            asked.push_back(caption + "|" + prompt + "|" + initial);
            return answer;
        };
        w->show();
    }
    QAbstractItemModel* Model() const { return panel->List()->model(); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        for (int r = 0; r < Model()->rowCount(); ++r) out.push_back(S(Model()->index(r, 0).data().toString()));
        return out;
    }
    bool Bold(int row) const { return Model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold(); }
    int ShownRow() const { return panel->List()->currentIndex().row(); }
    // Choosing an entry in the list, as a click does.
    void Choose(int row) { panel->List()->setCurrentIndex(Model()->index(row, 0)); }
    int BlueMarks() {
        TBD& bd = *w->BD;
        const int current = bd.mtProfile.CurrentRow();
        bd.mtProfile.First();
        int n = 0;
        for (int i = 0; i < bd.mtOptions.RecordCount(); ++i) n += OptionDiffers(bd.mtOptions.VisibleRecord(i), bd);
        bd.mtProfile.GoToRow(current);
        return n;
    }
    std::vector<TStoredProfile> Stored() {
        std::vector<TStoredProfile> all;
        EXPECT_TRUE(panel->Store().Find({}, all));
        return all;
    }
    bool AnyLoaded() const {
        const TSettingsActions& a = page->Actions;
        return a.OptionsLoaded || a.DepsLoaded || a.TitleLoaded || a.TaxLoaded;
    }

    TProfilesPanel* panel = nullptr;
    std::optional<std::string> answer;
    std::vector<std::string> asked;
};

}  // namespace

TEST_F(ProfilesPanel, ShowsItsCaptionListAndButtons) {
    EXPECT_EQ(S(panel->Caption()->text()), "Список настроек");
    EXPECT_EQ(S(panel->bSavePropKKMtoBD()->text()), "Сохранить настройки");
    EXPECT_EQ(S(panel->bSavePropKKMtoBDasShablon()->text()), "Сохранить в шаблон");
    EXPECT_EQ(S(panel->bDelPropKKMtoBD()->text()), "Удалить");
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(page->ProfilesRoom()->isAncestorOf(panel));

    QListView* list = panel->List();
    // Ten entries at the starting size; a taller window shows more.
    ProcessFor(50);
    EXPECT_GE(list->height(), 10 * 26 + 2 * list->frameWidth());
    w->resize(786, 800);
    ProcessFor(50);
    EXPECT_GE(list->height(), 18 * 26) << "the list takes the height the window gains";
    w->resize(786, 561);
    EXPECT_EQ(list->sizeHintForRow(0), 26);
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(Entries(), std::vector<std::string>{"Загруженая из ККМ"});
    EXPECT_EQ(ShownRow(), 0);
    EXPECT_FALSE(Bold(0));

    // Before any connection: the template button has no register to file under.
    answer = "Шаблон";
    panel->bSavePropKKMtoBDasShablon()->click();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Entries(), std::vector<std::string>{"Загруженая из ККМ"});
}

TEST_F(ProfilesPanel, AFirstConnectShowsTheRegisterProfileAndItsVersionsTemplates) {
    {
        // Stored earlier: a template of this version, one of another version,
        // another register's saved profile.
        TBD bd;
        TProfileStore store(bd);
        ASSERT_TRUE(store.Open());
        for (auto [name, sn, version, key] : {std::tuple{"Шаблон 012", "", "ver012", "100"},
                                              std::tuple{"Шаблон 099", "", "ver099", "200"},
                                              std::tuple{"Сохраненная", "999999999999", "ver012", "300"}}) {
            ASSERT_TRUE(store.Profile.Append());
            store.Profile.SetText("NAME", name);
            store.Profile.SetText("SN", sn);
            store.Profile.SetText("TYPEKKM", version);
            store.Profile.SetText("LN", key);
            ASSERT_TRUE(store.Profile.Post());
        }
    }
    ASSERT_TRUE(w->Connect()) << Log();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Загруженая из ККМ", "Шаблон 012"}));
    EXPECT_FALSE(Bold(0));
    EXPECT_TRUE(Bold(1)) << "templates are drawn bold";
    EXPECT_EQ(ShownRow(), 0);
    EXPECT_EQ(BlueMarks(), 0) << "a register without a saved profile has nothing to differ from";
    EXPECT_FALSE(w->BD->HasSavedProfile);

    // Choosing the template shows its (empty) rows; choosing row 1 the register's.
    Choose(1);
    EXPECT_EQ(w->BD->mtProfile.RecNo(), 2);
    EXPECT_EQ(ShownRow(), 1);
    EXPECT_TRUE(w->BD->mtOptions.IsEmpty());
    Choose(0);
    EXPECT_EQ(w->BD->mtProfile.RecNo(), 1);
    EXPECT_EQ(w->BD->mtOptions.RecordCount(), w->Session.Info()->GetOptionCount());
}

TEST_F(ProfilesPanel, SaveSettingsTemplatesAndDeleteEndToEnd) {
    ASSERT_TRUE(w->Connect());
    page->bLoadAllOptionsClick();
    ASSERT_TRUE(page->Actions.OptionsLoaded && page->Actions.DepsLoaded && page->Actions.TitleLoaded &&
                page->Actions.TaxLoaded);

    // "Сохранить настройки": the register's saved profile, shown as stored.
    panel->bSavePropKKMtoBD()->click();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Загруженая из ККМ", "Сохраненная"}));
    EXPECT_FALSE(Bold(1));
    EXPECT_EQ(ShownRow(), 1);
    EXPECT_FALSE(AnyLoaded()) << "the loaded flags are cleared";
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].SN, "001234567890");
    EXPECT_TRUE(Logged("Настройки ККМ № 001234567890 сохранены в профиль \"Сохраненная\""));
    EXPECT_TRUE(panel->FormCloseQuery());
    EXPECT_FALSE(Logged("Query:")) << "closing right afterwards asks nothing";

    // "Сохранить в шаблон" from the saved profile; the box proposes nothing.
    answer = "Кафе";
    panel->bSavePropKKMtoBDasShablon()->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Введите|Имя шаблона|");
    EXPECT_TRUE(Logged("Шаблон записан: \"Кафе\", версия ver012"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Загруженая из ККМ", "Сохраненная", "Кафе"}));
    EXPECT_TRUE(Bold(2));
    EXPECT_EQ(ShownRow(), 1) << "the same entry stays chosen";

    // The template chosen again shows the rows it was stored with.
    Choose(2);
    EXPECT_EQ(w->BD->mtProfile.AsString("Name"), "Кафе");
    EXPECT_EQ(w->BD->mtOptions.RecordCount(), w->Session.Info()->GetOptionCount());
    EXPECT_EQ(w->BD->mtTitle.RecordCount(), 6);
    // Cancel in the box (which now proposes the template's name) stores nothing.
    answer = std::nullopt;
    panel->bSavePropKKMtoBDasShablon()->click();
    EXPECT_EQ(asked.back(), "Введите|Имя шаблона|Кафе");
    EXPECT_EQ(Stored().size(), 2u);

    // A register option changed against the saved profile is marked blue ...
    Choose(0);
    TMemTable& options = w->BD->mtOptions;
    options.GoToRow(0);
    options.Edit();
    options.SetValue("Value", options.AsInteger("Value") == 0 ? 1 : 0);
    options.Post();
    EXPECT_EQ(BlueMarks(), 1);
    // ... "Удалить" on the register profile does nothing ...
    panel->bDelPropKKMtoBD()->click();
    EXPECT_EQ(Entries().size(), 3u);
    // ... and deleting "Сохраненная" takes the marks away at once.
    Choose(1);
    panel->bDelPropKKMtoBD()->click();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Загруженая из ККМ", "Кафе"}));
    EXPECT_EQ(BlueMarks(), 0);
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].Name, "Кафе");
    // Deleting the last entry makes the one above it current.
    Choose(1);
    panel->bDelPropKKMtoBD()->click();
    EXPECT_EQ(Entries(), std::vector<std::string>{"Загруженая из ККМ"});
    EXPECT_EQ(ShownRow(), 0);
    EXPECT_TRUE(Stored().empty());
}

TEST_F(ProfilesPanel, TheExitQuestionUnderAutonomStoresTheRegisterProfile) {
    ASSERT_TRUE(w->Connect());
    page->bLoadAllOptionsClick();
    Choose(0);
    EXPECT_TRUE(panel->FormCloseQuery());
    EXPECT_TRUE(Logged("Query:Записать в БД загруженные из ККМ настройки? - Yes")) << Log();
    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, "Сохраненная");
    EXPECT_EQ(stored[0].SN, "001234567890");
    EXPECT_FALSE(AnyLoaded());
}
