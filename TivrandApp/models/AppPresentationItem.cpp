#include "TivrandApp/models/AppPresentationItem.h"

#include <QUuid>

namespace Tivrand {
namespace {

using namespace Qt::Literals::StringLiterals;

QString platformFamily(Platform platform)
{
    switch (platform) {
    case Platform::iPhone:
    case Platform::iPad:
        return u"ios"_s;
    case Platform::Mac:
        return u"osx"_s;
    case Platform::Vision:
        return u"xros"_s;
    }
    return {};
}

const SearchAppPlatformAttributes* platformBlock(const SearchAppAttributes& attributes, Platform platform)
{
    if (!attributes.platformAttributes || attributes.platformAttributes->isEmpty())
        return nullptr;
    const QMap<QString, SearchAppPlatformAttributes>& blocks = *attributes.platformAttributes;
    for (const QString& family : {platformFamily(platform), u"ios"_s, u"osx"_s, u"xros"_s}) {
        const auto found = blocks.constFind(family);
        if (found != blocks.constEnd())
            return &found.value();
    }
    return &blocks.first();
}

bool isPresent(const std::optional<QString>& text)
{
    return text && !text->isEmpty();
}

} // namespace

QString iconUrlFromTemplate(const QString& artworkTemplate)
{
    QString url = artworkTemplate;
    return url.replace(u"{w}"_s, u"100"_s).replace(u"{h}"_s, u"100"_s).replace(u"{c}"_s, u"bb"_s).replace(u"{f}"_s, u"png"_s);
}

std::optional<AppPresentationItem> AppPresentationItem::make(const SearchAppSearchResultDatum& datum, Platform platform,
                                                             const Country& country)
{
    if (!isPresent(datum.id) || !datum.attributes)
        return std::nullopt;
    const SearchAppAttributes& attributes = *datum.attributes;
    if (!isPresent(attributes.name) || !isPresent(attributes.url))
        return std::nullopt;

    AppPresentationItem item;
    item.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    item.name = *attributes.name;
    item.developerName = attributes.artistName.value_or(QString());
    item.appStoreUrl = *attributes.url;
    item.appId = *datum.id;
    item.platform = platform;
    item.country = country;
    if (attributes.userRating) {
        item.rating = attributes.userRating->value.value_or(0.0);
        item.ratingCount = attributes.userRating->ratingCount.value_or(0);
    }
    if (const SearchAppPlatformAttributes* block = platformBlock(attributes, platform)) {
        item.subtitle = block->subtitle;
        if (block->artwork && block->artwork->url)
            item.iconUrl = iconUrlFromTemplate(*block->artwork->url);
    }
    return item;
}

} // namespace Tivrand
