#pragma once

#include "TivrandApp/models/SearchAppSearchResultDatum.h"

#include <QList>
#include <QString>

#include <optional>

namespace Tivrand {

class JsonReader;

// The catalog's search answer: {"results": {"search-result": {"data": [...]}}}. Every key is
// optional; read() answers no record only when the value is not a JSON object.

struct SearchAppSearchResult {
    // How many "apps" items an answer keeps: all that a search looks up.
    static constexpr qsizetype keptApps = 50;

    // The answer's first `keptApps` items of type "apps", each with its id and type only: an
    // answer may list millions of items, and a search uses no more.
    std::optional<QList<SearchAppSearchResultDatum>> data;
    // How many items the answer's list held, kept or not.
    qsizetype itemCount = 0;

    static std::optional<SearchAppSearchResult> read(JsonReader& json);
    QString description() const;
};

struct SearchAppResults {
    std::optional<SearchAppSearchResult> searchResult; // key "search-result"

    static std::optional<SearchAppResults> read(JsonReader& json);
    QString description() const;
};

struct SearchAppResponse {
    // How much of its text form summary() shows.
    static constexpr qsizetype summaryLength = 4096;

    std::optional<SearchAppResults> results;

    static std::optional<SearchAppResponse> read(JsonReader& json);
    QString description() const;
    // The text form cut to `summaryLength` characters, then "…" and the number of items, when longer.
    QString summary() const;
};

} // namespace Tivrand
