#pragma once

#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace Tivrand {

// One catalog resource and its parts. Every key is optional; a key of the wrong type is absent.
// Each fromJson answers no record when the value is not a JSON object.

struct SearchAppArtwork {
    std::optional<QString> url; // a template with "{w}", "{h}", "{c}" and "{f}"
    std::optional<int> width;
    std::optional<int> height;

    static std::optional<SearchAppArtwork> fromJson(const QJsonValue& json);
    QString description() const;
};

struct SearchAppPlatformAttributes {
    std::optional<QString> subtitle;
    std::optional<SearchAppArtwork> artwork;

    static std::optional<SearchAppPlatformAttributes> fromJson(const QJsonValue& json);
    QString description() const;
};

struct SearchAppUserRating {
    std::optional<double> value;
    std::optional<int> ratingCount;

    static std::optional<SearchAppUserRating> fromJson(const QJsonValue& json);
    QString description() const;
};

struct SearchAppAttributes {
    std::optional<QString> name;
    std::optional<QString> artistName;
    std::optional<QString> url;
    std::optional<SearchAppUserRating> userRating;
    // Keyed by platform family: "ios", "osx", "xros" (others are kept as they come).
    std::optional<QMap<QString, SearchAppPlatformAttributes>> platformAttributes;

    static std::optional<SearchAppAttributes> fromJson(const QJsonValue& json);
    QString description() const;
};

struct SearchAppSearchResultDatum {
    std::optional<QString> id;
    std::optional<QString> type;
    std::optional<QString> href;
    std::optional<SearchAppAttributes> attributes;

    static std::optional<SearchAppSearchResultDatum> fromJson(const QJsonValue& json);
    QString description() const;
};

} // namespace Tivrand
