#include "app/WaitForm.h"

#include "GuiTestUtil.h"
#include "app/QtText.h"

#include <QLabel>
#include <gtest/gtest.h>

TEST(WaitForm, ShowsTheDefaultTextAndRestartsItsCountdown) {
    TWaitForm form;
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(S(form.lMsg->text()), "---");
    ShowWait(1000, "Читаем");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(S(form.lMsg->text()), "Читаем");
    ShowWait(1000, "");
    EXPECT_EQ(S(form.lMsg->text()), "Пожалуйста подождите...");
    ProcessFor(600);
    ShowWait(1000, "");  // refreshed: the countdown starts again
    ProcessFor(600);
    EXPECT_TRUE(form.isVisible());
    ProcessFor(900);
    EXPECT_FALSE(form.isVisible());
}

TEST(WaitForm, HideWaitHidesAtOnceAndStopsTheCountdown) {
    TWaitForm form;
    ShowWait(5000, "");
    HideWait();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Timer.isActive());
    HideWait();  // hiding a hidden window does nothing
    EXPECT_FALSE(form.isVisible());
}

TEST(WaitForm, IsBorderlessOnTopAndOfItsDesignSize) {
    TWaitForm form;
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.size(), QSize(335, 142));
}
