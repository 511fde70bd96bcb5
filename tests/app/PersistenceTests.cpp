#include "SearchSheetTestFixture.h"

#include "TivrandApp/Persistence/StoreSchema.h"

#include "tests/support/CapturedOutput.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdlib>

using namespace Tivrand;

namespace {

QVariant scalar(const QSqlDatabase& database, const QString& sql)
{
    QSqlQuery query(database);
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

void exec(const QSqlDatabase& database, const QString& sql)
{
    ASSERT_TRUE(QSqlQuery(database).exec(sql)) << sql.toStdString();
}

int rowCount(const QSqlDatabase& database, const char* table)
{
    return scalar(database, QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

AppPresentationItem makeItem(const QString& appId, Platform platform, const QString& countryCode,
                             const QString& name = "Photo Editor")
{
    AppPresentationItem item = Testing::watchedItem(appId, name, "Tivrand Labs", platform, countryCode);
    item.subtitle = "Edit photos";
    item.rating = 4.25;
    item.ratingCount = 1234;
    item.iconUrl = "https://is1-ssl.mzstatic.com/" + appId + "/100x100bb.png";
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
};

} // namespace

TEST(PersistenceController, OpensNewStoreWithSchemaInItsOwnFolderReopensItAndRefusesStoresItCannotRead)
{
    QTemporaryDir root;
    const QString path = root.filePath("nested/folder/TivrandApp.sqlite");
    {
        auto store = PersistenceController::open(path);
        ASSERT_TRUE(store.has_value()) << store.error().message.toStdString();
        EXPECT_EQ(scalar((*store)->database(), "PRAGMA user_version").toInt(), currentStoreSchemaVersion);
        exec((*store)->database(), "INSERT INTO item (timestamp) VALUES (1)");
    }
    {
        auto reopened = PersistenceController::open(path);
        ASSERT_TRUE(reopened.has_value());
        EXPECT_EQ(rowCount((*reopened)->database(), "item"), 1);
        exec((*reopened)->database(), "PRAGMA user_version = 99");
    }
    EXPECT_TRUE(PersistenceController::open(path).error().message.contains("99"));

    QFile garbage(root.filePath("garbage.sqlite"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) == 4096 && garbage.flush());
    EXPECT_FALSE(PersistenceController::open(garbage.fileName()).has_value());
    EXPECT_FALSE(PersistenceController::open(QString()).has_value());
}

TEST(PersistenceController, DeletingAWatchedAppCascadesToEverythingItOwns)
{
    auto store = PersistenceController::openInMemory();
    ASSERT_TRUE(store.has_value());
    const QSqlDatabase database = (*store)->database();
    for (const char* statement : {
             "INSERT INTO watched_app (id, app_id, platform, country_code, name, developer_name, icon_url,"
             " app_store_url) VALUES (1, '42', 'iphone', 'US', 'App', 'Dev', '', 'https://x')",
             "INSERT INTO keyword (id, watched_app_id, term, country_code, last_update) VALUES (1, 1, 'photo', 'US', 0)",
             "INSERT INTO keyword_history (keyword_id, popularity, difficulty, position, date) VALUES (1, 5, 5, 3, 0)",
             "INSERT INTO top_app (keyword_id, sort_index, app_id, name, developer_name, icon_url, app_store_url)"
             " VALUES (1, 0, '7', 'Top', 'Dev', '', 'https://y')",
             "INSERT INTO rating (id, watched_app_id, country_code, last_update) VALUES (1, 1, 'US', 0)",
             "INSERT INTO rating_history (rating_id, rating, rating_count, date) VALUES (1, 4.5, 10, 0)",
             "DELETE FROM watched_app WHERE id = 1",
         })
        exec(database, statement);
    for (const char* table : {"keyword", "keyword_history", "top_app", "rating", "rating_history"})
        EXPECT_EQ(rowCount(database, table), 0) << table;
}

TEST(PersistenceController, SharedStoreLivesInTheApplicationDataFolderAndServesTheSharedManager)
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/TivrandApp.sqlite";
    EXPECT_EQ(PersistenceController::defaultStorePath(), expected);
    CoreDataManager& shared = CoreDataManager::shared();
    ASSERT_TRUE(shared.saveWatchedApp(makeItem("42", Platform::Mac, "US")));
    EXPECT_TRUE(QFileInfo::exists(expected));
}

TEST(PersistenceControllerDeathTest, StoreThatCannotBeOpenedStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The line goes to standard output; the death test only sees standard error.
    for (const bool shared : {false, true}) {
        EXPECT_EXIT(
            {
                ::dup2(STDERR_FILENO, STDOUT_FILENO);
                ::setenv("XDG_DATA_HOME", "/dev/null", 1);
                if (shared)
                    PersistenceController::shared();
                else
                    PersistenceController::openOrStop("/dev/null/TivrandApp.sqlite");
            },
            ::testing::ExitedWithCode(EXIT_FAILURE), "Unresolved error Cannot create the store folder");
    }
}

TEST_F(CoreDataManagerTest, SavedAppsComeBackWithEveryFieldOrderedByNameThenIdentity)
{
    AppPresentationItem withoutSubtitle = makeItem("7", Platform::Vision, "TR", "Atlas");
    withoutSubtitle.subtitle.reset();
    withoutSubtitle.iconUrl.clear();
    const AppPresentationItem full = makeItem("42", Platform::iPhone, "US");
    ASSERT_TRUE(manager.saveWatchedApp(full));
    ASSERT_TRUE(manager.saveWatchedApp(withoutSubtitle));
    EXPECT_EQ(fetched(), (QList<WatchedApp>{watchedFrom(withoutSubtitle), watchedFrom(full)}));

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
    EXPECT_EQ(rowCount(store->database(), "keyword"), 1) << "updated, not replaced, so what hangs off it survives";
}

TEST_F(CoreDataManagerTest, WatchedCheckSpansCountriesButNotPlatforms)
{
    ASSERT_TRUE(manager.saveWatchedApp(makeItem("42", Platform::iPhone, "DE")));
    EXPECT_TRUE(manager.isAppWatched("42", Platform::iPhone));
    EXPECT_FALSE(manager.isAppWatched("42", Platform::iPad));
    EXPECT_FALSE(manager.isAppWatched("42' OR '1'='1", Platform::iPhone));
}

TEST_F(CoreDataManagerTest, ItemsWithoutIdentityAreRefusedAndTheStoreStaysUsable)
{
    {
        const Testing::CapturedOutput output;
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
    const Testing::CapturedOutput output;
    EXPECT_FALSE(manager.isAppWatched("42", Platform::iPhone));
    EXPECT_FALSE(manager.saveWatchedApp(makeItem("43", Platform::iPhone, "US")));
    EXPECT_FALSE(manager.fetchWatchedApps().has_value());
    for (const char* line : {"❌ WatchedApp platform kontrol hatası: ", "❌ WatchedApp getirme hatası: "})
        EXPECT_TRUE(output.contains(line)) << line;
    EXPECT_EQ(saves.count(), 0);
}
