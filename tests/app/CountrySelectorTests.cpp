#include "TivrandApp/sidebar/CountryPickerPopover.h"
#include "TivrandApp/sidebar/CountrySelector.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

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
        for (const Country& each : countries)
            shown.append(each.countryCode);
        return shown;
    }
};

TEST_F(CountrySelectorTest, ShowsTheSelectedCountry)
{
    EXPECT_TRUE(selector->button().text().endsWith("US"));
    selector->setSelectedCountry(std::nullopt);
    EXPECT_FALSE(selector->button().text().isEmpty());
}

TEST_F(CountrySelectorTest, FilteringMatchesNameOrCodeIgnoringCase)
{
    CountryPickerPopover& popover = open();
    EXPECT_TRUE(popover.filterField().text().isEmpty());
    EXPECT_EQ(codes(popover.shownCountries()), QStringList({"US", "GB", "DE", "TR"}));

    QTest::keyClicks(&popover.filterField(), "uNiTed");
    EXPECT_EQ(codes(popover.shownCountries()), QStringList({"US", "GB"}));
    popover.filterField().setText("tr");
    EXPECT_EQ(codes(popover.shownCountries()), QStringList({"TR"}));
    popover.filterField().setText("zz");
    EXPECT_TRUE(popover.shownCountries().isEmpty());
    QTest::keyClick(&popover.filterField(), Qt::Key_Return);
    EXPECT_TRUE(selector->isPopoverShown()) << "nothing to choose";
    EXPECT_EQ(chosen.size(), 0);
}

TEST_F(CountrySelectorTest, ChoosingACountryWritesItAndClosesThePopover)
{
    CountryPickerPopover& popover = open();
    QTest::keyClicks(&popover.filterField(), "united");
    QTest::keyClick(&popover.filterField(), Qt::Key_Down);
    QTest::keyClick(&popover.filterField(), Qt::Key_Return);

    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front().front().value<Country>().countryCode, "GB");
    ASSERT_TRUE(selector->selectedCountry().has_value());
    EXPECT_EQ(selector->selectedCountry()->countryCode, "GB");
    EXPECT_TRUE(selector->button().text().endsWith("GB"));
    expectClosed();
}

TEST_F(CountrySelectorTest, EscapeClosesThePopoverAndResetsTheFlag)
{
    CountryPickerPopover& popover = open();
    QTest::keyClick(&popover.filterField(), Qt::Key_Escape);
    expectClosed();
    EXPECT_EQ(chosen.size(), 0);
    EXPECT_EQ(selector->selectedCountry()->countryCode, "US");
}

TEST_F(CountrySelectorTest, AClickOutsideClosesThePopoverAndResetsTheFlag)
{
    open();
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPoint outside = elsewhere->mapTo(&window, elsewhere->rect().center());
    QTest::mouseClick(handle, Qt::LeftButton, {}, outside);
    Testing::waitUntil([&] { return !selector->isPopoverShown(); }, 2s);
    expectClosed();
}

TEST_F(CountrySelectorTest, ClickingTheButtonAgainClosesThePopoverForGood)
{
    open();
    const QPoint onButton = selector->button().mapTo(&window, selector->button().rect().center());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, onButton);
    Testing::pumpEvents(100ms);
    expectClosed();
}

TEST_F(CountrySelectorTest, TheOwnerCanCloseThePopover)
{
    open();
    selector->setPopoverShown(false);
    expectClosed();
    selector->setPopoverShown(false);
    EXPECT_EQ(shownChanges.size(), 2) << "no change, no signal";
}

} // namespace
