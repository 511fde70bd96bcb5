#pragma once

#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/search/SearchBarView.h"
#include "TivrandApp/search/SearchInputView.h"
#include "TivrandApp/search/SearchResultItemView.h"
#include "TivrandApp/search/SearchResultView.h"
#include "TivrandApp/search/SearchView.h"
#include "TivrandApp/services/CoreDataManager.h"
#include "TivrandApp/ui/AppIconView.h"

#include "Lumen/views/LMImage.h"

#include "tests/support/EventLoop.h"
#include "tests/support/FakeCatalogServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

#include <chrono>
#include <memory>

namespace Tivrand::Testing {

// A complete app item, as the sheet would store it.
inline AppPresentationItem watchedItem(const QString& appId, const QString& name, const QString& developer,
                                       Platform platform = Platform::iPhone, const QString& countryCode = "US")
{
    AppPresentationItem item;
    item.id = appId + "-item";
    item.appId = appId;
    item.name = name;
    item.developerName = developer;
    item.appStoreUrl = "https://apps.apple.com/us/app/id" + appId;
    item.platform = platform;
    item.country.countryCode = countryCode;
    return item;
}

// A private in-memory store and the fake catalog, which every view model made meanwhile asks.
struct SearchSheetEnvironment {
    FakeCatalogServer catalog;
    ScopedEnvironmentVariable catalogUrl{"TIVRAND_CATALOG_URL", catalog.baseUrl().toString().toUtf8()};
    ScopedEnvironmentVariable catalogToken{"TIVRAND_CATALOG_TOKEN", "test-token"};
    std::unique_ptr<PersistenceController> controller = PersistenceController::openInMemory().value();
    CoreDataManager store{controller->connectionName()};

    // The names of the catalog fixture's complete app records, in answer order.
    static QStringList fixtureAppNames()
    {
        return {"Harbor Notes", "Tidewater Budget", "Pinecone Timer", "Bare Bones", "Desk Lamp", "Orbit Gallery"};
    }

    // Types `text` into the sheet's field and presses Return.
    static void submit(SearchView& sheet, const QString& text)
    {
        QLineEdit& field = sheet.bar().input().field();
        field.clear();
        QTest::keyClicks(&field, text);
        QTest::keyClick(&field, Qt::Key_Return);
    }

    // Waits until the sheet shows its result rows; answers them.
    static QList<SearchResultItemView*> waitForRows(SearchView& sheet)
    {
        const bool shown = waitUntil([&] { return sheet.resultView() && !sheet.resultView()->rows().isEmpty(); },
                                     std::chrono::seconds(15));
        EXPECT_TRUE(shown) << "the result rows never appeared";
        return shown ? sheet.resultView()->rows() : QList<SearchResultItemView*>();
    }

    // Whether the icon shows its image, done fading in.
    static bool showsIcon(const AppIconView& icon)
    {
        return icon.image().binder().loadedImage() && !icon.image().graphicsEffect();
    }

    // Waits until every icon under `root` that has a URL shows its image.
    static bool waitForIcons(const QWidget& root)
    {
        return waitUntil(
            [&] {
                for (const AppIconView* icon : root.findChildren<AppIconView*>()) {
                    if (!icon->iconUrl().isEmpty() && !showsIcon(*icon))
                        return false;
                }
                return true;
            },
            std::chrono::seconds(15));
    }

    static QStringList names(const QList<SearchResultItemView*>& rows)
    {
        QStringList shown;
        for (const SearchResultItemView* row : rows)
            shown.append(row->item().name);
        return shown;
    }

    int storedAppCount() const
    {
        QSqlQuery query(controller->database());
        return query.exec("SELECT COUNT(*) FROM watched_app") && query.next() ? query.value(0).toInt() : -1;
    }
};

class SearchSheetTestFixture : public ::testing::Test, public SearchSheetEnvironment {};

} // namespace Tivrand::Testing
