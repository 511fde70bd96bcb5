#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/services/CoreDataManager.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <functional>
#include <string>

using namespace Tivrand;

namespace {

AppPresentationItem makeItem(const QString& appId, Platform platform, const QString& countryCode,
                             const QString& name = QStringLiteral("Photo Editor"))
{
    AppPresentationItem item;
    item.id = QStringLiteral("item-") + appId;
    item.name = name;
    item.developerName = QStringLiteral("Tivrand Labs");
    item.subtitle = QStringLiteral("Edit photos");
    item.rating = 4.25;
    item.ratingCount = 1234;
    item.appStoreUrl = QStringLiteral("https://apps.apple.com/us/app/id") + appId;
    item.iconUrl = QStringLiteral("https://is1-ssl.mzstatic.com/") + appId + QStringLiteral("/100x100bb.png");
    item.appId = appId;
    item.platform = platform;
    item.country.countryCode = countryCode;
    return item;
}

WatchedApp watchedFrom(const AppPresentationItem& item)
{
    return WatchedApp{.appId = item.appId,
                      .platform = item.platform,
                      .countryCode = item.country.countryCode,
                      .name = item.name,
                      .developerName = item.developerName,
                      .subtitle = item.subtitle,
                      .iconUrl = item.iconUrl,
                      .appStoreUrl = item.appStoreUrl,
                      .rating = item.rating,
                      .ratingCount = item.ratingCount};
}

struct CoreDataManagerTest : ::testing::Test {
    std::unique_ptr<PersistenceController> store = std::move(PersistenceController::openInMemory().value());
    CoreDataManager manager{store->connectionName()};
    QSignalSpy saves{&manager, &CoreDataManager::didSave};

    QList<WatchedApp> fetched()
    {
        auto apps = manager.fetchWatchedApps();
        EXPECT_TRUE(apps.has_value());
        return apps.value_or(QList<WatchedApp>());
    }

    void exec(const QString& sql)
    {
        QSqlQuery query(store->database());
        ASSERT_TRUE(query.exec(sql)) << sql.toStdString();
    }
};

std::string capturedOutputOf(const std::function<void()>& action)
{
    ::testing::internal::CaptureStdout();
    action();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace

TEST_F(CoreDataManagerTest, SavedAppsComeBackWithEveryField)
{
    AppPresentationItem withoutSubtitle = makeItem(QStringLiteral("7"), Platform::Vision, QStringLiteral("TR"),
                                                   QStringLiteral("Atlas"));
    withoutSubtitle.subtitle.reset();
    withoutSubtitle.iconUrl.clear();
    const AppPresentationItem full = makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"));

    ASSERT_TRUE(manager.saveWatchedApp(full));
    ASSERT_TRUE(manager.saveWatchedApp(withoutSubtitle));

    EXPECT_EQ(fetched(), (QList<WatchedApp>{watchedFrom(withoutSubtitle), watchedFrom(full)}));
    EXPECT_EQ(saves.count(), 2);
}

TEST_F(CoreDataManagerTest, SavingTheSameAppPlatformAndCountryUpdatesInPlace)
{
    ASSERT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"))));
    exec(QStringLiteral("INSERT INTO keyword (watched_app_id, term, country_code, last_update)"
                        " SELECT id, 'photo', 'US', 0 FROM watched_app"));
    AppPresentationItem changed = makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"),
                                           QStringLiteral("Photo Editor Pro"));
    changed.subtitle.reset();
    changed.rating = 3.5;
    changed.ratingCount = 2000;

    ASSERT_TRUE(manager.saveWatchedApp(changed));

    EXPECT_EQ(fetched(), QList<WatchedApp>{watchedFrom(changed)});
    // The record is updated, not replaced, so what hangs off it survives.
    QSqlQuery keywords(store->database());
    ASSERT_TRUE(keywords.exec(QStringLiteral("SELECT count(*) FROM keyword")) && keywords.next());
    EXPECT_EQ(keywords.value(0).toInt(), 1);
    EXPECT_EQ(saves.count(), 2);
}

TEST_F(CoreDataManagerTest, OtherCountriesAndPlatformsAreSeparateRecords)
{
    ASSERT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"))));
    ASSERT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("DE"))));
    ASSERT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPad, QStringLiteral("US"))));

    const QList<WatchedApp> apps = fetched();

    ASSERT_EQ(apps.size(), 3);
    EXPECT_EQ(apps[0].platform, Platform::iPad);
    EXPECT_EQ(apps[1].countryCode, QStringLiteral("DE"));
    EXPECT_EQ(apps[2].countryCode, QStringLiteral("US"));
}

