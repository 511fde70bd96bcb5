#include "SearchSheetTestFixture.h"

#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/sidebar/AppListView.h"

#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

using namespace Tivrand;

namespace {

class SidebarTest : public Testing::SearchSheetTestFixture {
protected:
    QWidget window;
    AppListView* sidebar = nullptr;

    void makeSidebar()
    {
        sidebar = new AppListView(store, &window);
        (new QVBoxLayout(&window))->addWidget(sidebar);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QStringList listedNames() const
    {
        QStringList names;
        for (const WatchedApp& watched : sidebar->watchedApps())
            names.append(watched.name);
        EXPECT_EQ(sidebar->list().count(), names.size());
        return names;
    }
};

TEST_F(SidebarTest, ListsTheWatchedAppsAndReloadsWhenTheStoreSavesButKeepsThemWhenReloadFails)
{
    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("2", "Tidewater Budget", "Ledgerline GmbH")));
    makeSidebar();
    EXPECT_EQ(listedNames(), QStringList({"Tidewater Budget"}));
    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("1", "harbor Notes", "Quayside Labs")));
    EXPECT_EQ(listedNames(), QStringList({"harbor Notes", "Tidewater Budget"}));

    ASSERT_TRUE(QSqlQuery(controller->database()).exec("ALTER TABLE watched_app RENAME TO watched_app_gone"));
    sidebar->reload();
    EXPECT_EQ(listedNames(), QStringList({"harbor Notes", "Tidewater Budget"}));
}

TEST_F(SidebarTest, AddAppPresentsOneWindowModalSheetThatStartsAfreshEachTime)
{
    makeSidebar();
    QTest::mouseClick(&sidebar->addAppButton(), Qt::LeftButton);
    QPointer<SearchView> sheet = sidebar->searchSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &window);
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
}

} // namespace
