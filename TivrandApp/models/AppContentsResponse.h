#pragma once

#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Tivrand {

class JsonReader;

// The catalog's contents answer: {"data": [...]}, the records of the asked ids.
struct AppContentsResponse {
    std::optional<QList<SearchAppSearchResultDatum>> data;

    // Keeps, in the answer's order, the first record of each id in `askedIds`: an answer may hold
    // any number of records, and only the asked ones become rows. No record when the value is
    // not a JSON object.
    static std::optional<AppContentsResponse> read(JsonReader& json, const QStringList& askedIds);
    QString description() const;
};

} // namespace Tivrand
