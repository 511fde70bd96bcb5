#pragma once

#include "TivrandApp/Persistence/StoreError.h"

#include <QSqlDatabase>

#include <expected>

namespace Tivrand {

// The schema version this program writes; stores are migrated up to it when opened.
inline constexpr int currentStoreSchemaVersion = 1;

// Brings the store's tables up to `currentStoreSchemaVersion` inside one transaction.
// A store written by a newer program is refused rather than touched.
std::expected<void, StoreError> migrateStoreSchema(QSqlDatabase& database);

} // namespace Tivrand
