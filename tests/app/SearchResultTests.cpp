#include "SearchSheetTestFixture.h"

#include "TivrandApp/search/AppActionButtonsView.h"
#include "TivrandApp/search/AppDetailsView.h"
#include "TivrandApp/search/AppRatingView.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/sidebar/AppListView.h"
#include "TivrandApp/ui/AppIconView.h"
#include "tests/support/CapturedOutput.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Tivrand;
using namespace std::chrono_literals;

namespace {

AppPresentationItem harborNotes(Platform platform = Platform::iPhone, const QString& countryCode = "US")
{
    return Testing::watchedItem("1000000001", "Harbor Notes", "Quayside Labs", platform, countryCode);
}

// The sidebar in a window, with the search sheet it opened showing the fixture's results.
class SearchResultAddTest : public Testing::SearchSheetTestFixture {
protected:
    QWidget window;
    AppListView* sidebar = new AppListView(store, &window);
    SearchView* sheet = nullptr;

    void SetUp() override
    {
        (new QVBoxLayout(&window))->addWidget(sidebar);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(&sidebar->addAppButton(), Qt::LeftButton);
        sheet = sidebar->searchSheet();
        ASSERT_NE(sheet, nullptr);
        submit(*sheet, "harbor");
        ASSERT_FALSE(waitForRows(*sheet).isEmpty());
    }

    void addFirstApp() { QTest::mouseClick(sheet->resultView()->rows().front()->actions().addButton(), Qt::LeftButton); }

