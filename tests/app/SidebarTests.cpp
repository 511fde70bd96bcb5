#include "SearchSheetTestFixture.h"

#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/sidebar/AppListView.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Tivrand;
using namespace std::chrono_literals;

namespace {

class SidebarTest : public Testing::SearchSheetTestFixture {
protected:
    QWidget window;
    AppListView* sidebar = nullptr;

    void makeSidebar()
    {
        sidebar = new AppListView(store, &window);
        (new QVBoxLayout(&window))->addWidget(sidebar);
        window.resize(300, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QStringList listedNames() const
    {
        QStringList names;
        for (const WatchedApp& watched : sidebar->watchedApps())
            names.append(watched.name);
        return names;
    }
};

TEST_F(SidebarTest, ListsTheWatchedAppsAndReloadsWhenTheStoreSavesButKeepsThemWhenReloadFails)
{
    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("2", "Tidewater Budget", "Ledgerline GmbH")));
    makeSidebar();
    EXPECT_EQ(listedNames(), QStringList({"Tidewater Budget"}));
    EXPECT_EQ(sidebar->list().count(), 1);

    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("1", "harbor Notes", "Quayside Labs")));
    EXPECT_EQ(listedNames(), QStringList({"harbor Notes", "Tidewater Budget"}));
    EXPECT_EQ(sidebar->list().count(), 2);

    ASSERT_TRUE(QSqlQuery(controller->database()).exec("ALTER TABLE watched_app RENAME TO watched_app_gone"));
    sidebar->reload();
    EXPECT_EQ(listedNames(), QStringList({"harbor Notes", "Tidewater Budget"}));
    EXPECT_EQ(sidebar->list().count(), 2);
}

TEST_F(SidebarTest, AddAppPresentsOneWindowModalSheetThatStartsAfreshEachTime)
{
    makeSidebar();
    EXPECT_EQ(sidebar->addAppButton().text(), "Add App");
    QTest::mouseClick(&sidebar->addAppButton(), Qt::LeftButton);
    QPointer<SearchView> sheet = sidebar->searchSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &window);
    EXPECT_EQ(sheet->minimumSize(), QSize(800, 600));

    sidebar->presentSearchSheet();
    EXPECT_EQ(sidebar->searchSheet(), sheet) << "one sheet at a time";

    sheet->viewModel().setSearchText("harbor");
    sheet->viewModel().setSelectedPlatform(Platform::Vision);
    sheet->reject();
    ASSERT_TRUE(Testing::waitUntil([&] { return sheet.isNull(); })) << "a closed sheet is released";
    EXPECT_EQ(sidebar->searchSheet(), nullptr);

    sidebar->presentSearchSheet();
    SearchView* again = sidebar->searchSheet();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->viewModel().searchText().isEmpty());
    EXPECT_EQ(again->viewModel().selectedPlatform(), Platform::iPhone);
    ASSERT_TRUE(again->viewModel().selectedCountry().has_value());
    EXPECT_EQ(again->viewModel().selectedCountry()->countryCode, "US");
}

TEST_F(SidebarTest, TheWatchListShowsEachAppsIcon)
{
    AppPresentationItem harbor = Testing::watchedItem("1", "Harbor Notes", "Quayside Labs");
    harbor.iconUrl = catalog.iconUrl("harbor").toString();
    ASSERT_TRUE(store.saveWatchedApp(harbor));
    makeSidebar();

    const auto icons = sidebar->findChildren<AppIconView*>();
    ASSERT_EQ(icons.size(), 1);
    ASSERT_TRUE(waitForIcons(*sidebar));
    const QImage shot = icons.front()->grab().toImage();
    EXPECT_EQ(shot.pixel(shot.rect().center()), Testing::FakeCatalogServer::iconColor(harbor.iconUrl).rgb());
    EXPECT_EQ(catalog.iconRequests().size(), 1u);
}

} // namespace
