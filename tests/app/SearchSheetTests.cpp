#include "FocusChain.h"
#include "SearchSheetTestFixture.h"
#include "tests/support/CapturedOutput.h"

#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/search/AppActionButtonsView.h"
#include "TivrandApp/search/AppDetailsView.h"
#include "TivrandApp/search/AppRatingView.h"
#include "TivrandApp/search/PlatformPickerButton.h"
#include "TivrandApp/search/PlatformPickerView.h"
#include "TivrandApp/search/SearchFiltersView.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/sidebar/AppListView.h"
#include "TivrandApp/sidebar/CountryPickerPopover.h"
#include "TivrandApp/sidebar/CountrySelector.h"
#include "TivrandApp/ui/AppIconView.h"
#include "TivrandApp/ui/BusyIndicator.h"
#include "TivrandApp/ui/ElidedLabel.h"
#include "TivrandApp/ui/IconPlaceholder.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <functional>
#include <set>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::FakeCatalogServer;

namespace {

AppPresentationItem harborNotes(Platform platform = Platform::iPhone, const QString& countryCode = "US")
{
    return Testing::watchedItem("1000000001", "Harbor Notes", "Quayside Labs", platform, countryCode);
}

// The watch-list sidebar in a window of its own, and the search sheet it opens.
struct SidebarScene : Testing::SearchSheetEnvironment {
    QWidget window;
    AppListView* sidebar = nullptr;
    SearchView* sheet = nullptr;

    bool show()
    {
        sidebar = new AppListView(store, &window);
        (new QVBoxLayout(&window))->addWidget(sidebar);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    // Opens the sheet and waits until it is on screen.
    bool openSheet()
    {
        QTest::mouseClick(&sidebar->addAppButton(), Qt::LeftButton);
        sheet = sidebar->searchSheet();
        return sheet && QTest::qWaitForWindowExposed(sheet);
    }

    // Opens the sheet and waits for the fixture's results.
    bool search()
    {
        if (!openSheet())
            return false;
        submit(*sheet, "harbor");
        return !waitForRows(*sheet).isEmpty();
    }

    PlatformPickerButton& platformButton() const { return sheet->bar().filters().platformPickerButton(); }

    QStringList listedNames() const
    {
        QStringList names;
        for (const WatchedApp& watched : sidebar->watchedApps())
            names.append(watched.name);
        EXPECT_EQ(sidebar->list().count(), names.size());
        return names;
    }
};

struct SidebarTest : ::testing::Test, SidebarScene {};

TEST_F(SidebarTest, ListsTheWatchedAppsAndReloadsWhenTheStoreSavesButKeepsThemWhenReloadFails)
{
    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("2", "Tidewater Budget", "Ledgerline GmbH")));
    ASSERT_TRUE(show());
    EXPECT_EQ(listedNames(), QStringList({"Tidewater Budget"}));
    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("1", "harbor Notes", "Quayside Labs")));
    EXPECT_EQ(listedNames(), QStringList({"harbor Notes", "Tidewater Budget"}));

    ASSERT_TRUE(QSqlQuery(controller->database()).exec("ALTER TABLE watched_app RENAME TO watched_app_gone"));
    sidebar->reload();
    EXPECT_EQ(listedNames(), QStringList({"harbor Notes", "Tidewater Budget"}));
}

TEST_F(SidebarTest, AddAppPresentsOneWindowModalSheetThatStartsAfreshEachTime)
{
    ASSERT_TRUE(show());
    QTest::mouseClick(&sidebar->addAppButton(), Qt::LeftButton);
    QPointer<SearchView> sheet = sidebar->searchSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    sidebar->presentSearchSheet();
    EXPECT_EQ(sidebar->searchSheet(), sheet) << "one sheet at a time";

    sheet->viewModel().setSearchText("harbor");
    sheet->reject();
    ASSERT_TRUE(Testing::waitUntil([&] { return sheet.isNull(); })) << "a closed sheet is released";
    sidebar->presentSearchSheet();
    ASSERT_NE(sidebar->searchSheet(), nullptr);
    EXPECT_TRUE(sidebar->searchSheet()->viewModel().searchText().isEmpty());
}

