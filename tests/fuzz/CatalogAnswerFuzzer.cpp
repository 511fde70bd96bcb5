// The catalog's answers as the app reads them: a search answer and a contents answer, through
// the streaming JSON reader. Whatever the reader accepts as a whole document, Qt's parser must
// accept too, so the reader never lets through what is not JSON; the one difference set aside
// is a number beyond the range of double, which Qt refuses and the reader reads as no number,
// and which Qt is then shown as 0 so that it judges the rest. A rating is never an infinity.
#include "TivrandApp/models/AppContentsResponse.h"
#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/SearchAppResponse.h"
#include "tests/fuzz/FuzzInput.h"

#include <QJsonDocument>

#include <charconv>
#include <cmath>
#include <optional>
#include <regex>

using namespace Tivrand;
using namespace Tivrand::Fuzzing;

namespace {

// Qt's parser takes only an object or an array as the whole document, after a byte order mark.
bool qtCanJudge(QByteArrayView json)
{
    if (json.startsWith("\xEF\xBB\xBF"))
        json = json.sliced(3);
    const QByteArrayView trimmed = json.trimmed();
    return !trimmed.isEmpty() && (trimmed.front() == '{' || trimmed.front() == '[');
}

// Where the number that ends at `end` starts, when it is a JSON number beyond the range of double.
std::optional<qsizetype> beyondDoubleStart(QByteArrayView json, qsizetype end)
{
    if (end > json.size())
        return std::nullopt;
    qsizetype start = end;
    while (start > 0 && QByteArrayView("0123456789+-.eE").contains(json[start - 1]))
        --start;
    const QByteArrayView number = json.sliced(start, end - start);
    static const std::regex jsonNumber(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
    double value = 0;
    const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (!std::regex_match(number.begin(), number.end(), jsonNumber) || stop != number.end() ||
        error != std::errc::result_out_of_range)
        return std::nullopt;
    return start;
}

// Whether Qt accepts `json` once every number beyond the range of double in it reads 0: Qt stops
// at the first such number, and what follows it would otherwise go unjudged.
bool qtAcceptsBesidesRange(QByteArray json)
{
    for (;;) {
        QJsonParseError error;
        QJsonDocument::fromJson(json, &error);
        if (error.error == QJsonParseError::NoError)
            return true;
        const std::optional<qsizetype> start =
            error.error == QJsonParseError::IllegalNumber ? beyondDoubleStart(json, error.offset) : std::nullopt;
        if (!start)
            return false;
        json.replace(*start, error.offset - *start, "0");
    }
}

bool finiteRatings(const QList<SearchAppSearchResultDatum>& records)
{
    for (const SearchAppSearchResultDatum& record : records) {
        if (record.attributes && record.attributes->userRating && record.attributes->userRating->value &&
            !std::isfinite(*record.attributes->userRating->value))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = inputBytes(data, size);

    JsonReader search{bytes};
    const std::optional<SearchAppResponse> answer = SearchAppResponse::read(search);
    const bool valid = search.finish();
    if (answer) {
        const QString summary = answer->summary();
        require(summary.size() <= SearchAppResponse::summaryLength + 64);
        if (answer->results && answer->results->searchResult && answer->results->searchResult->data)
            require(answer->results->searchResult->data->size() <= SearchAppSearchResult::keptApps);
    }

    const QStringList askedIds{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    JsonReader contents{bytes};
    const std::optional<AppContentsResponse> records = AppContentsResponse::read(contents, askedIds);
    require(contents.finish() == valid);
    if (records && records->data) {
        require(records->data->size() <= askedIds.size());
        require(finiteRatings(*records->data));
    }

    if (valid && qtCanJudge(bytes)) {
        require(qtAcceptsBesidesRange(bytes));
    }
    return 0;
}
