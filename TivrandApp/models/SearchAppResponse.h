#pragma once

#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace Tivrand {

// The catalog's search answer: {"results": {"search-result": {"data": [...]}}}. Every key is
// optional; fromJson answers no record only when the value is not a JSON object.

struct SearchAppSearchResult {
    std::optional<QList<SearchAppSearchResultDatum>> data;

    static std::optional<SearchAppSearchResult> fromJson(const QJsonValue& json);
    QString description() const;
};

struct SearchAppResults {
    std::optional<SearchAppSearchResult> searchResult; // key "search-result"

    static std::optional<SearchAppResults> fromJson(const QJsonValue& json);
    QString description() const;
};

struct SearchAppResponse {
    std::optional<SearchAppResults> results;

    static std::optional<SearchAppResponse> fromJson(const QJsonValue& json);
    QString description() const;
};

} // namespace Tivrand
