#include "TivrandApp/services/CoreDataManager.h"

#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/services/Diagnostics.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Tivrand {
namespace {

QString describe(const QSqlError& error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("the store is not open") : text;
}

// NOT NULL columns take an empty text where the item has none.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

QVariant optionalText(const std::optional<QString>& value)
{
    return value ? text(*value) : QVariant(QMetaType::fromType<QString>());
}

std::expected<void, QString> upsert(const QSqlDatabase& database, const AppPresentationItem& item)
{
    // An upsert, not a replace: replacing would delete the row and cascade its keywords away.
    QSqlQuery query(database);
    const bool prepared = query.prepare(QStringLiteral(
        "INSERT INTO watched_app (app_id, platform, country_code, name, developer_name, subtitle,"
        " icon_url, app_store_url, rating, rating_count)"
        " VALUES (:appId, :platform, :countryCode, :name, :developerName, :subtitle,"
        " :iconUrl, :appStoreUrl, :rating, :ratingCount)"
        " ON CONFLICT (app_id, platform, country_code) DO UPDATE SET"
        " name = excluded.name, developer_name = excluded.developer_name, subtitle = excluded.subtitle,"
        " icon_url = excluded.icon_url, app_store_url = excluded.app_store_url,"
        " rating = excluded.rating, rating_count = excluded.rating_count"));
    if (!prepared)
        return std::unexpected(describe(query.lastError()));
    query.bindValue(QStringLiteral(":appId"), text(item.appId));
    query.bindValue(QStringLiteral(":platform"), rawValue(item.platform));
    query.bindValue(QStringLiteral(":countryCode"), text(item.country.countryCode));
    query.bindValue(QStringLiteral(":name"), text(item.name));
    query.bindValue(QStringLiteral(":developerName"), text(item.developerName));
    query.bindValue(QStringLiteral(":subtitle"), optionalText(item.subtitle));
    query.bindValue(QStringLiteral(":iconUrl"), text(item.iconUrl));
    query.bindValue(QStringLiteral(":appStoreUrl"), text(item.appStoreUrl));
    query.bindValue(QStringLiteral(":rating"), item.rating);
    query.bindValue(QStringLiteral(":ratingCount"), item.ratingCount);
    if (!query.exec())
        return std::unexpected(describe(query.lastError()));
    return {};
}

std::expected<WatchedApp, StoreError> watchedAppFrom(const QSqlQuery& row)
{
    const QString platformText = row.value(1).toString();
    const auto platform = platformFromRawValue(platformText);
    if (!platform)
        return std::unexpected(StoreError{QStringLiteral("Unknown platform \"%1\" in the store.").arg(platformText)});
    WatchedApp app;
    app.appId = row.value(0).toString();
    app.platform = *platform;
    app.countryCode = row.value(2).toString();
    app.name = row.value(3).toString();
    app.developerName = row.value(4).toString();
    if (!row.isNull(5))
        app.subtitle = row.value(5).toString();
    app.iconUrl = row.value(6).toString();
    app.appStoreUrl = row.value(7).toString();
    app.rating = row.value(8).toDouble();
    app.ratingCount = row.value(9).toInt();
    return app;
}

} // namespace

CoreDataManager& CoreDataManager::shared()
{
    static CoreDataManager instance(PersistenceController::shared().connectionName());
    return instance;
}

CoreDataManager::CoreDataManager(QString connectionName, QObject* parent)
    : QObject(parent)
    , m_connectionName(std::move(connectionName))
{
}

bool CoreDataManager::isAppWatched(const QString& appId, Platform platform) const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    bool counted = query.prepare(QStringLiteral(
        "SELECT EXISTS (SELECT 1 FROM watched_app WHERE app_id = :appId AND platform = :platform)"));
    if (counted) {
        query.bindValue(QStringLiteral(":appId"), text(appId));
        query.bindValue(QStringLiteral(":platform"), rawValue(platform));
        counted = query.exec() && query.next();
    }
    if (!counted) {
        printLine(QStringLiteral("❌ WatchedApp platform kontrol hatası: ") + describe(query.lastError()));
        return false;
    }
    return query.value(0).toBool();
}

bool CoreDataManager::saveWatchedApp(const AppPresentationItem& item)
{
    QSqlDatabase database = QSqlDatabase::database(m_connectionName, false);
    std::expected<void, QString> saved;
    if (!database.transaction()) {
        saved = std::unexpected(describe(database.lastError()));
    } else {
        saved = upsert(database, item);
        if (saved && !database.commit())
            saved = std::unexpected(describe(database.lastError()));
        if (!saved)
            database.rollback();
    }
    if (!saved) {
        printLine(QStringLiteral("❌ WatchedApp kaydetme hatası: ") + saved.error());
        return false;
    }
    emit didSave();
    return true;
}

std::expected<QList<WatchedApp>, StoreError> CoreDataManager::fetchWatchedApps() const
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    const bool fetched = query.exec(QStringLiteral(
        "SELECT app_id, platform, country_code, name, developer_name, subtitle, icon_url, app_store_url,"
        " rating, rating_count FROM watched_app"
        " ORDER BY name COLLATE NOCASE, name, app_id, platform, country_code"));
    std::expected<QList<WatchedApp>, StoreError> apps{QList<WatchedApp>()};
    if (!fetched) {
        apps = std::unexpected(StoreError{describe(query.lastError())});
    } else {
        while (apps && query.next()) {
            if (auto app = watchedAppFrom(query))
                apps->append(std::move(*app));
            else
                apps = std::unexpected(app.error());
        }
        if (apps && query.lastError().isValid())
            apps = std::unexpected(StoreError{describe(query.lastError())});
    }
    if (!apps)
        printLine(QStringLiteral("❌ WatchedApp getirme hatası: ") + apps.error().message);
    return apps;
}

} // namespace Tivrand
