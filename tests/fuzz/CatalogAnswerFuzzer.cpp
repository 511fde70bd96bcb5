// The catalog's answers as the app reads them: a search answer and a contents answer, through
// the streaming JSON reader. Whatever the reader accepts as a whole document, Qt's parser must
// accept too, so the reader never lets through what is not JSON.
#include "TivrandApp/models/AppContentsResponse.h"
#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/SearchAppResponse.h"
#include "tests/fuzz/FuzzInput.h"

#include <QJsonDocument>

using namespace Tivrand;
using namespace Tivrand::Fuzzing;

namespace {

// Qt's parser takes only an object or an array as the whole document.
bool qtCanJudge(QByteArrayView json)
{
    const QByteArrayView trimmed = json.trimmed();
    return !trimmed.isEmpty() && (trimmed.front() == '{' || trimmed.front() == '[');
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
    if (records && records->data)
        require(records->data->size() <= askedIds.size());

    if (valid && qtCanJudge(bytes)) {
        QJsonParseError error;
        QJsonDocument::fromJson(bytes, &error);
        require(error.error == QJsonParseError::NoError);
    }
    return 0;
}
