#include "TivrandApp/models/SearchAppResponse.h"

#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/RecordDescription.h"

namespace Tivrand {

using namespace Qt::Literals::StringLiterals;
using RecordDescription::describe;
using RecordDescription::record;

namespace {

// What a search uses of an item: its id and type.
SearchAppSearchResultDatum readReference(JsonReader& json)
{
    SearchAppSearchResultDatum datum;
    if (!json.enterObject())
        return datum;
    for (QString key; json.nextKey(key);) {
        if (key == "id"_L1)
            datum.id = json.text();
        else if (key == "type"_L1)
            datum.type = json.text();
        else
            json.skip();
    }
    return datum;
}

// Keeps the first apps and counts every item.
void readData(JsonReader& json, SearchAppSearchResult& result)
{
    if (!json.enterArray())
        return;
    result.data.emplace();
    while (json.nextElement()) {
        ++result.itemCount;
        if (result.data->size() == SearchAppSearchResult::keptApps) {
            json.skip();
            continue;
        }
        SearchAppSearchResultDatum datum = readReference(json);
        if (datum.type == "apps"_L1)
            result.data->append(std::move(datum));
    }
}

} // namespace

std::optional<SearchAppSearchResult> SearchAppSearchResult::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppSearchResult result;
    for (QString key; json.nextKey(key);) {
        if (key == "data"_L1) {
            result = {};
            readData(json, result);
        } else {
            json.skip();
        }
    }
    return result;
}

QString SearchAppSearchResult::description() const
{
    return record("SearchAppSearchResult"_L1, {{"data"_L1, describe(data)}, {"itemCount"_L1, QString::number(itemCount)}});
}

std::optional<SearchAppResults> SearchAppResults::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppResults results;
    for (QString key; json.nextKey(key);) {
        if (key == "search-result"_L1)
            results.searchResult = SearchAppSearchResult::read(json);
        else
            json.skip();
    }
    return results;
}

QString SearchAppResults::description() const
{
    return record("SearchAppResults"_L1, {{"searchResult"_L1, describe(searchResult)}});
}

std::optional<SearchAppResponse> SearchAppResponse::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppResponse response;
    for (QString key; json.nextKey(key);) {
        if (key == "results"_L1)
            response.results = SearchAppResults::read(json);
        else
            json.skip();
    }
    return response;
}

QString SearchAppResponse::description() const
{
    return record("SearchAppResponse"_L1, {{"results"_L1, describe(results)}});
}

QString SearchAppResponse::summary() const
{
    const QString whole = description();
    if (whole.size() <= summaryLength)
        return whole;
    const qsizetype itemCount = results && results->searchResult ? results->searchResult->itemCount : 0;
    // Never half a surrogate pair.
    const qsizetype cut = whole.at(summaryLength - 1).isHighSurrogate() ? summaryLength - 1 : summaryLength;
    return whole.left(cut) + u"… ("_s + QString::number(itemCount) + u" items)"_s;
}

} // namespace Tivrand
