#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/ImageDataProvider.h"
#include "Lumen/retrieval/PropagationError.h"
#include "tests/lumen/foundation/OpaqueHandle.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <utility>
#include <vector>

namespace Lumen {
namespace {

using Request = LumenError::RequestErrorReason;
using Response = LumenError::ResponseErrorReason;
using Cache = LumenError::CacheErrorReason;
using Processor = LumenError::ProcessorErrorReason;
using ImageSetting = LumenError::ImageSettingErrorReason;

UnderlyingError fileError()
{
    return UnderlyingError(QStringLiteral("POSIX"), 28, QStringLiteral("No space left on device"));
}

URLResponse httpResponse(int status)
{
    URLResponse response;
    response.url = QUrl(QStringLiteral("https://img.example.com/a.png"));
    response.statusCode = status;
    response.headers = {{"Content-Type", "image/png"}};
    return response;
}

Source networkSource()
{
    return Source::network({QStringLiteral("key"), QUrl(QStringLiteral("https://img.example.com/a.png"))});
}

class KeyedProvider final : public ImageDataProvider {
public:
    QString cacheKey() const override { return QStringLiteral("provided"); }
    void data(DataHandler handler) const override { handler(QByteArray("bytes")); }
};

LivePhotoSource livePhotoSource()
{
    return LivePhotoSource{{LivePhotoResource{networkSource(), LivePhotoResource::FileType::heic()}}};
}

TEST(LumenError, EveryReasonHasItsCodeAndCase)
{
    const auto task = std::make_shared<SessionDataTask>();
    const QUrl url(QStringLiteral("file:///cache/x"));
    const struct {
        LumenError error;
        int code;
        LumenError::Case errorCase;
    } table[] = {
        {Request::EmptyRequest{}, 1001, LumenError::Case::requestError},
        {Request::InvalidURL{QNetworkRequest()}, 1002, LumenError::Case::requestError},
        {Request::TaskCancelled{task, 0}, 1003, LumenError::Case::requestError},
        {Request::LivePhotoTaskCancelled{livePhotoSource()}, 1004, LumenError::Case::requestError},
        {Response::InvalidURLResponse{httpResponse(200)}, 2001, LumenError::Case::responseError},
        {Response::InvalidHTTPStatusCode{httpResponse(404)}, 2002, LumenError::Case::responseError},
        {Response::URLSessionError{fileError()}, 2003, LumenError::Case::responseError},
        {Response::DataModifyingFailed{task}, 2004, LumenError::Case::responseError},
        {Response::NoURLResponse{task}, 2005, LumenError::Case::responseError},
        {Response::CancelledByDelegate{httpResponse(200)}, 2006, LumenError::Case::responseError},
        {Cache::FileEnumeratorCreationFailed{url}, 3001, LumenError::Case::cacheError},
        {Cache::InvalidFileEnumeratorContent{url}, 3002, LumenError::Case::cacheError},
        {Cache::InvalidURLResource{fileError(), QStringLiteral("k"), url}, 3003, LumenError::Case::cacheError},
        {Cache::CannotLoadDataFromDisk{url, fileError()}, 3004, LumenError::Case::cacheError},
        {Cache::CannotCreateDirectory{QStringLiteral("/x"), fileError()}, 3005, LumenError::Case::cacheError},
        {Cache::ImageNotExisting{QStringLiteral("k")}, 3006, LumenError::Case::cacheError},
        {Cache::CannotConvertToData{QStringLiteral("v"), fileError()}, 3007, LumenError::Case::cacheError},
        {Cache::CannotSerializeImage{nullptr, std::nullopt, nullptr}, 3008, LumenError::Case::cacheError},
        {Cache::CannotCreateCacheFile{url, QStringLiteral("k"), QByteArray(), fileError()}, 3009,
         LumenError::Case::cacheError},
        {Cache::CannotSetCacheFileAttribute{QStringLiteral("/x"), {}, fileError()}, 3010, LumenError::Case::cacheError},
        {Cache::DiskStorageIsNotReady{url}, 3011, LumenError::Case::cacheError},
        {Cache::MissingLivePhotoResourceOnDisk{livePhotoSource().resources.front()}, 3012,
         LumenError::Case::cacheError},
        {Processor::ProcessingFailed{DefaultImageProcessor::shared(), {QByteArray("x")}}, 4001,
         LumenError::Case::processorError},
        {ImageSetting::EmptySource{}, 5001, LumenError::Case::imageSettingError},
        {ImageSetting::NotCurrentSourceTask{nullptr, std::nullopt, networkSource()}, 5002,
         LumenError::Case::imageSettingError},
        {ImageSetting::DataProviderError{nullptr, fileError()}, 5003, LumenError::Case::imageSettingError},
        {ImageSetting::AlternativeSourcesExhausted{nullptr}, 5004, LumenError::Case::imageSettingError},
        {ImageSetting::NotCurrentLivePhotoSourceTask{nullptr, std::nullopt, livePhotoSource()}, 5005,
         LumenError::Case::imageSettingError},
        {ImageSetting::LivePhotoResultError{nullptr, std::nullopt, livePhotoSource()}, 5006,
         LumenError::Case::imageSettingError},
    };
    for (const auto& row : table) {
        EXPECT_EQ(row.error.errorCode(), row.code);
        EXPECT_EQ(row.error.errorCase(), row.errorCase) << row.code;
    }
}

TEST(LumenError, FactoriesMatchTheConvertingConstructor)
{
    EXPECT_EQ(LumenError::requestError(Request::EmptyRequest{}).errorCode(), 1001);
    EXPECT_EQ(LumenError::responseError(Response::NoURLResponse{}).errorCode(), 2005);
    EXPECT_EQ(LumenError::cacheError(Cache::ImageNotExisting{QStringLiteral("k")}).errorCode(), 3006);
    EXPECT_EQ(LumenError::processorError(Processor::ProcessingFailed{}).errorCode(), 4001);
    EXPECT_EQ(LumenError::imageSettingError(ImageSetting::EmptySource{}).errorCode(), 5001);
}

TEST(LumenError, DomainsAreTheLibrarysTexts)
{
    EXPECT_STREQ(LumenError::domain, "com.vantrel.Lumen.Error");
    EXPECT_EQ(LumenError::errorDomain(), QStringLiteral("Lumen.LumenError"));
}

TEST(LumenError, RequestAndResponseDescriptions)
{
    EXPECT_EQ(LumenError(Request::EmptyRequest{}).errorDescription(), QStringLiteral("The request is empty or `nil`."));

    const auto task = std::make_shared<SessionDataTask>();
    const QString taskText = describeObject("Lumen::SessionDataTask", task.get());
    EXPECT_TRUE(taskText.startsWith(QStringLiteral("<Lumen::SessionDataTask: 0x")));
    EXPECT_EQ(LumenError(Request::TaskCancelled{task, 3}).errorDescription(),
              QStringLiteral("The session task was cancelled. Task: ") + taskText + QStringLiteral(", cancel token: 3."));

    EXPECT_EQ(LumenError(Request::InvalidURL{QNetworkRequest(QUrl(QStringLiteral("http://a.b/c")))}).errorDescription(),
              QStringLiteral("The request contains an invalid or empty URL. Request: http://a.b/c."));

    EXPECT_EQ(LumenError(Response::InvalidHTTPStatusCode{httpResponse(404)}).errorDescription(),
              QStringLiteral("The HTTP status code in response is invalid. Code: 404, response: <URLResponse> "
                             "{ URL: https://img.example.com/a.png } { Status Code: 404, Headers { Content-Type: "
                             "image/png } }."));

    const auto sessionError = UnderlyingError::network(QNetworkReply::HostNotFoundError, QStringLiteral("Host not found"));
    EXPECT_EQ(LumenError(Response::URLSessionError{sessionError}).errorDescription(),
              QStringLiteral("A URL session error happened. The underlying error: Error Domain=QtNetwork Code=3 "
                             "\"Host not found\""));
}

TEST(LumenError, CacheDescriptions)
{
    const QUrl fileURL(QStringLiteral("file:///cache/0a1b"));

    // The data length follows ", data length: " as plain decimal digits, then ". ".
    EXPECT_EQ(LumenError(Cache::CannotCreateCacheFile{fileURL, QStringLiteral("k"), QByteArray(1024, 'x'), fileError()})
                  .errorDescription(),
              QStringLiteral("Cannot create cache file at url: file:///cache/0a1b, key: k, data length: 1024. "
                             "Underlying foundation error: Error Domain=POSIX Code=28 \"No space left on device\"."));

    // The two sentences of the attribute error meet without a blank.
    const QVariantMap attributes{{QStringLiteral("modificationDate"),
                                  QDateTime::fromSecsSinceEpoch(0, Qt::UTC)}};
    EXPECT_EQ(LumenError(Cache::CannotSetCacheFileAttribute{QStringLiteral("/cache/0a1b"), attributes, fileError()})
                  .errorDescription(),
              QStringLiteral("Cannot set file attribute for the cache file at path: /cache/0a1b, attributes: "
                             "[modificationDate: 1970-01-01T00:00:00.000Z].Underlying foundation error: Error "
                             "Domain=POSIX Code=28 \"No space left on device\"."));

    EXPECT_EQ(LumenError(Cache::ImageNotExisting{QStringLiteral("icon@2x")}).errorDescription(),
              QStringLiteral("The image is not in cache, but you requires it should only be from cache by enabling "
                             "the `.onlyFromCache` option. Key: icon@2x."));

    EXPECT_EQ(LumenError(Cache::DiskStorageIsNotReady{QUrl(QStringLiteral("file:///cache"))}).errorDescription(),
              QStringLiteral("The disk storage is not ready to use yet at URL: 'file:///cache'. This is usually caused "
                             "by extremely lack of disk space. Ask users to free up some space and restart the app."));

    EXPECT_EQ(LumenError(Cache::CannotSerializeImage{nullptr, QByteArray(7, 'x'), nullptr}).errorDescription(),
              QStringLiteral("Cannot serialize an image due to the cache serializer returning `nil`. Image: nil, "
                             "original data: Optional(7 bytes), serializer: nil."));

    EXPECT_EQ(LumenError(Cache::MissingLivePhotoResourceOnDisk{livePhotoSource().resources.front()}).errorDescription(),
              QStringLiteral("The live photo resource 'LivePhotoResource(dataSource: network(ImageResource(cacheKey: "
                             "\"key\", downloadURL: https://img.example.com/a.png)), referenceFileType: heic)' is "
                             "missing in the cache. Usually a re-download can fix this issue."));
}

TEST(LumenError, ProcessorDescriptionNamesProcessorAndItem)
{
    EXPECT_EQ(LumenError(Processor::ProcessingFailed{DefaultImageProcessor::shared(), {QByteArray(5, 'x')}})
                  .errorDescription(),
              QStringLiteral("Processing image failed. Processor: ImageProcessor(identifier: \"\"). Processing item: "
                             "data(5 bytes)."));
}

TEST(LumenError, NotCurrentDescriptionsPreferTheResultAndMayBeAbsent)
{
    const auto result = Testing::opaqueHandle<const RetrieveImageResult>();
    const QString resultText = describeObject("Lumen::RetrieveImageResult", result.get());
    const QString sourceText = networkSource().description();

    const LumenError both = ImageSetting::NotCurrentSourceTask{result, fileError(), networkSource()};
    EXPECT_EQ(both.errorDescription(), QStringLiteral("Retrieving resource succeeded, but this source is not the one "
                                                      "currently expected. Result: ")
                                           + resultText + QStringLiteral(". Resource: ") + sourceText
                                           + QLatin1Char('.'));

    const LumenError errorOnly = ImageSetting::NotCurrentSourceTask{nullptr, fileError(), networkSource()};
    EXPECT_EQ(errorOnly.errorDescription(),
              QStringLiteral("Retrieving resource failed, and this resource is not the one currently expected. "
                             "Error: Error Domain=POSIX Code=28 \"No space left on device\". Resource: ")
                  + sourceText + QLatin1Char('.'));

    const LumenError neither = ImageSetting::NotCurrentLivePhotoSourceTask{nullptr, std::nullopt, livePhotoSource()};
    EXPECT_EQ(neither.errorDescription(), std::nullopt);
    EXPECT_EQ(neither.localizedDescription(),
              QStringLiteral("The operation could not be completed. (Lumen.LumenError error 5005.)"));
}

TEST(LumenError, ImageSettingDescriptions)
{
    EXPECT_EQ(LumenError(ImageSetting::EmptySource{}).errorDescription(), QStringLiteral("The input resource is empty."));

    EXPECT_EQ(LumenError(ImageSetting::LivePhotoResultError{nullptr, std::nullopt, LivePhotoSource{}}).errorDescription(),
              QStringLiteral("An error occurred while processing live photo. Source: LivePhotoSource(resources: []). "
                             "Result: nil. Error: nil"));

    const auto errors = std::make_shared<const std::vector<PropagationError>>(std::vector<PropagationError>{
        {networkSource(), Cache::ImageNotExisting{QStringLiteral("a")}},
        {networkSource(), Request::EmptyRequest{}},
    });
    const auto text = LumenError(ImageSetting::AlternativeSourcesExhausted{errors}).errorDescription().value();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Image setting from alternative sources failed: [PropagationError(")));
    EXPECT_LT(text.indexOf(QStringLiteral("Lumen.LumenError(3006)")), text.indexOf(QStringLiteral("Lumen.LumenError(1001)")));
}

TEST(LumenError, ProviderErrorsNameTheProviderObject)
{
    const auto provider = std::make_shared<const KeyedProvider>();
    const QString providerText = describeObject("Lumen::ImageDataProvider", provider.get());
    EXPECT_EQ(LumenError(ImageSetting::DataProviderError{provider, fileError()}).errorDescription(),
              QStringLiteral("Image data provider fails to provide data. Provider: ") + providerText
                  + QStringLiteral(", error: Error Domain=POSIX Code=28 \"No space left on device\""));

    const Source source = Source::provider(provider);
    EXPECT_EQ(source.cacheKey(), QStringLiteral("provided"));
    EXPECT_EQ(source.description(), QStringLiteral("provider(") + providerText + QLatin1Char(')'));
    EXPECT_EQ(Source::provider(nullptr).description(), QStringLiteral("provider(nil)"));
}

TEST(LumenError, InvalidStatusCodePredicates)
{
    const LumenError notFound = Response::InvalidHTTPStatusCode{httpResponse(404)};
    EXPECT_TRUE(notFound.isInvalidResponseStatusCode());
    EXPECT_TRUE(notFound.isInvalidResponseStatusCode(404));
    EXPECT_FALSE(notFound.isInvalidResponseStatusCode(500));

    const LumenError other = Response::InvalidURLResponse{httpResponse(404)};
    EXPECT_FALSE(other.isInvalidResponseStatusCode());
    EXPECT_FALSE(other.isInvalidResponseStatusCode(404));
}

TEST(LumenError, NotCurrentAndCancelledPredicatesAreNarrow)
{
    EXPECT_TRUE(LumenError(ImageSetting::NotCurrentSourceTask{nullptr, std::nullopt, networkSource()}).isNotCurrentTask());
    EXPECT_FALSE(LumenError(ImageSetting::NotCurrentLivePhotoSourceTask{nullptr, std::nullopt, livePhotoSource()})
                     .isNotCurrentTask());
    EXPECT_FALSE(LumenError(ImageSetting::EmptySource{}).isNotCurrentTask());

    EXPECT_TRUE(LumenError(Request::TaskCancelled{nullptr, 1}).isTaskCancelled());
    EXPECT_FALSE(LumenError(Request::LivePhotoTaskCancelled{livePhotoSource()}).isTaskCancelled());
    EXPECT_FALSE(LumenError(Request::EmptyRequest{}).isTaskCancelled());
}

TEST(LumenError, LowDataModeOnlyForAConstrainedNetworkRefusal)
{
    const auto sessionError = [](UnderlyingError error) { return LumenError(Response::URLSessionError{std::move(error)}); };
    const auto refused = [](std::optional<NetworkUnavailableReason> reason) {
        return UnderlyingError::network(QNetworkReply::NetworkSessionFailedError, QStringLiteral("refused"), reason);
    };

    EXPECT_TRUE(sessionError(refused(NetworkUnavailableReason::constrained)).isLowDataModeConstrained());
    EXPECT_FALSE(sessionError(refused(NetworkUnavailableReason::expensive)).isLowDataModeConstrained());
    EXPECT_FALSE(sessionError(refused(std::nullopt)).isLowDataModeConstrained());
    EXPECT_FALSE(sessionError(fileError()).isLowDataModeConstrained());
    EXPECT_FALSE(sessionError(UnderlyingError::wrapping(Request::EmptyRequest{})).isLowDataModeConstrained());
    EXPECT_FALSE(LumenError(Response::NoURLResponse{}).isLowDataModeConstrained());
}

TEST(LumenError, ReasonAsAnswersOnlyTheHeldReason)
{
    const auto task = std::make_shared<SessionDataTask>();
    const LumenError error = Request::TaskCancelled{task, 7};
    const auto* cancelled = error.reasonAs<Request::TaskCancelled>();
    ASSERT_NE(cancelled, nullptr);
    EXPECT_EQ(cancelled->task, task);
    EXPECT_EQ(cancelled->token, 7);
    EXPECT_EQ(error.reasonAs<Request::EmptyRequest>(), nullptr);
    EXPECT_EQ(error.reasonAs<Response::NoURLResponse>(), nullptr);
}

TEST(LumenError, KeepsTheObjectsItNamesAlive)
{
    std::weak_ptr<SessionDataTask> watched;
    std::optional<LumenError> copy;
    {
        const auto task = std::make_shared<SessionDataTask>();
        watched = task;
        const LumenError error = Response::DataModifyingFailed{task};
        copy = error;
    }
    EXPECT_FALSE(watched.expired());
    copy.reset();
    EXPECT_TRUE(watched.expired());
}

TEST(LumenError, WrappedAsUnderlyingErrorItStaysReachable)
{
    const auto wrapped = UnderlyingError::wrapping(Cache::ImageNotExisting{QStringLiteral("k")});
    EXPECT_EQ(wrapped.domain(), QStringLiteral("Lumen.LumenError"));
    EXPECT_EQ(wrapped.code(), 3006);
    ASSERT_NE(wrapped.lumenError(), nullptr);
    EXPECT_NE(wrapped.lumenError()->reasonAs<Cache::ImageNotExisting>(), nullptr);
    EXPECT_FALSE(wrapped.isNetworkError());
}

} // namespace
} // namespace Lumen
