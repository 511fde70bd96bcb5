#pragma once

#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace Tivrand {

// The catalog's contents answer: {"data": [...]}, the records of the asked ids.
struct AppContentsResponse {
    std::optional<QList<SearchAppSearchResultDatum>> data;

    // No record when the value is not a JSON object.
    static std::optional<AppContentsResponse> fromJson(const QJsonValue& json);
    QString description() const;
};

} // namespace Tivrand
