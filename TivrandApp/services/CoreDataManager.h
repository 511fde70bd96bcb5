#pragma once

#include "TivrandApp/Persistence/StoreError.h"
#include "TivrandApp/models/AppPresentationItem.h"
#include "TivrandApp/models/Platform.h"
#include "TivrandApp/models/WatchedApp.h"

#include <QList>
#include <QObject>
#include <QString>

#include <expected>

namespace Tivrand {

// The store repository. Works synchronously on the thread that owns the store's connection
// (the GUI thread for the shared store) and prints its own failures as diagnostic lines.
class CoreDataManager : public QObject {
    Q_OBJECT

public:
    // The manager of the shared store (`PersistenceController::shared()`).
    static CoreDataManager& shared();

    // Works on the store behind the Qt SQL connection named `connectionName`.
    explicit CoreDataManager(QString connectionName, QObject* parent = nullptr);

    // Whether any country's watch list holds `appId` on `platform`. A failing check prints
    // its error and answers false.
    bool isAppWatched(const QString& appId, Platform platform) const;

    // Inserts the item, or updates the one stored with the same app id, platform and country
    // code (keeping its keywords and ratings). Answers whether it was stored; `didSave` follows
    // every success.
    bool saveWatchedApp(const AppPresentationItem& item);

    // Every watched app, ordered by name (ASCII case folded, then exact), then app id,
    // platform and country code.
    std::expected<QList<WatchedApp>, StoreError> fetchWatchedApps() const;

signals:
    void didSave();

private:
    QString m_connectionName;
};

} // namespace Tivrand
