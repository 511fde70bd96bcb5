#include "SearchSheetTestFixture.h"
#include "tests/support/Screenshots.h"

#include "TivrandApp/app/MainWindow.h"
#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/search/AppActionButtonsView.h"
#include "TivrandApp/search/PlatformPickerButton.h"
#include "TivrandApp/search/PlatformPickerView.h"
#include "TivrandApp/search/SearchFiltersView.h"
#include "TivrandApp/settings/SettingsView.h"
#include "TivrandApp/settings/SettingsWindow.h"
#include "TivrandApp/sidebar/AppListView.h"
#include "TivrandApp/sidebar/CountryPickerPopover.h"
#include "TivrandApp/sidebar/CountrySelector.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

using namespace Tivrand;
using namespace std::chrono_literals;

namespace {

void save(QWidget& widget, const QString& name, int maxCornerGray = 0x50)
{
    const QImage shot = Testing::grabWhenShown(widget);
    ASSERT_FALSE(shot.isNull());
    // Drawn dark: a corner shows the dark window background, not a light default.
    EXPECT_LT(qGray(shot.pixel(shot.width() - 3, shot.height() - 3)), maxCornerGray) << name.toStdString();
    EXPECT_TRUE(Testing::saveScreenshot(shot, name));
}

TEST(Screenshot, Sidebar)
{
    applyDarkStyle(*qApp);
    Testing::SearchSheetEnvironment environment;
    for (const auto& [appId, name, developer] : {std::tuple{"1000000001", "Harbor Notes", "Quayside Labs"},
                                                  {"1000000002", "Tidewater Budget", "Ledgerline GmbH"},
                                                  {"1000000007", "Desk Lamp", "Warm Light Ltd"}}) {
        AppPresentationItem item = Testing::watchedItem(appId, name, developer);
        item.iconUrl = environment.catalog.iconUrl(appId).toString();
        ASSERT_TRUE(environment.store.saveWatchedApp(item));
    }

    MainWindow main(environment.store);
    main.show();
    ASSERT_EQ(main.sidebar().watchedApps().size(), 3);
    // Each watched app shows its own icon, fetched once.
    ASSERT_TRUE(environment.waitForIcons(main.sidebar()));
    EXPECT_EQ(environment.catalog.iconRequests().size(), 3u);
    save(main, "main-window");
    save(main.sidebar(), "sidebar");
}

TEST(Screenshot, SearchSheetWithResults)
{
    applyDarkStyle(*qApp);
    Testing::SearchSheetEnvironment environment;
    MainWindow main(environment.store);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QTest::mouseClick(&main.sidebar().addAppButton(), Qt::LeftButton);
    SearchView* sheet = main.sidebar().searchSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->resize(1000, 680);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    save(*sheet, "search-sheet-empty");

    environment.submit(*sheet, "harbor");
    ASSERT_FALSE(environment.waitForRows(*sheet).isEmpty());
    ASSERT_TRUE(environment.waitForIcons(*sheet));
    save(*sheet, "search-sheet");

    PlatformPickerButton& platformButton = sheet->bar().filters().platformPickerButton();
    QTest::mouseClick(&platformButton, Qt::LeftButton);
    ASSERT_NE(platformButton.picker(), nullptr);
    save(*platformButton.picker(), "platform-picker");
    platformButton.picker()->close();

    CountrySelector& countries = sheet->bar().filters().countrySelector();
    countries.setPopoverShown(true);
    ASSERT_NE(countries.popover(), nullptr);
    save(*countries.popover(), "country-picker");
    countries.setPopoverShown(false);

    ASSERT_TRUE(environment.store.saveWatchedApp(Testing::watchedItem("1000000001", "Harbor Notes", "Quayside Labs")));
    QTest::mouseClick(sheet->resultView()->rows().front()->actions().addButton(), Qt::LeftButton);
    ASSERT_NE(sheet->resultView()->alert(), nullptr);
    save(*sheet->resultView()->alert(), "search-alert");
}

TEST(Screenshot, SettingsWindow)
{
    applyDarkStyle(*qApp);
    QWidget owner;
    ::testing::internal::CaptureStdout();
    showSettingsWindow(&owner);
    ::testing::internal::GetCapturedStdout();
    const auto views = owner.findChildren<SettingsView*>();
    ASSERT_EQ(views.size(), 1);
    save(*views.front()->window(), "settings", 0x40);
}

} // namespace
