#pragma once

#include "TivrandApp/Persistence/StoreError.h"

#include <QSqlDatabase>
#include <QString>

#include <expected>
#include <memory>

namespace Tivrand {

// Holds the one SQLite connection of a store, opened on the thread that opens the store
// (for the shared store, the GUI thread) and usable only there.
class PersistenceController {
public:
    // The program's store "TivrandApp" in "TivrandApp.sqlite" under the application data
    // folder. Made on first use; a store that cannot be opened stops the program.
    static PersistenceController& shared();

    static QString defaultStorePath();

    // Opens (creating when missing) the store file at `filePath`, and its folder.
    static std::expected<std::unique_ptr<PersistenceController>, StoreError> open(const QString& filePath);
    static std::expected<std::unique_ptr<PersistenceController>, StoreError> openInMemory();

    // As `open`, but a failure prints "Unresolved error " and the error, then exits with a
    // failure status: the program cannot do anything useful without its store.
    static std::unique_ptr<PersistenceController> openOrStop(const QString& filePath);

    ~PersistenceController();
    PersistenceController(const PersistenceController&) = delete;
    PersistenceController& operator=(const PersistenceController&) = delete;

    // The Qt SQL connection name, for services that work on this store.
    const QString& connectionName() const;
    QSqlDatabase database() const;

private:
    explicit PersistenceController(QString connectionName);

    static std::expected<std::unique_ptr<PersistenceController>, StoreError> openDatabase(const QString& databaseName);

    QString m_connectionName;
};

} // namespace Tivrand
