#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/Persistence/StoreSchema.h"
#include "TivrandApp/services/CoreDataManager.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
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

} // namespace

TEST(PersistenceController, OpensNewStoreWithSchemaInItsOwnFolderAndReopensIt)
{
    QTemporaryDir root;
    const QString path = root.filePath("nested/folder/TivrandApp.sqlite");
    {
        auto store = PersistenceController::open(path);
        ASSERT_TRUE(store.has_value()) << store.error().message.toStdString();
        const QSqlDatabase database = (*store)->database();
        EXPECT_EQ(scalar(database, "PRAGMA user_version").toInt(), currentStoreSchemaVersion);
        EXPECT_EQ(scalar(database, "PRAGMA journal_mode").toString(), "wal");
        exec(database, "INSERT INTO item (timestamp) VALUES (1)");
    }
    auto reopened = PersistenceController::open(path);
    ASSERT_TRUE(reopened.has_value()) << reopened.error().message.toStdString();
    EXPECT_EQ(rowCount((*reopened)->database(), "item"), 1);
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

TEST(PersistenceController, RefusesStoresItCannotRead)
{
    QTemporaryDir root;
    const QString newer = root.filePath("newer.sqlite");
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
        raw.setDatabaseName(newer);
        ASSERT_TRUE(raw.open());
        exec(raw, "CREATE TABLE future (x)");
        exec(raw, "PRAGMA user_version = 99");
        raw.close();
    }
    QSqlDatabase::removeDatabase("raw");
    const auto fromNewerProgram = PersistenceController::open(newer);
    ASSERT_FALSE(fromNewerProgram.has_value());
    EXPECT_TRUE(fromNewerProgram.error().message.contains("99"));

    QFile garbage(root.filePath("garbage.sqlite"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    EXPECT_FALSE(PersistenceController::open(garbage.fileName()).has_value());
    EXPECT_FALSE(PersistenceController::open(QString()).has_value());
}

TEST(PersistenceController, SharedStoreLivesInTheApplicationDataFolderAndServesTheSharedManager)
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/TivrandApp.sqlite";
    EXPECT_EQ(PersistenceController::defaultStorePath(), expected);
    CoreDataManager& shared = CoreDataManager::shared();
    AppPresentationItem item;
    item.appId = "42";
    item.name = "Shared";
    item.appStoreUrl = "https://apps.apple.com/us/app/id42";
    item.platform = Platform::Mac;
    item.country.countryCode = "US";
    ASSERT_TRUE(shared.saveWatchedApp(item));
    EXPECT_TRUE(shared.isAppWatched("42", Platform::Mac));
    EXPECT_TRUE(QFileInfo::exists(expected));
}

TEST(PersistenceControllerDeathTest, StoreThatCannotBeOpenedStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The line goes to standard output; the death test only sees standard error.
    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            PersistenceController::openOrStop("/dev/null/TivrandApp.sqlite");
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "Unresolved error Cannot create the store folder");
    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            ::setenv("XDG_DATA_HOME", "/dev/null", 1);
            PersistenceController::shared();
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "Unresolved error Cannot create the store folder");
}
