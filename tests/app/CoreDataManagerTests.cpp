#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/services/CoreDataManager.h"

#include "tests/support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSqlQuery>

using namespace Tivrand;
using Testing::CapturedOutput;

namespace {

AppPresentationItem makeItem(const QString& appId, Platform platform, const QString& countryCode,
                             const QString& name = "Photo Editor")
{
    AppPresentationItem item;
    item.id = "item-" + appId;
    item.name = name;
    item.developerName = "Tivrand Labs";
    item.subtitle = "Edit photos";
    item.rating = 4.25;
    item.ratingCount = 1234;
    item.appStoreUrl = "https://apps.apple.com/us/app/id" + appId;
    item.iconUrl = "https://is1-ssl.mzstatic.com/" + appId + "/100x100bb.png";
    item.appId = appId;
    item.platform = platform;
    item.country.countryCode = countryCode;
    return item;
}

WatchedApp watchedFrom(const AppPresentationItem& item)
{
    return {item.appId, item.platform,    item.country.countryCode, item.name,   item.developerName,
            item.subtitle, item.iconUrl, item.appStoreUrl,          item.rating, item.ratingCount};
}

struct CoreDataManagerTest : ::testing::Test {
    std::unique_ptr<PersistenceController> store = PersistenceController::openInMemory().value();
    CoreDataManager manager{store->connectionName()};
    QSignalSpy saves{&manager, &CoreDataManager::didSave};

    QList<WatchedApp> fetched() { return manager.fetchWatchedApps().value_or(QList<WatchedApp>()); }

    int count(const QString& table)
    {
        QSqlQuery query(store->database());
        return query.exec("SELECT count(*) FROM " + table) && query.next() ? query.value(0).toInt() : -1;
    }
};

} // namespace

TEST_F(CoreDataManagerTest, SavedAppsComeBackWithEveryFieldOrderedByNameThenIdentity)
{
    AppPresentationItem withoutSubtitle = makeItem("7", Platform::Vision, "TR", "Atlas");
    withoutSubtitle.subtitle.reset();
    withoutSubtitle.iconUrl.clear();
    const AppPresentationItem full = makeItem("42", Platform::iPhone, "US");
    ASSERT_TRUE(manager.saveWatchedApp(full));
    ASSERT_TRUE(manager.saveWatchedApp(withoutSubtitle));
    EXPECT_EQ(fetched(), (QList<WatchedApp>{watchedFrom(withoutSubtitle), watchedFrom(full)}));
    EXPECT_EQ(saves.count(), 2);

    // Other countries and platforms are records of their own.
    ASSERT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "DE")));
    ASSERT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPad, "US")));
    for (const auto& [appId, name] : {std::pair{"3", "beta"}, {"2", "Alpha"}, {"1", "alpha"}, {"0", "Alpha"}})
        ASSERT_TRUE(manager.saveWatchedApp(makeItem(appId, Platform::Mac, "US", name)));
    QStringList order;
    for (const WatchedApp& app : fetched())
        order.append(app.name + '/' + app.appId + '/' + rawValue(app.platform) + '/' + app.countryCode);
    EXPECT_EQ(order, QStringList({"Alpha/0/mac/US", "Alpha/2/mac/US", "alpha/1/mac/US", "Atlas/7/realityDevice/TR",
                                  "beta/3/mac/US", "Photo Editor/42/ipad/US", "Photo Editor/42/iphone/DE",
                                  "Photo Editor/42/iphone/US"}));
}

TEST_F(CoreDataManagerTest, SavingTheSameAppPlatformAndCountryUpdatesInPlace)
{
    ASSERT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "US")));
    ASSERT_TRUE(QSqlQuery(store->database())
                    .exec("INSERT INTO keyword (watched_app_id, term, country_code, last_update)"
                          " SELECT id, 'photo', 'US', 0 FROM watched_app"));
    AppPresentationItem changed = makeItem("42", Platform::iPhone, "US", "Photo Editor Pro");
    changed.subtitle.reset();
    changed.rating = 3.5;
    ASSERT_TRUE(manager.saveWatchedApp(changed));
    EXPECT_EQ(fetched(), QList<WatchedApp>{watchedFrom(changed)});
    EXPECT_EQ(count("keyword"), 1) << "updated, not replaced, so what hangs off it survives";
}

TEST_F(CoreDataManagerTest, WatchedCheckSpansCountriesButNotPlatforms)
{
    EXPECT_FALSE(manager.isAppWatched("42", Platform::iPhone));
    ASSERT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "DE")));
    EXPECT_TRUE(manager.isAppWatched("42", Platform::iPhone));
    EXPECT_FALSE(manager.isAppWatched("42", Platform::iPad));
    EXPECT_FALSE(manager.isAppWatched("4", Platform::iPhone));
    EXPECT_FALSE(manager.isAppWatched("42' OR '1'='1", Platform::iPhone));
}

TEST_F(CoreDataManagerTest, ItemsWithoutIdentityAreRefusedAndTheStoreStaysUsable)
{
    {
        const CapturedOutput output;
        EXPECT_FALSE(manager.saveWatchedApp(makeItem("", Platform::iPhone, "US")));
        EXPECT_FALSE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "")));
        EXPECT_TRUE(output.contains("❌ WatchedApp kaydetme hatası: "));
    }
    EXPECT_EQ(saves.count(), 0);
    // A failed save must not leave its transaction open behind it.
    EXPECT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "US")));
    EXPECT_EQ(fetched().size(), 1);
}

TEST_F(CoreDataManagerTest, BrokenStoreFailuresArePrintedAndReported)
{
    ASSERT_TRUE(QSqlQuery(store->database()).exec("DROP TABLE watched_app"));
    const CapturedOutput output;
    EXPECT_FALSE(manager.isAppWatched("42", Platform::iPhone));
    EXPECT_FALSE(manager.saveWatchedApp(makeItem("43", Platform::iPhone, "US")));
    EXPECT_FALSE(manager.fetchWatchedApps().has_value());

    const QStringList lines = output.text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << output.text().toStdString();
    EXPECT_TRUE(lines[0].startsWith("❌ WatchedApp platform kontrol hatası: "));
    EXPECT_TRUE(lines[1].startsWith("❌ WatchedApp kaydetme hatası: "));
    EXPECT_TRUE(lines[2].startsWith("❌ WatchedApp getirme hatası: "));
    EXPECT_EQ(saves.count(), 0);
}
