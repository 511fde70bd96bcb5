#include "SearchSheetTestFixture.h"
#include "tests/support/CapturedOutput.h"

#include "TivrandApp/app/MainWindow.h"
#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/search/PlatformPickerButton.h"
#include "TivrandApp/search/PlatformPickerView.h"
#include "TivrandApp/search/SearchFiltersView.h"
#include "TivrandApp/settings/SettingsView.h"
#include "TivrandApp/settings/SettingsViewModel.h"
#include "TivrandApp/settings/SettingsWindow.h"
#include "TivrandApp/sidebar/AppListView.h"
#include "TivrandApp/ui/ElidedLabel.h"

#include <QAction>
#include <QWindow>
#include <QRegularExpression>
#include <QTimer>

using namespace Tivrand;
using namespace std::chrono_literals;

namespace {

using Testing::saveScreenshot;

TEST(MainWindow, SettingsHaveAShortcutWhereThePlatformDefinesNone)
{
    Testing::SearchSheetEnvironment environment;
    MainWindow main(environment.store);
    const QList<QAction*> actions = main.findChildren<QAction*>();
    const auto settings = std::ranges::find(actions, QAction::PreferencesRole, &QAction::menuRole);
    ASSERT_NE(settings, actions.end());
    const QList<QKeySequence> platform = QKeySequence::keyBindings(QKeySequence::Preferences);
    EXPECT_EQ((*settings)->shortcuts(), platform.isEmpty() ? QList{QKeySequence(Qt::CTRL | Qt::Key_Comma)} : platform);
}

// The windows a person sees, drawn dark and saved for looking at, with what they show checked on the way.
struct Screenshot : ::testing::Test, Testing::SearchSheetEnvironment {
    void SetUp() override { applyDarkStyle(*qApp); }
};

TEST_F(Screenshot, MainWindowAndSearchSheetShowTheCatalogsIconsFetchedOnceAndPrintWhyOneIsMissing)
{
    for (const auto& [appId, name, developer] : {std::tuple{"1000000001", "Harbor Notes", "Quayside Labs"},
                                                  {"1000000007", "Desk Lamp for Late Readers, Night Owls and Early Birds", "Warm Light Ltd"}}) {
        AppPresentationItem item = Testing::watchedItem(appId, name, developer);
        item.iconUrl = catalog.iconUrl(appId).toString();
        ASSERT_TRUE(store.saveWatchedApp(item));
    }

    const Testing::CapturedOutput output;
    MainWindow main(store);
    main.show();
    ASSERT_TRUE(waitForIcons(main.sidebar()));
    EXPECT_EQ(catalog.iconRequests().size(), 2u);
    const QStringList shownNames = [&] {
        QStringList names;
        for (const ElidedLabel* label : main.sidebar().findChildren<ElidedLabel*>())
            names.append(label->shownText());
        return names;
    }();
    EXPECT_TRUE(shownNames.contains("Harbor Notes"));
    EXPECT_EQ(shownNames.filter(QRegularExpression("^Desk Lamp.*…$")).size(), 1) << shownNames.join('|').toStdString();
    saveScreenshot(main, "main-window");

    main.sidebar().presentSearchSheet();
    SearchView* sheet = main.sidebar().searchSheet();
    sheet->resize(1000, 680);

    submit(*sheet, "harbor");
    const auto rows = waitForRows(*sheet);
    ASSERT_TRUE(!rows.isEmpty() && waitForIcons(*sheet));
    AppIconView& firstIcon = *rows.front()->findChild<AppIconView*>();
    const QImage shot = firstIcon.grab().toImage();
    EXPECT_EQ(shot.pixel(shot.rect().center()), Testing::FakeCatalogServer::iconColor(firstIcon.iconUrl()).rgb());
    QSet<QUrl> shown;
    for (const QWidget* root : std::initializer_list<const QWidget*>{sheet, &main.sidebar()}) {
        for (const AppIconView* icon : root->findChildren<AppIconView*>())
            shown.insert(icon->iconUrl());
    }
    shown.remove(QUrl());
    EXPECT_EQ(catalog.iconRequests().size(), std::size_t(shown.size()));
    EXPECT_TRUE(Testing::waitUntil([&] { return output.contains("Icon yükleme hatası: The input resource is empty."); }));
    saveScreenshot(*sheet, "search-sheet");

    PlatformPickerButton& platformButton = sheet->bar().filters().platformPickerButton();
    QTest::mouseClick(&platformButton, Qt::LeftButton);
    ASSERT_NE(platformButton.picker(), nullptr);
    saveScreenshot(*platformButton.picker(), "platform-picker");
}

TEST(DesktopKeys, CtrlQQuitsFromEveryWindow)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* shown : {"main window", "search sheet", "settings"}) {
        SCOPED_TRACE(shown);
        EXPECT_EXIT(
            {
                Testing::SearchSheetEnvironment environment;
                MainWindow main(environment.store);
                main.show();
                QWidget* window = &main;
                if (std::string_view(shown) == "search sheet") {
                    main.sidebar().presentSearchSheet();
                    window = main.sidebar().searchSheet();
                } else if (std::string_view(shown) == "settings") {
                    showSettingsWindow(&main);
                    window = main.findChild<SettingsView*>()->window();
                }
                const bool active = QTest::qWaitForWindowActive(window);
                QWidget* focused = window->focusWidget() ? window->focusWidget() : window;
                QTimer::singleShot(0, focused, [focused] { QTest::keyClick(focused, Qt::Key_Q, Qt::ControlModifier); });
                // Bounds the wait for a key that does nothing.
                QTimer::singleShot(30s, [] { QCoreApplication::exit(1); });
                // Without the exit-time leak check: the test program's application and its font caches live on.
                std::_Exit(active ? QApplication::exec() : 2);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST(DesktopKeys, EscapeAndCtrlWCloseTheSettingsWindowAndTheSearchSheet)
{
    const Testing::CapturedOutput output; // what the real keyring has is no business of the test's log
    Testing::SearchSheetEnvironment environment;
    QWidget owner;
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        SCOPED_TRACE(key.toString().toStdString());
        showSettingsWindow(&owner);
        QWidget* window = owner.findChild<SettingsView*>()->window();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keySequence(window, key);
        EXPECT_FALSE(window->isVisible());

        SearchView sheet(environment.store);
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
        QTest::keySequence(QApplication::focusWidget(), key); // the search field's
        EXPECT_FALSE(sheet.isVisible());
    }
    // The real keyring's reads end before the test does.
    EXPECT_TRUE(Testing::waitUntil([&] { return !owner.findChild<SettingsView*>()->viewModel().isLoading(); }, 40s));
}

TEST_F(Screenshot, SettingsWindowIsMadeOncePerOwnerOverItAndFramesItsContentInsideTheProgramsMinimumSize)
{
    const Testing::CapturedOutput output; // what the real keyring has is no business of the test's log
    {
        QWidget gone;
        showSettingsWindow(&gone);
    }
    QWidget owner;
    owner.setGeometry(300, 200, 1100, 900);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    showSettingsWindow(&owner);
    showSettingsWindow(&owner);
    const auto views = owner.findChildren<SettingsView*>();
    ASSERT_EQ(views.size(), 1) << "made again after its first owner is gone, then reused";
    QWidget& window = *views.front()->window();
    EXPECT_EQ(window.minimumSize(), QSize(800, 600));
    EXPECT_EQ(views.front()->size(), QSize(650, 480));
    EXPECT_EQ(window.windowHandle()->transientParent(), owner.windowHandle());
    EXPECT_EQ(window.windowHandle()->type(), Qt::Dialog) << "the window manager hears of the owner only for a dialog";
    EXPECT_LE((window.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 4) << "centred over it";
    saveScreenshot(window, "settings", 0x40);
    // The real keyring's reads end before the test does.
    EXPECT_TRUE(Testing::waitUntil([&] { return !views.front()->viewModel().isLoading(); }, 40s));
}

} // namespace