TEST_F(SidebarTest, SubmittingTheFieldShowsARowPerAppAndClearingItHidesThem)
{
    ASSERT_TRUE(show() && openSheet());
    catalog.server().holdResponses();
    submit(*sheet, "harbor");
    ASSERT_TRUE(Testing::waitUntil([&] { return sheet->bar().filters().busyIndicator().isVisible(); }));
    catalog.server().releaseResponses();

    EXPECT_EQ(waitForRows(*sheet).size(), 6) << "a row per complete app record";

    // Clearing the field hides the results without a request.
    const std::size_t requests = catalog.requests().size();
    QLineEdit& field = sheet->bar().input().field();
    field.setText("h");
    QTest::keyClick(&field, Qt::Key_Backspace);
    EXPECT_EQ(sheet->resultView(), nullptr);
    QTest::keyClick(&field, Qt::Key_Return);
    Testing::pumpEvents(100ms);
    EXPECT_EQ(catalog.requests().size(), requests);
}

TEST_F(SidebarTest, PickingMacMovesTheCheckmarkAndSendsNothingAndThePopoverResetsItsFlagHoweverClosed)
{
    ASSERT_TRUE(show() && search());
    const std::size_t requests = catalog.requests().size();

    QTest::mouseClick(&platformButton(), Qt::LeftButton);
    ASSERT_NE(platformButton().picker(), nullptr);
    QTest::mouseClick(platformButton().picker()->row(Platform::Mac), Qt::LeftButton);
    EXPECT_EQ(sheet->viewModel().selectedPlatform(), Platform::Mac);
    Testing::pumpEvents(100ms);
    EXPECT_EQ(catalog.requests().size(), requests) << "changing the platform does not search again";

    QTest::mouseClick(&platformButton(), Qt::LeftButton);
    ASSERT_NE(platformButton().picker(), nullptr);
    for (const PlatformPickerRow* row : platformButton().picker()->rows())
        EXPECT_EQ(row->isMarked(), row->platform() == Platform::Mac) << row->text().toStdString();

    // However the popover closes, its flag follows.
    QTest::keyClick(platformButton().picker(), Qt::Key_Escape);
    EXPECT_FALSE(sheet->viewModel().showPlatformPicker());

    sheet->viewModel().setShowPlatformPicker(true);
    ASSERT_NE(platformButton().picker(), nullptr);
    platformButton().picker()->close();
    EXPECT_FALSE(sheet->viewModel().showPlatformPicker());

    sheet->viewModel().setShowPlatformPicker(true);
    sheet->viewModel().setShowPlatformPicker(false);
    EXPECT_EQ(platformButton().picker(), nullptr);
}

TEST_F(SidebarTest, TheCountryPickedInTheSelectorIsTheStorefrontOfTheNextSearch)
{
    ASSERT_TRUE(show() && openSheet());
    CountrySelector& selector = sheet->bar().filters().countrySelector();
    QTest::mouseClick(&selector.button(), Qt::LeftButton);
    ASSERT_NE(selector.popover(), nullptr);
    QTest::keyClicks(&selector.popover()->filterField(), "germany");
    QTest::keyClick(&selector.popover()->filterField(), Qt::Key_Return);
    EXPECT_FALSE(sheet->viewModel().showCountryPicker());
    submit(*sheet, "notes");
    waitForRows(*sheet);
    EXPECT_EQ(catalog.requests(FakeCatalogServer::Route::search).front().path, "/v1/catalog/DE/search");
}

TEST_F(SidebarTest, ClosingTheSheetWithItsPopoversOpenLeavesNothingBehind)
{
    ASSERT_TRUE(show() && openSheet());
    sheet->viewModel().setShowPlatformPicker(true);
    sheet->viewModel().setShowCountryPicker(true);
    QPointer<QWidget> platformPicker = platformButton().picker();
    QPointer<QWidget> countryPicker = sheet->bar().filters().countrySelector().popover();
    ASSERT_TRUE(platformPicker && countryPicker);
    QPointer<SearchView> closing(sheet);
    sheet->close();
    ASSERT_TRUE(Testing::waitUntil([&] { return closing.isNull(); }));
    EXPECT_TRUE(platformPicker.isNull() && countryPicker.isNull());
}

