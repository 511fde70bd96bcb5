#include "TivrandApp/models/AppContentsResponse.h"

#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/RecordDescription.h"

#include <QSet>

namespace Tivrand {

using namespace Qt::Literals::StringLiterals;

namespace {

QList<SearchAppSearchResultDatum> readAskedRecords(JsonReader& json, QSet<QString> notYetSeen)
{
    QList<SearchAppSearchResultDatum> records;
    while (json.nextElement()) {
        std::optional<SearchAppSearchResultDatum> record = SearchAppSearchResultDatum::read(json);
        if (record && record->id && notYetSeen.remove(*record->id))
            records.append(std::move(*record));
    }
    return records;
}

} // namespace

std::optional<AppContentsResponse> AppContentsResponse::read(JsonReader& json, const QStringList& askedIds)
{
    if (!json.enterObject())
        return std::nullopt;
    AppContentsResponse response;
    for (QString key; json.nextKey(key);) {
        if (key != "data"_L1)
            json.skip();
        else if (json.enterArray())
            response.data = readAskedRecords(json, QSet<QString>(askedIds.begin(), askedIds.end()));
        else
            response.data.reset();
    }
    return response;
}

QString AppContentsResponse::description() const
{
    return RecordDescription::record("AppContentsResponse"_L1, {{"data"_L1, RecordDescription::describe(data)}});
}

} // namespace Tivrand
