#include "TivrandApp/models/SearchAppResponse.h"

#include "TivrandApp/models/JsonFields.h"
#include "TivrandApp/models/RecordDescription.h"

namespace Tivrand {

using namespace Qt::Literals::StringLiterals;
using RecordDescription::describe;
using RecordDescription::record;

std::optional<SearchAppSearchResult> SearchAppSearchResult::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    return SearchAppSearchResult{JsonFields::list<SearchAppSearchResultDatum>(json.toObject(), "data"_L1)};
}

QString SearchAppSearchResult::description() const
{
    return record("SearchAppSearchResult"_L1, {{"data"_L1, describe(data)}});
}

std::optional<SearchAppResults> SearchAppResults::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    return SearchAppResults{SearchAppSearchResult::fromJson(json.toObject().value("search-result"_L1))};
}

QString SearchAppResults::description() const
{
    return record("SearchAppResults"_L1, {{"searchResult"_L1, describe(searchResult)}});
}

std::optional<SearchAppResponse> SearchAppResponse::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    return SearchAppResponse{SearchAppResults::fromJson(json.toObject().value("results"_L1))};
}

QString SearchAppResponse::description() const
{
    return record("SearchAppResponse"_L1, {{"results"_L1, describe(results)}});
}

} // namespace Tivrand
