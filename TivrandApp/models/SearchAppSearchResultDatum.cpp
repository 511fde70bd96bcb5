#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/RecordDescription.h"

#include <QStringList>

namespace Tivrand {

using namespace Qt::Literals::StringLiterals;
using RecordDescription::describe;
using RecordDescription::record;

std::optional<SearchAppArtwork> SearchAppArtwork::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppArtwork artwork;
    for (QString key; json.nextKey(key);) {
        if (key == "url"_L1)
            artwork.url = json.text();
        else if (key == "width"_L1)
            artwork.width = json.integer();
        else if (key == "height"_L1)
            artwork.height = json.integer();
        else
            json.skip();
    }
    return artwork;
}

QString SearchAppArtwork::description() const
{
    return record("Artwork"_L1, {{"url"_L1, describe(url)}, {"width"_L1, describe(width)}, {"height"_L1, describe(height)}});
}

std::optional<SearchAppPlatformAttributes> SearchAppPlatformAttributes::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppPlatformAttributes block;
    for (QString key; json.nextKey(key);) {
        if (key == "subtitle"_L1)
            block.subtitle = json.text();
        else if (key == "artwork"_L1)
            block.artwork = SearchAppArtwork::read(json);
        else
            json.skip();
    }
    return block;
}

QString SearchAppPlatformAttributes::description() const
{
    return record("PlatformAttributes"_L1, {{"subtitle"_L1, describe(subtitle)}, {"artwork"_L1, describe(artwork)}});
}

std::optional<SearchAppUserRating> SearchAppUserRating::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppUserRating rating;
    for (QString key; json.nextKey(key);) {
        if (key == "value"_L1)
            rating.value = json.number();
        else if (key == "ratingCount"_L1)
            rating.ratingCount = json.integer();
        else
            json.skip();
    }
    return rating;
}

QString SearchAppUserRating::description() const
{
    return record("UserRating"_L1, {{"value"_L1, describe(value)}, {"ratingCount"_L1, describe(ratingCount)}});
}

namespace {

bool isKnownFamily(const QString& family)
{
    return family == "ios"_L1 || family == "osx"_L1 || family == "xros"_L1;
}

// The blocks an item can use: the known families', and of the others only the first by name,
// so that a record naming a million families costs no more than one naming four.
std::optional<QMap<QString, SearchAppPlatformAttributes>> readPlatformAttributes(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    QMap<QString, SearchAppPlatformAttributes> blocks;
    std::optional<QString> otherFamily;
    for (QString family; json.nextKey(family);) {
        std::optional<SearchAppPlatformAttributes> block = SearchAppPlatformAttributes::read(json);
        if (!block)
            continue;
        if (!isKnownFamily(family)) {
            if (otherFamily && *otherFamily < family)
                continue;
            if (otherFamily)
                blocks.remove(*otherFamily);
            otherFamily = family;
        }
        blocks.insert(family, std::move(*block));
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

std::optional<SearchAppAttributes> SearchAppAttributes::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppAttributes attributes;
    for (QString key; json.nextKey(key);) {
        if (key == "name"_L1)
            attributes.name = json.text();
        else if (key == "artistName"_L1)
            attributes.artistName = json.text();
        else if (key == "url"_L1)
            attributes.url = json.text();
        else if (key == "userRating"_L1)
            attributes.userRating = SearchAppUserRating::read(json);
        else if (key == "platformAttributes"_L1)
            attributes.platformAttributes = readPlatformAttributes(json);
        else
            json.skip();
    }
    return attributes;
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

std::optional<SearchAppSearchResultDatum> SearchAppSearchResultDatum::read(JsonReader& json)
{
    if (!json.enterObject())
        return std::nullopt;
    SearchAppSearchResultDatum datum;
    for (QString key; json.nextKey(key);) {
        if (key == "id"_L1)
            datum.id = json.text();
        else if (key == "type"_L1)
            datum.type = json.text();
        else if (key == "href"_L1)
            datum.href = json.text();
        else if (key == "attributes"_L1)
            datum.attributes = SearchAppAttributes::read(json);
        else
            json.skip();
    }
    return datum;
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