TEST_F(CoreDataManagerTest, WatchedCheckSpansCountriesButNotPlatforms)
{
    EXPECT_FALSE(manager.isAppWatched(QStringLiteral("42"), Platform::iPhone));
    ASSERT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("DE"))));

    EXPECT_TRUE(manager.isAppWatched(QStringLiteral("42"), Platform::iPhone));
    EXPECT_FALSE(manager.isAppWatched(QStringLiteral("42"), Platform::iPad));
    EXPECT_FALSE(manager.isAppWatched(QStringLiteral("4"), Platform::iPhone));
    EXPECT_FALSE(manager.isAppWatched(QStringLiteral("42' OR '1'='1"), Platform::iPhone));
}

TEST_F(CoreDataManagerTest, FetchOrdersByNameThenIdentity)
{
    for (const auto& [appId, name] : {std::pair{"3", "beta"}, {"2", "Alpha"}, {"1", "alpha"}, {"0", "Alpha"}}) {
        ASSERT_TRUE(manager.saveWatchedApp(makeItem(QString::fromLatin1(appId), Platform::Mac, QStringLiteral("US"),
                                                    QString::fromLatin1(name))));
    }

    QStringList order;
    for (const WatchedApp& app : fetched())
        order.append(app.name + QLatin1Char('/') + app.appId);

    EXPECT_EQ(order, (QStringList{QStringLiteral("Alpha/0"), QStringLiteral("Alpha/2"), QStringLiteral("alpha/1"),
                                  QStringLiteral("beta/3")}));
}

TEST_F(CoreDataManagerTest, ItemsWithoutIdentityAreRefusedAndTheStoreStaysUsable)
{
    std::string output = capturedOutputOf([&] {
        EXPECT_FALSE(manager.saveWatchedApp(makeItem(QString(), Platform::iPhone, QStringLiteral("US"))));
        EXPECT_FALSE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QString())));
    });

    EXPECT_NE(output.find("❌ WatchedApp kaydetme hatası: "), std::string::npos);
    EXPECT_EQ(saves.count(), 0);
    // A failed save must not leave its transaction open behind it.
    EXPECT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"))));
    EXPECT_EQ(fetched().size(), 1);
}

TEST_F(CoreDataManagerTest, BrokenStoreFailuresArePrintedAndReported)
{
    ASSERT_TRUE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"))));
    exec(QStringLiteral("DROP TABLE watched_app"));

    bool watched = true;
    std::string output = capturedOutputOf([&] { watched = manager.isAppWatched(QStringLiteral("42"), Platform::iPhone); });
    EXPECT_FALSE(watched);
    EXPECT_EQ(output.rfind("❌ WatchedApp platform kontrol hatası: ", 0), 0u) << output;

    bool saved = true;
    output = capturedOutputOf([&] { saved = manager.saveWatchedApp(makeItem(QStringLiteral("43"), Platform::iPhone, QStringLiteral("US"))); });
    EXPECT_FALSE(saved);
    EXPECT_EQ(output.rfind("❌ WatchedApp kaydetme hatası: ", 0), 0u) << output;
    EXPECT_EQ(saves.count(), 1);

    std::expected<QList<WatchedApp>, StoreError> apps;
    output = capturedOutputOf([&] { apps = manager.fetchWatchedApps(); });
    EXPECT_FALSE(apps.has_value());
    EXPECT_EQ(output.rfind("❌ WatchedApp getirme hatası: ", 0), 0u) << output;
}

TEST(CoreDataManagerReadOnly, SaveOnAReadOnlyStoreIsReportedAsFailure)
{
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("TivrandApp.sqlite"));
    auto writable = PersistenceController::open(path);
    ASSERT_TRUE(writable.has_value());
    const QString readOnlyName = QStringLiteral("read-only");
    {
        QSqlDatabase readOnly = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), readOnlyName);
        readOnly.setDatabaseName(path);
        readOnly.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        ASSERT_TRUE(readOnly.open());
    }
    {
        CoreDataManager manager(readOnlyName);
        QSignalSpy saves(&manager, &CoreDataManager::didSave);

        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(manager.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::iPhone, QStringLiteral("US"))));
        EXPECT_NE(::testing::internal::GetCapturedStdout().find("❌ WatchedApp kaydetme hatası: "), std::string::npos);
        EXPECT_EQ(saves.count(), 0);
    }
    QSqlDatabase::removeDatabase(readOnlyName);
    EXPECT_EQ(CoreDataManager((*writable)->connectionName()).fetchWatchedApps().value_or(QList<WatchedApp>{}).size(), 0);
}

TEST(CoreDataManagerShared, WorksOnTheSharedStore)
{
    CoreDataManager& shared = CoreDataManager::shared();
    QSignalSpy saves(&shared, &CoreDataManager::didSave);

    ASSERT_TRUE(shared.saveWatchedApp(makeItem(QStringLiteral("42"), Platform::Mac, QStringLiteral("US"))));

    EXPECT_EQ(&shared, &CoreDataManager::shared());
    EXPECT_TRUE(shared.isAppWatched(QStringLiteral("42"), Platform::Mac));
    EXPECT_EQ(saves.count(), 1);
}
