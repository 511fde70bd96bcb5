#include "TivrandApp/models/AppContentsResponse.h"

#include "TivrandApp/models/JsonFields.h"
#include "TivrandApp/models/RecordDescription.h"

namespace Tivrand {

using namespace Qt::Literals::StringLiterals;

std::optional<AppContentsResponse> AppContentsResponse::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    return AppContentsResponse{JsonFields::list<SearchAppSearchResultDatum>(json.toObject(), "data"_L1)};
}

QString AppContentsResponse::description() const
{
    return RecordDescription::record("AppContentsResponse"_L1, {{"data"_L1, RecordDescription::describe(data)}});
}

} // namespace Tivrand