    // The sheet is still there with its results and a "Warning" alert saying `message`.
    void expectRefusedWith(const QString& message)
    {
        ASSERT_NE(sidebar->searchSheet(), nullptr);
        EXPECT_TRUE(sheet->isVisible());
        ASSERT_NE(sheet->resultView(), nullptr) << "the results stay";
        QMessageBox* alert = sheet->resultView()->alert();
        ASSERT_NE(alert, nullptr);
        EXPECT_TRUE(alert->isVisible());
        EXPECT_EQ(alert->windowTitle(), "Warning");
        EXPECT_EQ(alert->text(), "Warning");
        EXPECT_EQ(alert->informativeText(), message);
        ASSERT_EQ(alert->buttons().size(), 1);
        EXPECT_EQ(alert->buttons().front()->text(), "OK");

        QTest::mouseClick(alert->buttons().front(), Qt::LeftButton);
        EXPECT_FALSE(alert->isVisible());
        EXPECT_TRUE(sheet->isVisible());
    }
};

TEST_F(SearchResultAddTest, AddingAnAppStoresItClosesTheSheetAndTheSidebarShowsIt)
{
    addFirstApp();
    EXPECT_EQ(storedAppCount(), 1);
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_TRUE(Testing::waitUntil([&] { return sidebar->searchSheet() == nullptr; })) << "the sheet goes away";

    ASSERT_EQ(sidebar->watchedApps().size(), 1);
    EXPECT_EQ(sidebar->watchedApps().front().name, "Harbor Notes");
    EXPECT_EQ(sidebar->watchedApps().front().platform, Platform::iPhone);
    EXPECT_EQ(sidebar->list().count(), 1);
}

TEST_F(SearchResultAddTest, AnAppWatchedOnThatPlatformInAnotherCountryIsRefused)
{
    ASSERT_TRUE(store.saveWatchedApp(harborNotes(Platform::iPhone, "GB")));
    addFirstApp();
    EXPECT_EQ(storedAppCount(), 1) << "nothing more is stored";
    expectRefusedWith("This app is already added.");
}

TEST_F(SearchResultAddTest, TheSameAppOnAnotherPlatformIsStored)
{
    ASSERT_TRUE(store.saveWatchedApp(harborNotes(Platform::iPad)));
    addFirstApp();
    EXPECT_EQ(storedAppCount(), 2);
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(SearchResultAddTest, AFailingStoreKeepsTheSheetOpenAndSaysSo)
{
    QSqlQuery refuse(controller->database());
    ASSERT_TRUE(refuse.exec("CREATE TRIGGER refuse_watched_app BEFORE INSERT ON watched_app"
                            " BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    addFirstApp();
    EXPECT_EQ(storedAppCount(), 0);
    EXPECT_TRUE(sidebar->watchedApps().isEmpty());
    expectRefusedWith("The app could not be added to your watch list.");
}

class SearchResultIconTest : public Testing::SearchSheetTestFixture {};

TEST(SearchResultRow, ShowsRatingWithOneDecimalWhateverTheLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    AppRatingView rating(4.56, 0);
    AppRatingView whole(5, 1234);
    QLocale::setDefault(previous);

    EXPECT_EQ(rating.ratingText(), "4.6");
    EXPECT_EQ(rating.ratingCountText(), "0 Ratings");
    EXPECT_EQ(whole.ratingText(), "5.0");
    EXPECT_EQ(whole.ratingCountText(), "1234 Ratings");
}

TEST(SearchResultRow, DetailsShowTheSubtitleOnlyWhenThereIsOneAndMarkupAsText)
{
    AppPresentationItem item = harborNotes();
    EXPECT_EQ(AppDetailsView(item).lines(), QStringList({"Harbor Notes", "Quayside Labs"}));
    item.subtitle = "Notes by the sea";
    item.name = "<b>Bold</b> & <i>co</i>";
    const AppDetailsView details(item);
    EXPECT_EQ(details.lines(), QStringList({item.name, "Notes by the sea", "Quayside Labs"}));
    for (const QLabel* label : details.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
}

TEST(SearchResultRow, TheIconTakesTheIconUrlOnlyWhenItFormsOne)
{
    const std::pair<QString, QUrl> cases[] = {
        {"https://is1-ssl.mzstatic.com/image/thumb/a/AppIcon.png/100x100bb.png",
         QUrl("https://is1-ssl.mzstatic.com/image/thumb/a/AppIcon.png/100x100bb.png")},
        {"", QUrl()},
        {"not a url", QUrl()},
        {"http://exa mple.com/icon.png", QUrl()},
    };
    for (const auto& [text, expected] : cases) {
        AppPresentationItem item = harborNotes();
        item.iconUrl = text;
        const SearchResultItemView row(item, true);
        const auto* icon = row.findChild<AppIconView*>();
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->iconUrl(), expected) << text.toStdString();
        EXPECT_EQ(icon->size(), QSize(40, 40));
    }
}

TEST_F(SearchResultIconTest, RowsShowTheCatalogsIconsAndPrintWhyOneIsMissing)
{
    const Testing::CapturedOutput output;
    SearchView sheet(store);
    sheet.show();
    submit(sheet, "harbor");
    const auto rows = waitForRows(sheet);
    ASSERT_TRUE(waitForIcons(sheet));

    std::size_t withIcon = 0;
    for (const SearchResultItemView* row : rows) {
        auto* icon = row->findChild<AppIconView*>();
        ASSERT_NE(icon, nullptr);
        SCOPED_TRACE(row->item().name.toStdString());
        if (icon->iconUrl().isEmpty()) {
            EXPECT_TRUE(icon->image().binder().loaded());
            EXPECT_NE(icon->image().placeholderWidget(), nullptr) << "the gray square stays";
            continue;
        }
        ++withIcon;
        EXPECT_TRUE(showsIcon(*icon));
        const QImage shot = icon->grab().toImage();
        const QRgb served = Testing::FakeCatalogServer::iconColor(icon->iconUrl()).rgb();
        EXPECT_EQ(shot.pixel(shot.rect().center()), served);
        EXPECT_NE(shot.pixel(0, 0), served) << "rounded corners";
    }
    EXPECT_GT(withIcon, 0u);
    EXPECT_LT(withIcon, std::size_t(rows.size()));
    EXPECT_EQ(catalog.iconRequests().size(), withIcon);
    EXPECT_TRUE(Testing::waitUntil([&] { return output.contains("Icon yükleme hatası: The input resource is empty."); }));
}

TEST(SearchResultActions, OnlyHttpAndHttpsStoreLinksAreHandedToTheDesktopButAnyIsCopied)
{
    const struct {
        QString link;
        bool opened;
    } cases[] = {
        {"https://apps.apple.com/us/app/harbor-notes/id1000000001", true},
        {"http://apps.apple.com/us/app/id1", true},
        {"HTTPS://apps.apple.com/us/app/id1", true},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"itms-apps://apps.apple.com/app/id1", false},
        {"smb://server/share", false},
        {"https://", false},
        {"not a url", false},
        {"", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.link.toStdString());
        QList<QUrl> opened;
        AppActionButtonsView buttons(test.link, false, [&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        QTest::mouseClick(&buttons.openButton(), Qt::LeftButton);
        EXPECT_EQ(opened, test.opened ? QList<QUrl>{QUrl(test.link)} : QList<QUrl>());

        // Copying hands over the text as it is, URL or not.
        QGuiApplication::clipboard()->setText("something else");
        QTest::mouseClick(&buttons.copyButton(), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), test.link);
    }
}

} // namespace
