// The window at its starting size after a connect and a read of all settings,
// and its goods page after a read of the goods. With VORNIK_SCREENSHOTS=DIR
// the pictures are saved there (tools/screenshots.sh keeps them in docs/),
// with the settings page once more at the size of the screen.
#include "GuiRig.h"
#include "GuiTestUtil.h"
#include "goods/GoodsPage.h"
#include "settings/SettingsPage.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

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

    // As large as the screen (Xvfb has no window manager to maximise it).
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        rig.Window->MainPageControl()->setCurrentIndex(0);
        rig.Window->setGeometry(screen->availableGeometry());
        ProcessFor(100);
        Save(rig.Window->grab(), "settings-page-large.png");
    }
}
