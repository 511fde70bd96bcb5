// The catalog's answers as the app reads them: a search answer and a contents answer, through
// the streaming JSON reader. Whatever the reader accepts as a whole document, Qt's parser must
// accept too, so the reader never lets through what is not JSON; the one difference set aside
// is a number beyond the range of double, which Qt refuses and the reader reads as no number.
// A rating is never an infinity.
#include "TivrandApp/models/AppContentsResponse.h"
#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/SearchAppResponse.h"
#include "tests/fuzz/FuzzInput.h"

#include <QJsonDocument>

#include <charconv>
#include <cmath>

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

// Whether Qt refused the number that ends where it stopped for being beyond the range of double.
bool refusedOnlyForRange(QByteArrayView json, const QJsonParseError& error)
{
    if (error.error != QJsonParseError::IllegalNumber || error.offset > json.size())
        return false;
    qsizetype start = error.offset;
    while (start > 0 && QByteArrayView("0123456789+-.eE").contains(json[start - 1]))
        --start;
    const QByteArrayView number = json.sliced(start, error.offset - start);
    double value = 0;
    return std::from_chars(number.data(), number.data() + number.size(), value).ec == std::errc::result_out_of_range;
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
        QJsonParseError error;
        QJsonDocument::fromJson(bytes, &error);
        require(error.error == QJsonParseError::NoError || refusedOnlyForRange(bytes, error));
    }
    return 0;
}
