#include "TivrandApp/Persistence/PersistenceController.h"

#include "TivrandApp/Persistence/StoreSchema.h"
#include "TivrandApp/services/Diagnostics.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <atomic>
#include <cstdlib>

namespace Tivrand {
namespace {

const QString storeName = QStringLiteral("TivrandApp");

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return storeName + QLatin1Char('-') + QString::number(++counter);
}

std::expected<void, StoreError> runPragma(const QSqlDatabase& database, const QString& pragma)
{
    QSqlQuery query(database);
    if (!query.exec(pragma))
        return std::unexpected(StoreError{query.lastError().text()});
    return {};
}

// SQLite turns foreign keys off per connection by default; without them the cascades
// would silently leave orphans behind.
std::expected<void, StoreError> configureConnection(const QSqlDatabase& database)
{
    if (auto done = runPragma(database, QStringLiteral("PRAGMA foreign_keys = ON")); !done)
        return done;
    return runPragma(database, QStringLiteral("PRAGMA journal_mode = WAL"));
}

} // namespace

PersistenceController& PersistenceController::shared()
{
    static const std::unique_ptr<PersistenceController> instance = openOrStop(defaultStorePath());
    return *instance;
}

QString PersistenceController::defaultStorePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(storeName + QStringLiteral(".sqlite"));
}

std::expected<std::unique_ptr<PersistenceController>, StoreError> PersistenceController::open(const QString& filePath)
{
    if (filePath.isEmpty())
        return std::unexpected(StoreError{QStringLiteral("The store has no file path.")});
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(folder))
        return std::unexpected(StoreError{QStringLiteral("Cannot create the store folder %1.").arg(folder)});
    return openDatabase(filePath);
}

std::expected<std::unique_ptr<PersistenceController>, StoreError> PersistenceController::openInMemory()
{
    return openDatabase(QStringLiteral(":memory:"));
}

std::unique_ptr<PersistenceController> PersistenceController::openOrStop(const QString& filePath)
{
    auto opened = open(filePath);
    if (!opened) {
        printLine(QStringLiteral("Unresolved error ") + opened.error().message);
        std::exit(EXIT_FAILURE);
    }
    return std::move(*opened);
}

std::expected<std::unique_ptr<PersistenceController>, StoreError>
PersistenceController::openDatabase(const QString& databaseName)
{
    const QString connectionName = nextConnectionName();
    // Owning the name first means a failure below still removes the connection.
    std::unique_ptr<PersistenceController> controller(new PersistenceController(connectionName));

    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    if (!database.isValid())
        return std::unexpected(StoreError{database.lastError().text()});
    database.setDatabaseName(databaseName);
    if (!database.open())
        return std::unexpected(StoreError{database.lastError().text()});
    if (auto configured = configureConnection(database); !configured)
        return std::unexpected(configured.error());
    if (auto migrated = migrateStoreSchema(database); !migrated)
        return std::unexpected(migrated.error());
    return controller;
}

PersistenceController::PersistenceController(QString connectionName)
    : m_connectionName(std::move(connectionName))
{
}

PersistenceController::~PersistenceController()
{
    {
        QSqlDatabase database = QSqlDatabase::database(m_connectionName, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

const QString& PersistenceController::connectionName() const
{
    return m_connectionName;
}

QSqlDatabase PersistenceController::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

} // namespace Tivrand