TEST_F(SidebarTest, KeyboardFocusIsDrawnOnEveryStopOfTheSheetThePlatformButtonAndItsPopoverRowsIncluded)
{
    applyDarkStyle(*qApp); // the style draws the focus frame, as on its own buttons
    ASSERT_TRUE(show() && search() && QTest::qWaitForWindowActive(sheet));
    // Controls only: a stop that is not one would show no focus at all.
    for (const QWidget* stop : Testing::tabStops())
        EXPECT_TRUE(qobject_cast<const QAbstractButton*>(stop) || qobject_cast<const QLineEdit*>(stop))
            << stop->metaObject()->className();

    const auto shot = [](QWidget& widget) { return widget.grab().toImage(); };
    PlatformPickerButton& button = platformButton();
    const QImage unfocused = shot(button);
    for (int presses = 0; presses < 5 && !button.hasFocus(); ++presses)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(button.hasFocus());
    EXPECT_NE(shot(button), unfocused);

    // Opened from the keyboard, the popover starts on the selected platform.
    QTest::keyClick(&button, Qt::Key_Space);
    ASSERT_NE(button.picker(), nullptr);
    PlatformPickerRow& iPhone = *button.picker()->row(Platform::iPhone);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(button.picker()));
    ASSERT_TRUE(iPhone.hasFocus());
    const QImage focusedRow = shot(iPhone);
    QTest::keyClick(&iPhone, Qt::Key_Tab);
    ASSERT_TRUE(button.picker()->row(Platform::iPad)->hasFocus());
    EXPECT_NE(shot(iPhone), focusedRow);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(sheet->viewModel().selectedPlatform(), Platform::iPad);
}

TEST_F(SidebarTest, TheSearchFieldAndTheCountryListShowTheStylesFocusFrameWhileTheyHaveTheFocus)
{
    applyDarkStyle(*qApp);
    ASSERT_TRUE(show() && openSheet() && QTest::qWaitForWindowActive(sheet));
    // Their bottom edges: away from the field's caret and from the list's rows.
    const auto bottomEdge = [](QWidget& widget) {
        const QImage shot = widget.grab().toImage();
        return shot.copy(0, shot.height() - 1, shot.width(), 1);
    };
    QLineEdit& field = sheet->bar().input().field();
    ASSERT_TRUE(field.hasFocus());
    const QImage focusedField = bottomEdge(field);
    CountrySelector& countries = sheet->bar().filters().countrySelector();
    countries.button().setFocus();
    EXPECT_NE(bottomEdge(field), focusedField);

    countries.setPopoverShown(true);
    ASSERT_TRUE(countries.popover() && QTest::qWaitForWindowActive(countries.popover()));
    QTest::keyClicks(&countries.popover()->filterField(), "germany");
    QListWidget& list = *countries.popover()->findChild<QListWidget*>();
    const QImage unfocusedList = bottomEdge(list);
    list.setFocus();
    ASSERT_TRUE(list.hasFocus());
    EXPECT_NE(bottomEdge(list), unfocusedList);
}

TEST_F(SidebarTest, ScreenReadersHearEveryControlsNameTheAppARowActsOnAndNoMarkup)
{
    ASSERT_TRUE(store.saveWatchedApp(Testing::watchedItem("2", "Tidewater Budget", "Ledgerline GmbH")));
    ASSERT_TRUE(show() && search());
    const auto text = [](QObject* object, QAccessible::Text kind = QAccessible::Name) {
        return QAccessible::queryAccessibleInterface(object)->text(kind);
    };

    // Every row has the same buttons: each says which app it acts on.
    SearchResultItemView& row = *sheet->resultView()->rows().front();
    const AppActionButtonsView& actions = row.actions();
    for (const auto& [button, action] : {std::pair{&actions.openButton(), "Open in App Store"},
                                         {&actions.copyButton(), "Copy Link"}, {actions.addButton(), "Add App"}})
        EXPECT_EQ(text(button), action + (": " + row.item().name));
    // The stars are part of one rating, read as the row shows it.
    auto* rating = row.findChild<AppRatingView*>();
    EXPECT_EQ(text(rating), rating->ratingText() + " stars, " + rating->ratingCountText());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(rating)->childCount(), 0);

    CountrySelector& countries = sheet->bar().filters().countrySelector();
    EXPECT_EQ(text(&countries.button(), QAccessible::Description), "United States");
    countries.setPopoverShown(true);
    ASSERT_NE(countries.popover(), nullptr);
    for (const auto& [object, name] : {std::pair<QObject*, QString>{sheet, "Add App"},
                                       {&sheet->bar().input().field(), "Search the App Store"},
                                       {&countries.popover()->filterField(), "Search countries"},
                                       {countries.popover()->findChild<QListWidget*>(), "Countries"}})
        EXPECT_EQ(text(object), name);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&sheet->bar().input().field())->childCount(), 0)
        << "its focus frame is no part of it to a screen reader";

    // A catalog's text that looks like markup is shown and read as it is.
    const QString markup = "<b>Bold</b> & co";
    const AppActionButtonsView marked("https://apps.apple.com/us/app/id1", markup, false);
    EXPECT_EQ(text(&marked.openButton(), QAccessible::Description), "Open in App Store: " + markup);
    QTextDocument shown;
    shown.setHtml(marked.openButton().toolTip());
    EXPECT_EQ(shown.toPlainText(), "Open in App Store: " + markup);
    ElidedLabel elided(markup + " and a name much too long to fit");
    elided.setFixedWidth(60);
    elided.show();
    QHelpEvent hovered(QEvent::ToolTip, QPoint(5, 5), elided.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&elided, &hovered);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(text(&elided, QAccessible::Description), "") << "read once, as its name";

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&sidebar->list());
    QStringList rowNames;
    for (int index = 0; index < list->childCount(); ++index)
        rowNames.append(list->child(index)->text(QAccessible::Name));
    EXPECT_TRUE(rowNames.contains("Tidewater Budget, Ledgerline GmbH")) << rowNames.join('|').toStdString();
}

