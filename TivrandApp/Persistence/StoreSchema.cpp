#include "TivrandApp/Persistence/StoreSchema.h"

#include <QSqlError>
#include <QSqlQuery>

#include <array>

namespace Tivrand {
namespace {

// Dates are whole milliseconds since the Unix epoch, UTC. Every relation deletes its
// dependants with it, so removing a watched app leaves no orphaned keywords or ratings.
constexpr std::array version1Statements{
    R"sql(CREATE TABLE watched_app (
        id INTEGER PRIMARY KEY,
        app_id TEXT NOT NULL CHECK (app_id <> ''),
        platform TEXT NOT NULL CHECK (platform IN ('iphone', 'ipad', 'mac', 'realityDevice')),
        country_code TEXT NOT NULL CHECK (country_code <> ''),
        name TEXT NOT NULL,
        developer_name TEXT NOT NULL,
        subtitle TEXT,
        icon_url TEXT NOT NULL,
        app_store_url TEXT NOT NULL,
        rating REAL NOT NULL DEFAULT 0,
        rating_count INTEGER NOT NULL DEFAULT 0,
        UNIQUE (app_id, platform, country_code)))sql",
    R"sql(CREATE TABLE keyword (
        id INTEGER PRIMARY KEY,
        watched_app_id INTEGER NOT NULL REFERENCES watched_app (id) ON DELETE CASCADE,
        term TEXT NOT NULL,
        country_code TEXT NOT NULL,
        popularity INTEGER NOT NULL DEFAULT 0,
        difficulty INTEGER NOT NULL DEFAULT 0,
        position INTEGER NOT NULL DEFAULT 0,
        apps_in_ranking INTEGER NOT NULL DEFAULT 0,
        last_update INTEGER NOT NULL,
        UNIQUE (watched_app_id, country_code, term)))sql",
    R"sql(CREATE TABLE keyword_history (
        id INTEGER PRIMARY KEY,
        keyword_id INTEGER NOT NULL REFERENCES keyword (id) ON DELETE CASCADE,
        popularity INTEGER NOT NULL,
        difficulty INTEGER NOT NULL,
        position INTEGER NOT NULL,
        date INTEGER NOT NULL))sql",
    "CREATE INDEX keyword_history_by_keyword ON keyword_history (keyword_id)",
    R"sql(CREATE TABLE top_app (
        id INTEGER PRIMARY KEY,
        keyword_id INTEGER NOT NULL REFERENCES keyword (id) ON DELETE CASCADE,
        sort_index INTEGER NOT NULL,
        app_id TEXT NOT NULL,
        name TEXT NOT NULL,
        developer_name TEXT NOT NULL,
        subtitle TEXT,
        icon_url TEXT NOT NULL,
        app_store_url TEXT NOT NULL,
        rating REAL NOT NULL DEFAULT 0,
        rating_count INTEGER NOT NULL DEFAULT 0,
        UNIQUE (keyword_id, sort_index)))sql",
    R"sql(CREATE TABLE rating (
        id INTEGER PRIMARY KEY,
        watched_app_id INTEGER NOT NULL REFERENCES watched_app (id) ON DELETE CASCADE,
        country_code TEXT NOT NULL,
        rating REAL NOT NULL DEFAULT 0,
        rating_count INTEGER NOT NULL DEFAULT 0,
        last_update INTEGER NOT NULL))sql",
    "CREATE INDEX rating_by_watched_app ON rating (watched_app_id)",
    R"sql(CREATE TABLE rating_history (
        id INTEGER PRIMARY KEY,
        rating_id INTEGER NOT NULL REFERENCES rating (id) ON DELETE CASCADE,
        rating REAL NOT NULL,
        rating_count INTEGER NOT NULL,
        date INTEGER NOT NULL))sql",
    "CREATE INDEX rating_history_by_rating ON rating_history (rating_id)",
    "CREATE TABLE item (id INTEGER PRIMARY KEY, timestamp INTEGER)",
};

StoreError errorOf(const QSqlQuery& query)
{
    return StoreError{query.lastError().text()};
}

std::expected<int, StoreError> schemaVersion(const QSqlDatabase& database)
{
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return std::unexpected(errorOf(query));
    return query.value(0).toInt();
}

std::expected<void, StoreError> run(const QSqlDatabase& database, const QString& statement)
{
    QSqlQuery query(database);
    if (!query.exec(statement))
        return std::unexpected(errorOf(query));
    return {};
}

std::expected<void, StoreError> createVersion1(const QSqlDatabase& database)
{
    for (const char* statement : version1Statements) {
        if (auto done = run(database, QString::fromUtf8(statement)); !done)
            return done;
    }
    return {};
}

} // namespace

std::expected<void, StoreError> migrateStoreSchema(QSqlDatabase& database)
{
    const auto version = schemaVersion(database);
    if (!version)
        return std::unexpected(version.error());
    if (*version == currentStoreSchemaVersion)
        return {};
    if (*version > currentStoreSchemaVersion || *version < 0) {
        return std::unexpected(StoreError{
            QStringLiteral("The store has schema version %1; this program reads up to version %2.")
                .arg(*version)
                .arg(currentStoreSchemaVersion)});
    }

    if (!database.transaction())
        return std::unexpected(StoreError{database.lastError().text()});
    auto migrated = createVersion1(database);
    if (migrated) {
        migrated = run(database, QStringLiteral("PRAGMA user_version = %1").arg(currentStoreSchemaVersion));
    }
    if (!migrated) {
        database.rollback();
        return migrated;
    }
    if (!database.commit())
        return std::unexpected(StoreError{database.lastError().text()});
    return {};
}

} // namespace Tivrand
