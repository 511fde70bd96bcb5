#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace Tivrand {

class JsonReader;

// One catalog resource and its parts. Every key is optional; a key of the wrong type is absent.
// Each read() consumes the reader's next value and answers no record when it is not a JSON object.

struct SearchAppArtwork {
    std::optional<QString> url; // a template with "{w}", "{h}", "{c}" and "{f}"
    std::optional<int> width;
    std::optional<int> height;

    static std::optional<SearchAppArtwork> read(JsonReader& json);
    QString description() const;
};

struct SearchAppPlatformAttributes {
    std::optional<QString> subtitle;
    std::optional<SearchAppArtwork> artwork;

    static std::optional<SearchAppPlatformAttributes> read(JsonReader& json);
    QString description() const;
};

struct SearchAppUserRating {
    std::optional<double> value;
    std::optional<int> ratingCount;

    static std::optional<SearchAppUserRating> read(JsonReader& json);
    QString description() const;
};

struct SearchAppAttributes {
    std::optional<QString> name;
    std::optional<QString> artistName;
    std::optional<QString> url;
    std::optional<SearchAppUserRating> userRating;
    // Keyed by platform family: "ios", "osx" and "xros", and of the other families only the
    // first by name, which is all an item falls back to.
    std::optional<QMap<QString, SearchAppPlatformAttributes>> platformAttributes;

    static std::optional<SearchAppAttributes> read(JsonReader& json);
    QString description() const;
};

struct SearchAppSearchResultDatum {
    std::optional<QString> id;
    std::optional<QString> type;
    std::optional<QString> href;
    std::optional<SearchAppAttributes> attributes;

    static std::optional<SearchAppSearchResultDatum> read(JsonReader& json);
    QString description() const;
};

} // namespace Tivrand
