// The window at its starting size after a connect and a read of all settings,
// and its goods page after a read of the goods. With VORNIK_SCREENSHOTS=DIR
// the pictures are saved there (tools/screenshots.sh keeps them in docs/),
// with the goods page's file dialog and the settings page once more at the
// size of the screen.
#include "GuiRig.h"
#include "GuiTestUtil.h"
#include "goods/GoodsPage.h"
#include "settings/SettingsPage.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <cstdlib>

namespace {

void Save(const QPixmap& picture, const char* name) {
    if (const char* dir = std::getenv("VORNIK_SCREENSHOTS")) {
        EXPECT_TRUE(picture.save(QString(dir) + "/" + name)) << name;
    }
}

}  // namespace

TEST(WindowPicture, SettingsAndGoodsPagesAfterReadingTheRegister) {
    TGuiRig rig;
    TSimState state = rig.Sim->State();
    state.Identity.Mode = 2;  // OFF-LINE, as the demo register starts
    rig.Sim->SetState(state);
    rig.Window->resize(786, 561);
    rig.Window->show();
    ASSERT_TRUE(rig.Window->Connect());
    rig.Window->SettingsPage()->bLoadAllOptions->click();
    ProcessFor(100);
    EXPECT_TRUE(rig.Logged("Загрузка "));
    const QPixmap settings = rig.Window->grab();
    EXPECT_EQ(settings.size(), QSize(786, 561));
    Save(settings, "settings-page.png");

    rig.Window->MainPageControl()->setCurrentIndex(1);
    rig.Window->GoodsPage()->bLoadTOBAP->click();
    ProcessFor(100);
    EXPECT_TRUE(rig.Logged("Товар загружен"));
    Save(rig.Window->grab(), "goods-page.png");

    // The exchange file's dialog speaks the interface language.
    QTimer::singleShot(300, [] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        Save(dialog->grab(), "goods-file-dialog.png");
        dialog->reject();
    });
    rig.Window->GoodsPage()->bPathDBF->click();

    // As large as the screen (Xvfb has no window manager to maximise it).
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        rig.Window->MainPageControl()->setCurrentIndex(0);
        rig.Window->setGeometry(screen->availableGeometry());
        ProcessFor(100);
        Save(rig.Window->grab(), "settings-page-large.png");
    }
}
