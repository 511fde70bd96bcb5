#pragma once

#include "TivrandApp/models/Country.h"
#include "TivrandApp/models/Platform.h"
#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include <QString>

#include <optional>

namespace Tivrand {

// An app as the views show it, made from one catalog record.
struct AppPresentationItem {
    QString id; // a fresh UUID text, unique per item
    QString name;
    QString developerName;
    std::optional<QString> subtitle;
    double rating = 0;
    int ratingCount = 0;
    QString appStoreUrl;
    QString iconUrl; // empty when the record has no artwork
    QString appId;
    Platform platform = Platform::iPhone;
    Country country;

    // No item when the record has no id, no name or no store URL (an empty text counts as none).
    // The platform block is the one of the platform's family ("ios" for iPhone and iPad, "osx"
    // for Mac, "xros" for Vision); when the record lacks it, the first present of "ios", "osx",
    // "xros" is used, then any other block.
    static std::optional<AppPresentationItem> make(const SearchAppSearchResultDatum& datum, Platform platform,
                                                   const Country& country);
};

// Fills an icon template: "{w}" and "{h}" by 100, "{c}" by "bb", "{f}" by "png", in that order.
QString iconUrlFromTemplate(const QString& artworkTemplate);

} // namespace Tivrand
