// The window at its design size after a connect and a read of all settings.
// With VORNIK_SCREENSHOT=FILE.png the picture is saved (docs/ keeps one).
#include "GuiRig.h"
#include "GuiTestUtil.h"
#include "settings/SettingsPage.h"

#include <QPushButton>

#include <cstdlib>

TEST(WindowPicture, SettingsPageAfterConnectAndReadAll) {
    TGuiRig rig;
    rig.Window->resize(786, 561);
    rig.Window->show();
    ASSERT_TRUE(rig.Window->Connect());
    rig.Window->SettingsPage()->bLoadAllOptions->click();
    ProcessFor(100);
    EXPECT_TRUE(rig.Logged("Загрузка "));
    const QPixmap picture = rig.Window->grab();
    EXPECT_EQ(picture.size(), QSize(786, 561));
    if (const char* file = std::getenv("VORNIK_SCREENSHOT")) {
        EXPECT_TRUE(picture.save(file));
    }
}
