#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include "TivrandApp/models/JsonFields.h"
#include "TivrandApp/models/RecordDescription.h"

#include <QStringList>

namespace Tivrand {

using namespace Qt::Literals::StringLiterals;
using RecordDescription::describe;
using RecordDescription::record;

std::optional<SearchAppArtwork> SearchAppArtwork::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    return SearchAppArtwork{
        JsonFields::text(object, "url"_L1),
        JsonFields::integer(object, "width"_L1),
        JsonFields::integer(object, "height"_L1),
    };
}

QString SearchAppArtwork::description() const
{
    return record("Artwork"_L1, {{"url"_L1, describe(url)}, {"width"_L1, describe(width)}, {"height"_L1, describe(height)}});
}

std::optional<SearchAppPlatformAttributes> SearchAppPlatformAttributes::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    return SearchAppPlatformAttributes{
        JsonFields::text(object, "subtitle"_L1),
        SearchAppArtwork::fromJson(object.value("artwork"_L1)),
    };
}

QString SearchAppPlatformAttributes::description() const
{
    return record("PlatformAttributes"_L1, {{"subtitle"_L1, describe(subtitle)}, {"artwork"_L1, describe(artwork)}});
}

std::optional<SearchAppUserRating> SearchAppUserRating::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    return SearchAppUserRating{
        JsonFields::number(object, "value"_L1),
        JsonFields::integer(object, "ratingCount"_L1),
    };
}

QString SearchAppUserRating::description() const
{
    return record("UserRating"_L1, {{"value"_L1, describe(value)}, {"ratingCount"_L1, describe(ratingCount)}});
}

namespace {

std::optional<QMap<QString, SearchAppPlatformAttributes>> platformAttributesFromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    QMap<QString, SearchAppPlatformAttributes> blocks;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (auto block = SearchAppPlatformAttributes::fromJson(it.value()))
            blocks.insert(it.key(), std::move(*block));
    }
    return blocks;
}

QString describePlatformAttributes(const std::optional<QMap<QString, SearchAppPlatformAttributes>>& blocks)
{
    if (!blocks)
        return u"nil"_s;
    QStringList parts;
    for (auto it = blocks->begin(); it != blocks->end(); ++it)
        parts.append(describe(std::optional<QString>(it.key())) + u": "_s + it.value().description());
    return u"["_s + parts.join(u", "_s) + u"]"_s;
}

} // namespace

std::optional<SearchAppAttributes> SearchAppAttributes::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    return SearchAppAttributes{
        JsonFields::text(object, "name"_L1),
        JsonFields::text(object, "artistName"_L1),
        JsonFields::text(object, "url"_L1),
        SearchAppUserRating::fromJson(object.value("userRating"_L1)),
        platformAttributesFromJson(object.value("platformAttributes"_L1)),
    };
}

QString SearchAppAttributes::description() const
{
    return record("Attributes"_L1, {
                                       {"name"_L1, describe(name)},
                                       {"artistName"_L1, describe(artistName)},
                                       {"url"_L1, describe(url)},
                                       {"userRating"_L1, describe(userRating)},
                                       {"platformAttributes"_L1, describePlatformAttributes(platformAttributes)},
                                   });
}

std::optional<SearchAppSearchResultDatum> SearchAppSearchResultDatum::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    return SearchAppSearchResultDatum{
        JsonFields::text(object, "id"_L1),
        JsonFields::text(object, "type"_L1),
        JsonFields::text(object, "href"_L1),
        SearchAppAttributes::fromJson(object.value("attributes"_L1)),
    };
}

QString SearchAppSearchResultDatum::description() const
{
    return record("SearchAppSearchResultDatum"_L1, {
                                                       {"id"_L1, describe(id)},
                                                       {"type"_L1, describe(type)},
                                                       {"href"_L1, describe(href)},
                                                       {"attributes"_L1, describe(attributes)},
                                                   });
}

} // namespace Tivrand
