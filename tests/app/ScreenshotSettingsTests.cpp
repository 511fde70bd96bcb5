#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/settings/SettingsView.h"
#include "TivrandApp/settings/SettingsWindow.h"

#include "tests/support/EventLoop.h"

#include "tests/support/Screenshots.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTest>

using namespace Tivrand;

TEST(Screenshot, SettingsWindow)
{
    applyDarkStyle(*qApp);
    QWidget owner;
    ::testing::internal::CaptureStdout();
    showSettingsWindow(&owner);
    ::testing::internal::GetCapturedStdout();

    const auto views = owner.findChildren<SettingsView*>();
    ASSERT_EQ(views.size(), 1);
    QWidget& window = *views.front()->window();
    const QImage shot = Testing::grabWhenShown(window);
    ASSERT_FALSE(shot.isNull());
    // Drawn dark: the corner of the window is the dark window background, not a light default.
    EXPECT_LT(qGray(shot.pixel(shot.width() - 2, shot.height() - 2)), 0x40);

    EXPECT_TRUE(Testing::saveScreenshot(shot, QStringLiteral("settings")));
}
