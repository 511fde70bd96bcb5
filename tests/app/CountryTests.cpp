#include "TivrandApp/models/Country.h"
#include "TivrandApp/sidebar/CountryPickerPopover.h"
#include "TivrandApp/sidebar/CountrySelector.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <functional>

using namespace Tivrand;
using namespace std::chrono_literals;

namespace {

const QByteArray twoCountries = R"j([
  {"country_code": "TR", "country_name": "Türkiye", "country_flag": "🇹🇷",
   "first_language": {"code": "tr", "name": "Turkish"},
   "second_languages": [{"code": "en-GB", "name": "English (U.K.)"}]},
  {"country_code": "US", "country_name": "United States", "country_flag": "🇺🇸",
   "first_language": {"code": "en-US", "name": "English (U.S.)"}, "second_languages": []}
])j";

QString errorOf(const QByteArray& json)
{
    const auto decoded = decodeCountries(json);
    return decoded ? QString("decoded") : decoded.error();
}

Country country(const QString& code, const QString& name)
{
    return Country{code + "-id", code, name, QString(), {"en-" + code, "English"}, {}};
}

class CountrySelectorTest : public ::testing::Test {
protected:
    QWidget window;
    QWidget* elsewhere = new QWidget(&window);
    CountrySelector* selector = new CountrySelector(&window);
    QSignalSpy shownChanges{selector, &CountrySelector::popoverShownChanged};

    void SetUp() override
    {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(selector);
        layout->addWidget(elsewhere, 1);
        window.resize(600, 200);
        selector->setCountries({country("US", "United States"), country("GB", "United Kingdom"),
                                country("DE", "Germany"), country("TR", "Türkiye")});
        selector->setSelectedCountry(country("US", "United States"));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    CountryPickerPopover& open()
    {
        QTest::mouseClick(&selector->button(), Qt::LeftButton);
        return *selector->popover();
    }

    // The popover is gone and said so exactly once.
    void expectClosed()
    {
        EXPECT_FALSE(selector->isPopoverShown());
        ASSERT_EQ(shownChanges.size(), 2);
        EXPECT_EQ(shownChanges.at(1).at(0).toBool(), false);
    }
};

TEST_F(CountrySelectorTest, FilteringMatchesNameOrCodeIgnoringCaseAndChoosingWritesTheCountry)
{
    CountryPickerPopover& popover = open();
    const std::pair<const char*, QStringList> filters[] = {{"uNiTed", {"US", "GB"}}, {"tr", {"TR"}}, {"zz", {}}};
    for (const auto& [filter, expected] : filters) {
        popover.filterField().setText(filter);
        EXPECT_TRUE(std::ranges::equal(popover.shownCountries(), expected, {}, &Country::countryCode)) << filter;
    }
    QTest::keyClick(&popover.filterField(), Qt::Key_Return);
    EXPECT_TRUE(selector->isPopoverShown()) << "nothing to choose";

    popover.filterField().clear();
    QTest::keyClicks(&popover.filterField(), "united");
    QTest::keyClick(&popover.filterField(), Qt::Key_Down);
    QTest::keyClick(&popover.filterField(), Qt::Key_Return);
    EXPECT_EQ(selector->selectedCountry().value_or(Country{}).countryCode, "GB");
    expectClosed();
}

TEST_F(CountrySelectorTest, ClosingThePopoverAnyWayResetsTheFlagAndKeepsTheCountry)
{
    const auto clickAt = [&](QWidget& target) {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, target.mapTo(&window, target.rect().center()));
    };
    const std::pair<const char*, std::function<void()>> closers[] = {
        {"escape", [&] { QTest::keyClick(&selector->popover()->filterField(), Qt::Key_Escape); }},
        {"click outside", [&] { clickAt(*elsewhere); }},
        {"button again", [&] { clickAt(selector->button()); }},
        {"owner", [&] { selector->setPopoverShown(false); }},
    };
    for (const auto& [name, close] : closers) {
        SCOPED_TRACE(name);
        shownChanges.clear();
        open();
        close();
        Testing::waitUntil([&] { return !selector->isPopoverShown(); }, 2s);
        Testing::pumpEvents(100ms); // a click on the button must not open it again
        expectClosed();
    }
    selector->setPopoverShown(false);
    EXPECT_EQ(shownChanges.size(), 2) << "no change, no signal";
    EXPECT_TRUE(selector->button().text().endsWith("US"));
}

TEST(CountryDecoding, BadInputGivesReadableErrors)
{
    EXPECT_TRUE(errorOf("[{").startsWith("not valid JSON"));
    EXPECT_EQ(errorOf(R"({"country_code": "US"})"), "expected a JSON array of countries");
    EXPECT_EQ(errorOf("[42]"), "country 0: expected an object");

    const struct {
        const char* from;
        const char* to;
        const char* error;
    } edits[] = {
        {R"("country_name": "United States", )", "", R"(country 1, key "country_name": missing)"},
        {R"("country_code": "TR")", R"("country_code": 90)", R"(country 0, key "country_code": expected a text)"},
        {R"({"code": "tr", "name": "Turkish"})", R"("tr")",
         R"(country 0, key "first_language": expected a language object)"},
        {R"j({"code": "en-GB", "name": "English (U.K.)"})j", R"({"code": "en-GB"})",
         R"(country 0, key "second_languages"[0] > "name": missing)"},
        {R"("second_languages": [])", R"("second_languages": {})",
         R"(country 1, key "second_languages": expected an array)"},
    };
    for (const auto& each : edits)
        EXPECT_EQ(errorOf(QByteArray(twoCountries).replace(each.from, each.to)), each.error);
}

} // namespace
