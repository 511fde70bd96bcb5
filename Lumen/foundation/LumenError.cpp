#include "Lumen/foundation/LumenError.h"

#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/PropagationError.h"

#include <QStringList>

namespace Lumen {

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

// Each reason group numbers its reasons from its base + 1, in declaration order.
constexpr int codeBase[] = {1000, 2000, 3000, 4000, 5000};

QString describeTask(const std::shared_ptr<SessionDataTask>& task)
{
    return describeObject("Lumen::SessionDataTask", task.get());
}

QString describeRequest(const QNetworkRequest& request)
{
    return request.url().isEmpty() ? QStringLiteral("<no URL>") : describeUrl(request.url());
}

QString describeOptionalError(const std::optional<UnderlyingError>& error)
{
    return describeOptional(error ? std::optional(error->description()) : std::nullopt);
}

QString describeAttributes(const QVariantMap& attributes)
{
    if (attributes.isEmpty())
        return QStringLiteral("[:]");
    QStringList entries;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        entries.append(it.key() + QStringLiteral(": ") + it.value().toString());
    return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString describePropagationErrors(const std::shared_ptr<const std::vector<PropagationError>>& errors)
{
    QStringList entries;
    if (errors) {
        for (const auto& error : *errors)
            entries.append(error.description());
    }
    return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// The "not current" texts: a result wins over an error; with neither there is no text.
template <typename Result>
std::optional<QString> notCurrentDescription(const QString& subject, const std::shared_ptr<const Result>& result,
                                             const char* resultTypeName, const std::optional<UnderlyingError>& error,
                                             const QString& source)
{
    if (result) {
        return QStringLiteral("Retrieving ") + subject + QStringLiteral(" succeeded, but this source is ")
            + QStringLiteral("not the one currently expected. Result: ") + describeObject(resultTypeName, result.get())
            + QStringLiteral(". Resource: ") + source + QLatin1Char('.');
    }
    if (error) {
        return QStringLiteral("Retrieving ") + subject + QStringLiteral(" failed, and this resource is ")
            + QStringLiteral("not the one currently expected. Error: ") + error->description()
            + QStringLiteral(". Resource: ") + source + QLatin1Char('.');
    }
    return std::nullopt;
}

using Request = LumenError::RequestErrorReason;
using Response = LumenError::ResponseErrorReason;
using Cache = LumenError::CacheErrorReason;
using Processor = LumenError::ProcessorErrorReason;
using ImageSetting = LumenError::ImageSettingErrorReason;

QString describe(const Request::Value& reason)
{
    return std::visit(
        Overloaded{
            [](const Request::EmptyRequest&) { return QStringLiteral("The request is empty or `nil`."); },
            [](const Request::InvalidURL& r) {
                return QStringLiteral("The request contains an invalid or empty URL. Request: ")
                    + describeRequest(r.request) + QLatin1Char('.');
            },
            [](const Request::TaskCancelled& r) {
                return QStringLiteral("The session task was cancelled. Task: ") + describeTask(r.task)
                    + QStringLiteral(", cancel token: ") + QString::number(r.token) + QLatin1Char('.');
            },
            [](const Request::LivePhotoTaskCancelled& r) {
                return QStringLiteral("The live photo download task was cancelled. Source: ") + r.source.description();
            },
        },
        reason);
}

QString describe(const Response::Value& reason)
{
    return std::visit(
        Overloaded{
            [](const Response::InvalidURLResponse& r) {
                return QStringLiteral("The URL response is invalid: ") + r.response.description();
            },
            [](const Response::InvalidHTTPStatusCode& r) {
                return QStringLiteral("The HTTP status code in response is invalid. Code: ")
                    + QString::number(r.response.statusCode.value_or(0)) + QStringLiteral(", response: ")
                    + r.response.description() + QLatin1Char('.');
            },
            [](const Response::URLSessionError& r) {
                return QStringLiteral("A URL session error happened. The underlying error: ") + r.error.description();
            },
            [](const Response::DataModifyingFailed& r) {
                return QStringLiteral("The data modifying delegate returned `nil` for the downloaded data. Task: ")
                    + describeTask(r.task) + QLatin1Char('.');
            },
            [](const Response::NoURLResponse& r) {
                return QStringLiteral("No URL response received. Task: ") + describeTask(r.task) + QLatin1Char('.');
            },
            [](const Response::CancelledByDelegate& r) {
                return QStringLiteral("The downloading task is cancelled by the downloader delegate. Response: ")
                    + r.response.description() + QLatin1Char('.');
            },
        },
        reason);
}

QString describe(const Cache::Value& reason)
{
    return std::visit(
        Overloaded{
            [](const Cache::FileEnumeratorCreationFailed& r) {
                return QStringLiteral("Cannot create file enumerator for URL: ") + describeUrl(r.url) + QLatin1Char('.');
            },
            [](const Cache::InvalidFileEnumeratorContent& r) {
                return QStringLiteral("Cannot get contents from the file enumerator at URL: ") + describeUrl(r.url)
                    + QLatin1Char('.');
            },
            [](const Cache::InvalidURLResource& r) {
                return QStringLiteral("Cannot get URL resource values or data for the given URL: ") + describeUrl(r.url)
                    + QStringLiteral(". ") + QStringLiteral("Cache key: ") + r.key
                    + QStringLiteral(". Underlying error: ") + r.error.description();
            },
            [](const Cache::CannotLoadDataFromDisk& r) {
                return QStringLiteral("Cannot load data from disk at URL: ") + describeUrl(r.url)
                    + QStringLiteral(". Underlying error: ") + r.error.description();
            },
            [](const Cache::CannotCreateDirectory& r) {
                return QStringLiteral("Cannot create directory at given path: Path: ") + r.path
                    + QStringLiteral(". Underlying error: ") + r.error.description();
            },
            [](const Cache::ImageNotExisting& r) {
                return QStringLiteral("The image is not in cache, but you requires it should only be ")
                    + QStringLiteral("from cache by enabling the `.onlyFromCache` option. Key: ") + r.key
                    + QLatin1Char('.');
            },
            [](const Cache::CannotConvertToData& r) {
                return QStringLiteral("Cannot convert the input object to a `Data` object when storing it to disk cache. ")
                    + QStringLiteral("Object: ") + r.object + QStringLiteral(". Underlying error: ")
                    + r.error.description();
            },
            [](const Cache::CannotSerializeImage& r) {
                const auto image = r.image ? std::optional(describeObject("Lumen::Image", r.image.get())) : std::nullopt;
                const auto original = r.original ? std::optional(describeData(*r.original)) : std::nullopt;
                return QStringLiteral("Cannot serialize an image due to the cache serializer returning `nil`. ")
                    + QStringLiteral("Image: ") + describeOptional(image) + QStringLiteral(", original data: ")
                    + describeOptional(original) + QStringLiteral(", ") + QStringLiteral("serializer: ")
                    + describeObject("Lumen::CacheSerializer", r.serializer.get()) + QLatin1Char('.');
            },
            [](const Cache::CannotCreateCacheFile& r) {
                return QStringLiteral("Cannot create cache file at url: ") + describeUrl(r.fileURL)
                    + QStringLiteral(", key: ") + r.key + QStringLiteral(", data length: ")
                    + QString::number(r.data.size()) + QStringLiteral(". ")
                    + QStringLiteral("Underlying foundation error: ") + r.error.description() + QLatin1Char('.');
            },
            [](const Cache::CannotSetCacheFileAttribute& r) {
                return QStringLiteral("Cannot set file attribute for the cache file at path: ") + r.filePath
                    + QStringLiteral(", attributes: ") + describeAttributes(r.attributes) + QLatin1Char('.')
                    + QStringLiteral("Underlying foundation error: ") + r.error.description() + QLatin1Char('.');
            },
            [](const Cache::DiskStorageIsNotReady& r) {
                return QStringLiteral("The disk storage is not ready to use yet at URL: '") + describeUrl(r.cacheURL)
                    + QStringLiteral("'. ")
                    + QStringLiteral("This is usually caused by extremely lack of disk space. Ask users to free up "
                                     "some space and restart the app.");
            },
            [](const Cache::MissingLivePhotoResourceOnDisk& r) {
                return QStringLiteral("The live photo resource '") + r.resource.description()
                    + QStringLiteral("' is missing in the cache. Usually a re-download")
                    + QStringLiteral(" can fix this issue.");
            },
        },
        reason);
}

QString describe(const Processor::Value& reason)
{
    const auto& failed = std::get<Processor::ProcessingFailed>(reason);
    const QString processor = failed.processor ? failed.processor->description() : QStringLiteral("nil");
    QString text = QStringLiteral("Processing image failed. Processor: ") + processor
        + QStringLiteral(". Processing item: ") + failed.item.description() + QLatin1Char('.');
    if (failed.sourceURL && !failed.sourceURL->isEmpty())
        text += QStringLiteral(" Source URL: ") + describeUrl(*failed.sourceURL) + QLatin1Char('.');
    return text;
}

std::optional<QString> describe(const ImageSetting::Value& reason)
{
    return std::visit(
        Overloaded{
            [](const ImageSetting::EmptySource&) -> std::optional<QString> {
                return QStringLiteral("The input resource is empty.");
            },
            [](const ImageSetting::NotCurrentSourceTask& r) {
                return notCurrentDescription(QStringLiteral("resource"), r.result, "Lumen::RetrieveImageResult",
                                             r.error, r.source.description());
            },
            [](const ImageSetting::DataProviderError& r) -> std::optional<QString> {
                return QStringLiteral("Image data provider fails to provide data. Provider: ")
                    + describeObject("Lumen::ImageDataProvider", r.provider.get()) + QStringLiteral(", error: ")
                    + r.error.description();
            },
            [](const ImageSetting::AlternativeSourcesExhausted& r) -> std::optional<QString> {
                return QStringLiteral("Image setting from alternative sources failed: ")
                    + describePropagationErrors(r.errors);
            },
            [](const ImageSetting::NotCurrentLivePhotoSourceTask& r) {
                return notCurrentDescription(QStringLiteral("live photo resource"), r.result,
                                             "Lumen::RetrieveLivePhotoResult", r.error, r.source.description());
            },
            [](const ImageSetting::LivePhotoResultError& r) -> std::optional<QString> {
                const auto result = r.result
                    ? std::optional(describeObject("Lumen::RetrieveLivePhotoResult", r.result.get()))
                    : std::nullopt;
                return QStringLiteral("An error occurred while processing live photo. Source: ")
                    + r.source.description() + QStringLiteral(". ") + QStringLiteral("Result: ")
                    + describeOptional(result) + QStringLiteral(". Error: ") + describeOptionalError(r.error);
            },
        },
        reason);
}

} // namespace

LumenError LumenError::requestError(RequestErrorReason::Value reason)
{
    return LumenError(Reason(std::in_place_index<0>, std::move(reason)));
}

LumenError LumenError::responseError(ResponseErrorReason::Value reason)
{
    return LumenError(Reason(std::in_place_index<1>, std::move(reason)));
}

LumenError LumenError::cacheError(CacheErrorReason::Value reason)
{
    return LumenError(Reason(std::in_place_index<2>, std::move(reason)));
}

LumenError LumenError::processorError(ProcessorErrorReason::Value reason)
{
    return LumenError(Reason(std::in_place_index<3>, std::move(reason)));
}

LumenError LumenError::imageSettingError(ImageSettingErrorReason::Value reason)
{
    return LumenError(Reason(std::in_place_index<4>, std::move(reason)));
}

QString LumenError::errorDomain()
{
    return QStringLiteral("Lumen.LumenError");
}

int LumenError::errorCode() const
{
    const auto reasonIndex = std::visit([](const auto& group) { return group.index(); }, m_reason);
    return codeBase[m_reason.index()] + static_cast<int>(reasonIndex) + 1;
}

std::optional<QString> LumenError::errorDescription() const
{
    return std::visit([](const auto& group) -> std::optional<QString> { return describe(group); }, m_reason);
}

QString LumenError::localizedDescription() const
{
    if (auto text = errorDescription())
        return *text;
    return QStringLiteral("The operation could not be completed. (") + errorDomain() + QStringLiteral(" error ")
        + QString::number(errorCode()) + QStringLiteral(".)");
}

QString LumenError::description() const
{
    return errorDomain() + QLatin1Char('(') + QString::number(errorCode()) + QStringLiteral("): ")
        + localizedDescription();
}

bool LumenError::isInvalidResponseStatusCode(int code) const
{
    const auto* invalid = reasonAs<ResponseErrorReason::InvalidHTTPStatusCode>();
    return invalid && invalid->response.statusCode == code;
}

bool LumenError::isInvalidResponseStatusCode() const
{
    return reasonAs<ResponseErrorReason::InvalidHTTPStatusCode>() != nullptr;
}

bool LumenError::isNotCurrentTask() const
{
    return reasonAs<ImageSettingErrorReason::NotCurrentSourceTask>() != nullptr;
}

bool LumenError::isLowDataModeConstrained() const
{
    const auto* sessionError = reasonAs<ResponseErrorReason::URLSessionError>();
    return sessionError && sessionError->error.isNetworkError()
        && sessionError->error.networkUnavailableReason() == NetworkUnavailableReason::constrained;
}

bool LumenError::isTaskCancelled() const
{
    return reasonAs<RequestErrorReason::TaskCancelled>() != nullptr;
}

} // namespace Lumen