TEST(SearchResultAdd, StoresTheAppAndClosesTheSheetUnlessItIsWatchedOrTheStoreFails)
{
    const struct {
        const char* name;
        std::function<bool(SidebarScene&)> before;
        int stored;
        QString refusal; // none: the sheet closes
    } cases[] = {
        {"new", [](auto&) { return true; }, 1, {}},
        {"on another platform", [](auto& scene) { return scene.store.saveWatchedApp(harborNotes(Platform::iPad)); }, 2, {}},
        {"in another country",
         [](auto& scene) { return scene.store.saveWatchedApp(harborNotes(Platform::iPhone, "GB")); }, 1,
         "This app is already added."},
        {"store failing",
         [](auto& scene) {
             return QSqlQuery(scene.controller->database())
                 .exec("CREATE TRIGGER refuse BEFORE INSERT ON watched_app BEGIN SELECT RAISE(ABORT, 'full'); END");
         },
         0, "The app could not be added to your watch list."},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        SidebarScene scene;
        ASSERT_TRUE(scene.show() && scene.search());
        ASSERT_TRUE(each.before(scene));
        QTest::mouseClick(scene.sheet->resultView()->rows().front()->actions().addButton(), Qt::LeftButton);
        EXPECT_EQ(scene.store.fetchWatchedApps().value_or(QList<WatchedApp>()).size(), each.stored);
        if (each.refusal.isEmpty()) {
            EXPECT_TRUE(Testing::waitUntil([&] { return scene.sidebar->searchSheet() == nullptr; }));
            continue;
        }
        TitledMessageBox* alert = scene.sheet->resultView()->alert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->informativeText(), each.refusal);
        EXPECT_EQ(alert->windowTitle(), "Warning");
        // Measured once Qt has laid the shown box out, which it does after the show event.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(alert));
        Testing::pumpEvents(100ms);
        EXPECT_GE(alert->width(), alert->titleBarWidth()) << "room for the whole title and the application's name";
        QTest::mouseClick(alert->buttons().front(), Qt::LeftButton);
        EXPECT_TRUE(scene.sheet->isVisible()) << "the sheet and its results stay";
    }
}

