#pragma once

#include <QString>

namespace Tivrand {

// A store language: `code` is what the catalog takes as its "l" parameter (e.g. "en-US"),
// `name` is for people. In the countries resource a language is written {"code": ..., "name": ...}.
struct Language {
    QString code;
    QString name;

    friend bool operator==(const Language&, const Language&) = default;
};

} // namespace Tivrand
