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

Country country(const QString& code, const QString& name)
{
    return Country{code + "-id", code, name, QString(), {"en-" + code, "English"}, {}};
}

class CountrySelectorTest : public ::testing::Test {
protected:
    QWidget window;
    QWidget* elsewhere = new QWidget(&window);
    CountrySelector* selector = new CountrySelector(&window);
    QSignalSpy chosen{selector, &CountrySelector::countryChosen};
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
        EXPECT_TRUE(selector->isPopoverShown());
        EXPECT_EQ(shownChanges.size(), 1);
        return *selector->popover();
    }

    // The popover is gone and said so exactly once.
    void expectClosed()
    {
        EXPECT_FALSE(selector->isPopoverShown());
        ASSERT_EQ(shownChanges.size(), 2);
        EXPECT_EQ(shownChanges.at(0).at(0).toBool(), true);
        EXPECT_EQ(shownChanges.at(1).at(0).toBool(), false);
    }

    static QStringList codes(const QList<Country>& countries)
    {
        QStringList shown;
        std::ranges::transform(countries, std::back_inserter(shown), &Country::countryCode);
        return shown;
    }
};

TEST_F(CountrySelectorTest, FilteringMatchesNameOrCodeIgnoringCaseAndChoosingWritesTheCountry)
{
    CountryPickerPopover& popover = open();
    EXPECT_EQ(codes(popover.shownCountries()), QStringList({"US", "GB", "DE", "TR"}));
    const std::pair<const char*, QStringList> filters[] = {{"uNiTed", {"US", "GB"}}, {"tr", {"TR"}}, {"zz", {}}};
    for (const auto& [filter, shown] : filters) {
        popover.filterField().setText(filter);
        EXPECT_EQ(codes(popover.shownCountries()), shown) << filter;
    }
    QTest::keyClick(&popover.filterField(), Qt::Key_Return);
    EXPECT_TRUE(selector->isPopoverShown()) << "nothing to choose";

    popover.filterField().clear();
    QTest::keyClicks(&popover.filterField(), "united");
    QTest::keyClick(&popover.filterField(), Qt::Key_Down);
    QTest::keyClick(&popover.filterField(), Qt::Key_Return);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front().front().value<Country>().countryCode, "GB");
    EXPECT_EQ(selector->selectedCountry().value_or(Country{}).countryCode, "GB");
    EXPECT_TRUE(selector->button().text().endsWith("GB"));
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
    EXPECT_EQ(chosen.size(), 0);
    EXPECT_TRUE(selector->button().text().endsWith("US"));
}

} // namespace
