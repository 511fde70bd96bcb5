#include "SearchSheetTestFixture.h"

#include "TivrandApp/search/PlatformPickerButton.h"
#include "TivrandApp/search/PlatformPickerView.h"
#include "TivrandApp/search/SearchFiltersView.h"
#include "TivrandApp/search/SearchResultHeaderView.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/sidebar/CountryPickerPopover.h"
#include "TivrandApp/sidebar/CountrySelector.h"
#include "TivrandApp/ui/BusyIndicator.h"

#include <QToolButton>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::FakeCatalogServer;

namespace {

class SearchSheetTest : public Testing::SearchSheetTestFixture {
protected:
    SearchView sheet{store};

    void SetUp() override
    {
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    }

    PlatformPickerButton& platformButton() { return sheet.bar().filters().platformPickerButton(); }
    QLineEdit& field() { return sheet.bar().input().field(); }
};

TEST_F(SearchSheetTest, SubmittingTheFieldShowsARowPerAppAndClearingItHidesThem)
{
    catalog.server().holdResponses();
    submit(sheet, "harbor");
    ASSERT_TRUE(Testing::waitUntil([&] { return sheet.bar().filters().busyIndicator().isVisible(); }));
    catalog.server().releaseResponses();

    EXPECT_EQ(waitForRows(sheet).size(), 6) << "a row per complete app record";
    EXPECT_EQ(sheet.resultView()->header().text(), "Search results for \"harbor\"");

    // Clearing the field hides the results without a request.
    const std::size_t requests = catalog.requests().size();
    field().setText("h");
    QTest::keyClick(&field(), Qt::Key_Backspace);
    EXPECT_EQ(sheet.resultView(), nullptr);
    QTest::keyClick(&field(), Qt::Key_Return);
    Testing::pumpEvents(100ms);
    EXPECT_EQ(catalog.requests().size(), requests);
    EXPECT_EQ(sheet.resultView(), nullptr);
}

TEST_F(SearchSheetTest, PickingMacMovesTheCheckmarkAndSendsNothingAndThePopoverResetsItsFlagHoweverClosed)
{
    submit(sheet, "harbor");
    waitForRows(sheet);
    const std::size_t requests = catalog.requests().size();

    QTest::mouseClick(&platformButton(), Qt::LeftButton);
    ASSERT_NE(platformButton().picker(), nullptr);
    QTest::mouseClick(platformButton().picker()->row(Platform::Mac), Qt::LeftButton);
    EXPECT_EQ(sheet.viewModel().selectedPlatform(), Platform::Mac);
    Testing::pumpEvents(100ms);
    EXPECT_EQ(catalog.requests().size(), requests) << "changing the platform does not search again";

    QTest::mouseClick(&platformButton(), Qt::LeftButton);
    ASSERT_NE(platformButton().picker(), nullptr);
    for (const PlatformPickerRow* row : platformButton().picker()->rows())
        EXPECT_EQ(row->isMarked(), row->platform() == Platform::Mac) << row->text().toStdString();

    // However the popover closes, its flag follows.
    QTest::keyClick(platformButton().picker(), Qt::Key_Escape);
    EXPECT_FALSE(sheet.viewModel().showPlatformPicker());

    sheet.viewModel().setShowPlatformPicker(true);
    ASSERT_NE(platformButton().picker(), nullptr);
    platformButton().picker()->close();
    EXPECT_FALSE(sheet.viewModel().showPlatformPicker());

    sheet.viewModel().setShowPlatformPicker(true);
    sheet.viewModel().setShowPlatformPicker(false);
    EXPECT_EQ(platformButton().picker(), nullptr);
}

TEST_F(SearchSheetTest, TheCountryPickedInTheSelectorIsTheStorefrontOfTheNextSearch)
{
    CountrySelector& selector = sheet.bar().filters().countrySelector();
    QTest::mouseClick(&selector.button(), Qt::LeftButton);
    ASSERT_NE(selector.popover(), nullptr);
    QTest::keyClicks(&selector.popover()->filterField(), "germany");
    QTest::keyClick(&selector.popover()->filterField(), Qt::Key_Return);
    EXPECT_FALSE(sheet.viewModel().showCountryPicker());
    submit(sheet, "notes");
    waitForRows(sheet);
    EXPECT_EQ(catalog.requests(FakeCatalogServer::Route::search).front().path, "/v1/catalog/DE/search");
}

TEST(SearchSheetLifetime, ClosingTheSheetWithItsPopoversOpenLeavesNothingBehind)
{
    Testing::SearchSheetEnvironment environment;
    auto* sheet = new SearchView(environment.store);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    sheet->viewModel().setShowPlatformPicker(true);
    sheet->viewModel().setShowCountryPicker(true);
    QPointer<QWidget> platformPicker = sheet->bar().filters().platformPickerButton().picker();
    QPointer<QWidget> countryPicker = sheet->bar().filters().countrySelector().popover();
    ASSERT_TRUE(platformPicker && countryPicker);
    QPointer<SearchView> closing(sheet);
    sheet->close();
    ASSERT_TRUE(Testing::waitUntil([&] { return closing.isNull(); }));
    EXPECT_TRUE(platformPicker.isNull() && countryPicker.isNull());
}

} // namespace