TEST(SearchResultRow, DetailsShowTheSubtitleOnlyWhenThereIsOneMarkupAsTextAndTheRatingAsPercentPointOneFWhateverTheLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Ties of the binary value round to even; 4.35 and 0.05 lie just off their ties.
    for (const auto& [value, text] : {std::pair{4.56, "4.6"}, {4.25, "4.2"}, {0.25, "0.2"}, {4.35, "4.3"}, {0.05, "0.1"}})
        EXPECT_EQ(AppRatingView(value, 0).ratingText(), text) << value;
    QLocale::setDefault(previous);
    EXPECT_EQ(AppRatingView(4.5, 1234).ratingCountText(), "1234 Ratings");

    AppPresentationItem item = harborNotes();
    EXPECT_EQ(AppDetailsView(item).lines(), QStringList({"Harbor Notes", "Quayside Labs"}));
    item.subtitle = "Notes by the sea";
    item.name = "<b>Bold</b> & <i>co</i>";
    const AppDetailsView details(item);
    EXPECT_EQ(details.lines(), QStringList({item.name, "Notes by the sea", "Quayside Labs"}));
    for (const QLabel* label : details.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
}

TEST(SearchResultRow, TheIconTakesTheIconUrlOnlyWhenItFormsAWebOne)
{
    const std::pair<QString, bool> cases[] = {
        {"https://is1-ssl.mzstatic.com/image/thumb/a/AppIcon.png/100x100bb.png", true},
        {"HTTP://example.com/icon.png", true},
        {"", false},
        {"not a url", false},
        {"http://exa mple.com/icon.png", false},
        {"file:///etc/passwd", false},
        {"ftp://example.com/icon.png", false},
        {"data:image/png;base64,iVBORw0KGgo=", false},
        {"http:/icon.png", false},
    };
    for (const auto& [text, used] : cases) {
        SCOPED_TRACE(text.toStdString());
        AppPresentationItem item = harborNotes();
        item.iconUrl = text;
        const SearchResultItemView row(item, true);
        EXPECT_EQ(row.findChild<AppIconView*>()->iconUrl(), used ? QUrl(text) : QUrl());
    }
}

TEST(AppIcon, TheSquareCarriesATurningIndicatorUntilTheIconComesAndLosesItWhenTheLoadFails)
{
    applyDarkStyle(*qApp);
    FakeCatalogServer catalog;
    catalog.server().holdResponses(".png");
    QWidget window;
    auto* loading = new AppIconView;
    auto* failing = new AppIconView;
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(loading);
    layout->addWidget(failing);
    loading->setIconUrl(catalog.iconUrl("slow").toString());
    failing->setIconUrl(catalog.server().url("/missing/icon.jpg").toString());
    window.show();

    const auto indicator = [](const AppIconView* icon) {
        return icon->placeholder() ? &icon->placeholder()->indicator() : nullptr;
    };
    ASSERT_TRUE(Testing::waitUntil([&] { return indicator(failing) && !indicator(failing)->isVisible(); }));
    EXPECT_FALSE(indicator(failing)->isTurning());
    ASSERT_NE(indicator(loading), nullptr);
    EXPECT_TRUE(indicator(loading)->isVisible() && indicator(loading)->isTurning());
    Testing::saveScreenshot(window, "icon-placeholders");

    catalog.server().releaseResponses();
    EXPECT_TRUE(Testing::waitUntil([&] { return loading->image().binder().loadedImage() && !loading->placeholder(); }));
    EXPECT_NE(failing->placeholder(), nullptr) << "the square stays";
}

TEST(SearchResultList, RowsRequestTheirIconsAsTheyAreScrolledIntoViewAndRowsNeverSeenRequestNothing)
{
    Testing::SearchSheetEnvironment environment;
    environment.catalog.answerApps(50);
    SearchView sheet(environment.store);
    sheet.show();
    environment.submit(sheet, "apps");
    const QList<SearchResultItemView*> rows = environment.waitForRows(sheet);
    ASSERT_EQ(rows.size(), 50);
    auto* scrollArea = sheet.resultView()->findChild<QScrollArea*>();
    ASSERT_NE(scrollArea, nullptr);

    using Paths = std::set<std::string>;
    const QWidget* viewport = scrollArea->viewport();
    const auto inView = [&] {
        Paths paths;
        for (const SearchResultItemView* row : rows) {
            const auto* icon = row->findChild<AppIconView*>();
            if (QRect(icon->mapTo(viewport, QPoint()), icon->size()).intersects(viewport->rect()))
                paths.insert(icon->iconUrl().path().toStdString());
        }
        return paths;
    };
    const auto requested = [&] {
        Paths paths;
        for (const Testing::RecordedRequest& request : environment.catalog.iconRequests())
            paths.insert(request.path);
        return paths;
    };

    // The rows are laid out on a later turn than they are made.
    Paths seen;
    ASSERT_TRUE(Testing::waitUntil([&] { return !(seen = inView()).empty() && requested() == seen; }))
        << requested().size() << " requested";
    Testing::pumpEvents(200ms);
    EXPECT_EQ(requested(), seen) << "only the rows in view ask for their icons";
    EXPECT_LT(seen.size(), 20u);

    scrollArea->verticalScrollBar()->setValue(scrollArea->verticalScrollBar()->maximum() / 3);
    const Paths scrolledTo = inView();
    EXPECT_FALSE(std::ranges::includes(seen, scrolledTo)) << "the scroll brings new rows into view";
    seen.insert(scrolledTo.begin(), scrolledTo.end());
    EXPECT_TRUE(Testing::waitUntil([&] { return requested() == seen; })) << requested().size() << " requested";
    Testing::pumpEvents(200ms);
    EXPECT_EQ(requested(), seen) << "rows never scrolled into view request nothing";
    EXPECT_EQ(environment.catalog.iconRequests().size(), seen.size()) << "each icon is asked for once";
}

TEST(SearchFailure, IsToldUnderTheSearchBarWithTheErrorPrintedWhileAnAnswerWithoutAppsIsNot)
{
    applyDarkStyle(*qApp);
    QUrl closed;
    {
        Testing::LoopbackServer gone;
        gone.start();
        closed = gone.url();
    }
    const struct {
        const char* name;
        FakeCatalogServer::Route route;
        int status;
        std::string body;
        QByteArray catalogUrl; // empty: the fake catalog's
        QString printed;       // empty: no failure
    } cases[] = {
        {"server error", FakeCatalogServer::Route::search, 500, "{}", {}, "❌ Arama Hatası: "},
        {"broken JSON", FakeCatalogServer::Route::search, 200, R"({"results": )", {}, "❌ Arama Hatası: "},
        {"refused", FakeCatalogServer::Route::search, 200, "{}", closed.toString().toUtf8(), "❌ Arama Hatası: "},
        {"contents error", FakeCatalogServer::Route::contents, 503, "{}", {}, "❌ Contents Hatası: "},
        {"no apps", FakeCatalogServer::Route::search, 200, R"({"results": {}})", {}, {}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        Testing::SearchSheetEnvironment environment;
        environment.catalog.setAnswer(each.route, each.status, each.body);
        const Testing::ScopedEnvironmentVariable catalogUrl(
            "TIVRAND_CATALOG_URL", each.catalogUrl.isEmpty() ? environment.catalog.baseUrl().toString().toUtf8() : each.catalogUrl);
        const Testing::CapturedOutput output;
        SearchView sheet(environment.store);
        sheet.show();
        environment.submit(sheet, "harbor");
        ASSERT_TRUE(Testing::waitUntil([&] { return !sheet.viewModel().isSearching(); }, 20s));
        EXPECT_EQ(sheet.resultView(), nullptr);
        EXPECT_EQ(sheet.failureLine().isVisible(), !each.printed.isEmpty());
        if (each.printed.isEmpty())
            continue;
        const QString printed = output.text().section(each.printed, 1).section('\n', 0, 0);
        EXPECT_FALSE(printed.isEmpty());
        EXPECT_EQ(sheet.failureLine().text(), "Search failed: " + printed);
        if (std::string_view(each.name) == "server error")
            Testing::saveScreenshot(sheet, "search-failed");

        environment.submit(sheet, "notes"); // a new search starts without the old failure
        EXPECT_FALSE(sheet.failureLine().isVisible());
        EXPECT_TRUE(Testing::waitUntil([&] { return !sheet.viewModel().isSearching(); }, 20s));
    }
}

TEST(SearchResultActions, OnlyHttpAndHttpsStoreLinksAreHandedToTheDesktopButAnyIsCopied)
{
    const std::pair<QString, bool> cases[] = {
        {"https://apps.apple.com/us/app/harbor-notes/id1000000001", true},
        {"http://apps.apple.com/us/app/id1", true},
        {"HTTPS://apps.apple.com/us/app/id1", true},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"itms-apps://apps.apple.com/app/id1", false},
        {"https://", false},
        {"not a url", false},
        {"", false},
    };
    for (const auto& [link, opens] : cases) {
        SCOPED_TRACE(link.toStdString());
        QList<QUrl> opened;
        AppActionButtonsView buttons(link, "Harbor Notes", false, [&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        QTest::mouseClick(&buttons.openButton(), Qt::LeftButton);
        EXPECT_EQ(opened, opens ? QList<QUrl>{QUrl(link)} : QList<QUrl>());
        QGuiApplication::clipboard()->setText("something else");
        QTest::mouseClick(&buttons.copyButton(), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), link);
    }
}

} // namespace
