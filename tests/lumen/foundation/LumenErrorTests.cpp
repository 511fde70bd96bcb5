#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/ImageDataProvider.h"
#include "Lumen/retrieval/PropagationError.h"
#include "tests/lumen/foundation/FoundationTesting.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <vector>

namespace Lumen {
namespace {

using Request = LumenError::RequestErrorReason;
using Response = LumenError::ResponseErrorReason;
using Cache = LumenError::CacheErrorReason;
using Processor = LumenError::ProcessorErrorReason;
using ImageSetting = LumenError::ImageSettingErrorReason;

const QString noSpaceText = QStringLiteral("Error Domain=POSIX Code=28 \"No space left on device\"");

UnderlyingError fileError()
{
    return UnderlyingError(QStringLiteral("POSIX"), 28, QStringLiteral("No space left on device"));
}

URLResponse httpResponse(int status)
{
    return {.url = QUrl(QStringLiteral("https://img.example.com/a.png")), .statusCode = status, .headers = {{"Content-Type", "image/png"}}};
}

Source networkSource()
{
    return Source::network(LM::ImageResource(QUrl(QStringLiteral("https://img.example.com/a.png")), QStringLiteral("key")));
}

LivePhotoSource livePhotoSource()
{
    return LivePhotoSource{{LivePhotoResource{networkSource(), LivePhotoResource::FileType::heic()}}};
}

class KeyedProvider final : public ImageDataProvider {
public:
    QString cacheKey() const override { return QStringLiteral("provided"); }
    void data(DataHandler handler) const override { handler(QByteArray("bytes")); }
};

// A code is its group's base plus the reason's place in the group, so the first and the last
// reason of each group pin the numbering; factories and converting constructors must agree.
TEST(LumenError, ReasonsHaveTheirCodesAndCases)
{
    const auto task = std::make_shared<SessionDataTask>();
    const std::pair<LumenError, int> table[] = {
        {LumenError::requestError(Request::EmptyRequest{}), 1001},
        {Request::LivePhotoTaskCancelled{livePhotoSource()}, 1004},
        {Response::InvalidURLResponse{httpResponse(200)}, 2001},
        {LumenError::responseError(Response::NoURLResponse{task}), 2005},
        {Response::CancelledByDelegate{httpResponse(200)}, 2006},
        {Cache::FileEnumeratorCreationFailed{QUrl()}, 3001},
        {LumenError::cacheError(Cache::ImageNotExisting{QStringLiteral("k")}), 3006},
        {Cache::MissingLivePhotoResourceOnDisk{livePhotoSource().resources.front()}, 3012},
        {LumenError::processorError(Processor::ProcessingFailed{}), 4001},
        {LumenError::imageSettingError(ImageSetting::EmptySource{}), 5001},
        {ImageSetting::LivePhotoResultError{nullptr, std::nullopt, livePhotoSource()}, 5006},
    };
    using enum LumenError::Case;
    const LumenError::Case cases[] = {requestError, responseError, cacheError, processorError, imageSettingError};
    for (const auto& [error, code] : table) {
        EXPECT_EQ(error.errorCode(), code);
        EXPECT_EQ(error.errorCase(), cases[code / 1000 - 1]) << code;
    }
}

TEST(LumenError, DescriptionsAreTheLibrarysTexts)
{
    const auto task = std::make_shared<SessionDataTask>();
    const QString taskText = describeObject("Lumen::SessionDataTask", task.get());
    const auto result = Testing::opaqueHandle<const RetrieveImageResult>();
    const QString resultText = describeObject("Lumen::RetrieveImageResult", result.get());
    const QString sourceText = networkSource().description();
    const auto provider = std::make_shared<const KeyedProvider>();
    const QString providerText = describeObject("Lumen::ImageDataProvider", provider.get());
    const QVariantMap attributes{{QStringLiteral("modificationDate"), QDateTime::fromSecsSinceEpoch(0, Qt::UTC)}};
    const QUrl fileURL = QUrl::fromLocalFile(QStringLiteral("/cache/Über Bilder/0a1b"));

    // Each text holds the fragment that shows its rule.
    const std::pair<LumenError, QString> table[] = {
        {Request::TaskCancelled{task, 3}, QStringLiteral("Task: ") + taskText + QStringLiteral(", cancel token: 3.")},
        {Response::InvalidHTTPStatusCode{httpResponse(404)},
         QStringLiteral("Code: 404, response: <URLResponse> { URL: https://img.example.com/a.png } { Status Code: 404, Headers")},
        // The URL as its own, encoded text; the data length is plain decimal digits.
        {Cache::CannotCreateCacheFile{fileURL, QStringLiteral("k"), QByteArray(1024, 'x'), fileError()},
         QStringLiteral("url: file:///cache/%C3%9Cber%20Bilder/0a1b, key: k, data length: 1024. Underlying foundation error: ")},
        // The two sentences of the attribute error meet without a blank.
        {Cache::CannotSetCacheFileAttribute{QStringLiteral("/cache/0a1b"), attributes, fileError()},
         QStringLiteral("[modificationDate: 1970-01-01T00:00:00.000Z].Underlying foundation error: ") + noSpaceText},
        {Cache::MissingLivePhotoResourceOnDisk{livePhotoSource().resources.front()},
         QStringLiteral("'LivePhotoResource(dataSource: network(ImageResource(cacheKey: \"key\", downloadURL: ")},
        {Processor::ProcessingFailed{DefaultImageProcessor::shared(), {QByteArray(5, 'x')}},
         QStringLiteral("Processor: ImageProcessor(identifier: \"\"). Processing item: data(5 bytes).")},
        // A result takes precedence over an error.
        {ImageSetting::NotCurrentSourceTask{result, fileError(), networkSource()},
         QStringLiteral("succeeded, but this source is not the one currently expected. Result: ") + resultText},
        {ImageSetting::NotCurrentSourceTask{nullptr, fileError(), networkSource()},
         QStringLiteral("Error: ") + noSpaceText + QStringLiteral(". Resource: ") + sourceText + QLatin1Char('.')},
        {ImageSetting::DataProviderError{provider, fileError()},
         QStringLiteral("Provider: ") + providerText + QStringLiteral(", error: ") + noSpaceText},
    };
    for (const auto& [error, text] : table)
        EXPECT_TRUE(error.errorDescription().value_or(QString()).contains(text)) << error.errorCode();

    const LumenError neither = ImageSetting::NotCurrentLivePhotoSourceTask{nullptr, std::nullopt, livePhotoSource()};
    EXPECT_EQ(neither.localizedDescription(),
              QStringLiteral("The operation could not be completed. (Lumen.LumenError error 5005.)"));

    const auto errors = std::make_shared<const std::vector<PropagationError>>(std::vector<PropagationError>{
        {networkSource(), Cache::ImageNotExisting{QStringLiteral("a")}}, {networkSource(), Request::EmptyRequest{}}});
    const auto text = LumenError(ImageSetting::AlternativeSourcesExhausted{errors}).errorDescription().value();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Image setting from alternative sources failed: [PropagationError(")));
    EXPECT_LT(text.indexOf(QStringLiteral("Lumen.LumenError(3006)")), text.indexOf(QStringLiteral("Lumen.LumenError(1001)")));

    EXPECT_EQ(Source::provider(provider).description(), QStringLiteral("provider(") + providerText + QLatin1Char(')'));
    EXPECT_EQ(Source::provider(nullptr).description(), QStringLiteral("provider(nil)"));
}

TEST(LumenError, PredicatesAreNarrow)
{
    const auto refused = [](std::optional<NetworkUnavailableReason> reason) {
        return LumenError(Response::URLSessionError{
            UnderlyingError::network(QNetworkReply::NetworkSessionFailedError, QStringLiteral("refused"), reason)});
    };
    const std::pair<bool, bool> table[] = {
        {LumenError(Response::InvalidHTTPStatusCode{httpResponse(404)}).isInvalidResponseStatusCode(404), true},
        {LumenError(Response::InvalidHTTPStatusCode{httpResponse(404)}).isInvalidResponseStatusCode(500), false},
        {LumenError(Response::InvalidHTTPStatusCode{httpResponse(500)}).isInvalidResponseStatusCode(), true},
        {LumenError(Response::InvalidURLResponse{httpResponse(404)}).isInvalidResponseStatusCode(404), false},
        {LumenError(ImageSetting::NotCurrentSourceTask{nullptr, std::nullopt, networkSource()}).isNotCurrentTask(), true},
        {LumenError(ImageSetting::NotCurrentLivePhotoSourceTask{nullptr, std::nullopt, livePhotoSource()}).isNotCurrentTask(), false},
        {LumenError(Request::TaskCancelled{nullptr, 1}).isTaskCancelled(), true},
        {LumenError(Request::LivePhotoTaskCancelled{livePhotoSource()}).isTaskCancelled(), false},
        {refused(NetworkUnavailableReason::constrained).isLowDataModeConstrained(), true},
        {refused(NetworkUnavailableReason::expensive).isLowDataModeConstrained(), false},
        {LumenError(Response::URLSessionError{fileError()}).isLowDataModeConstrained(), false},
    };
    for (std::size_t row = 0; row < std::size(table); ++row)
        EXPECT_EQ(table[row].first, table[row].second) << "row " << row;
}

TEST(LumenError, ReasonsStayReachableAndKeepTheirObjectsAlive)
{
    auto task = std::make_shared<SessionDataTask>();
    const std::weak_ptr<SessionDataTask> watched = task;
    std::optional<LumenError> copy = LumenError(Request::TaskCancelled{std::move(task), 7});
    EXPECT_EQ(copy->reasonAs<Request::TaskCancelled>()->token, 7);
    copy.reset();
    EXPECT_TRUE(watched.expired());

    const auto wrapped = UnderlyingError::wrapping(Cache::ImageNotExisting{QStringLiteral("k")});
    EXPECT_NE(wrapped.lumenError()->reasonAs<Cache::ImageNotExisting>(), nullptr);
}

} // namespace
} // namespace Lumen
