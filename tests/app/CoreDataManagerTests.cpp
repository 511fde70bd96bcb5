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

    QList<WatchedApp> fetched()
    {
        auto apps = manager.fetchWatchedApps();
        EXPECT_TRUE(apps.has_value());
        return apps.value_or(QList<WatchedApp>());
    }

    void exec(const QString& sql) { ASSERT_TRUE(QSqlQuery(store->database()).exec(sql)) << sql.toStdString(); }
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
    exec("INSERT INTO keyword (watched_app_id, term, country_code, last_update) SELECT id, 'photo', 'US', 0 FROM watched_app");
    AppPresentationItem changed = makeItem("42", Platform::iPhone, "US", "Photo Editor Pro");
    changed.subtitle.reset();
    changed.rating = 3.5;
    changed.ratingCount = 2000;

    ASSERT_TRUE(manager.saveWatchedApp(changed));

    EXPECT_EQ(fetched(), QList<WatchedApp>{watchedFrom(changed)});
    // The record is updated, not replaced, so what hangs off it survives.
    QSqlQuery keywords(store->database());
    ASSERT_TRUE(keywords.exec("SELECT count(*) FROM keyword") && keywords.next());
    EXPECT_EQ(keywords.value(0).toInt(), 1);
    EXPECT_EQ(saves.count(), 2);
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
    ASSERT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "US")));
    exec("DROP TABLE watched_app");
    const CapturedOutput output;

    EXPECT_FALSE(manager.isAppWatched("42", Platform::iPhone));
    EXPECT_FALSE(manager.saveWatchedApp(makeItem("43", Platform::iPhone, "US")));
    EXPECT_FALSE(manager.fetchWatchedApps().has_value());

    const QStringList lines = output.text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << output.text().toStdString();
    EXPECT_TRUE(lines[0].startsWith("❌ WatchedApp platform kontrol hatası: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("❌ WatchedApp kaydetme hatası: ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("❌ WatchedApp getirme hatası: ")) << lines[2].toStdString();
    EXPECT_EQ(saves.count(), 1);
}

TEST(CoreDataManagerShared, WorksOnTheSharedStore)
{
    CoreDataManager& shared = CoreDataManager::shared();
    QSignalSpy saves(&shared, &CoreDataManager::didSave);
    ASSERT_TRUE(shared.saveWatchedApp(makeItem("42", Platform::Mac, "US")));
    EXPECT_EQ(&shared, &CoreDataManager::shared());
    EXPECT_TRUE(shared.isAppWatched("42", Platform::Mac));
    EXPECT_EQ(saves.count(), 1);
}
