#pragma once

#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/UnderlyingError.h"
#include "Lumen/retrieval/LivePhotoSource.h"
#include "Lumen/retrieval/Source.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace Lumen {

class CacheSerializer;
class ImageDataProvider;
class SessionDataTask;
struct PropagationError;
struct RetrieveImageResult;
struct RetrieveLivePhotoResult;

// The one error of the image library. An immutable value: one of five cases, each with a
// reason that carries what went wrong and has a numeric code (1001-1004 request, 2001-2006
// response, 3001-3012 cache, 4001 processor, 5001-5006 image setting). Objects named by a
// reason are shared and kept alive by the error.
class LumenError {
public:
    struct RequestErrorReason {
        struct EmptyRequest {};
        struct InvalidURL {
            QNetworkRequest request;
        };
        struct TaskCancelled {
            std::shared_ptr<SessionDataTask> task;
            std::int64_t token = 0;
        };
        struct LivePhotoTaskCancelled {
            LivePhotoSource source;
        };
        using Value = std::variant<EmptyRequest, InvalidURL, TaskCancelled, LivePhotoTaskCancelled>;
    };

    struct ResponseErrorReason {
        struct InvalidURLResponse {
            URLResponse response;
        };
        struct InvalidHTTPStatusCode {
            URLResponse response;
        };
        struct URLSessionError {
            UnderlyingError error;
        };
        struct DataModifyingFailed {
            std::shared_ptr<SessionDataTask> task;
        };
        struct NoURLResponse {
            std::shared_ptr<SessionDataTask> task;
        };
        struct CancelledByDelegate {
            URLResponse response;
        };
        using Value = std::variant<InvalidURLResponse, InvalidHTTPStatusCode, URLSessionError, DataModifyingFailed,
                                   NoURLResponse, CancelledByDelegate>;
    };

    struct CacheErrorReason {
        struct FileEnumeratorCreationFailed {
            QUrl url;
        };
        struct InvalidFileEnumeratorContent {
            QUrl url;
        };
        struct InvalidURLResource {
            UnderlyingError error;
            QString key;
            QUrl url;
        };
        struct CannotLoadDataFromDisk {
            QUrl url;
            UnderlyingError error;
        };
        struct CannotCreateDirectory {
            QString path;
            UnderlyingError error;
        };
        struct ImageNotExisting {
            QString key;
        };
        struct CannotConvertToData {
            // The text of the value that could not be turned into bytes.
            QString object;
            UnderlyingError error;
        };
        struct CannotSerializeImage {
            ImagePtr image;
            std::optional<QByteArray> original;
            std::shared_ptr<const CacheSerializer> serializer;
        };
        struct CannotCreateCacheFile {
            QUrl fileURL;
            QString key;
            QByteArray data;
            UnderlyingError error;
        };
        struct CannotSetCacheFileAttribute {
            QString filePath;
            QVariantMap attributes;
            UnderlyingError error;
        };
        struct DiskStorageIsNotReady {
            QUrl cacheURL;
        };
        struct MissingLivePhotoResourceOnDisk {
            LivePhotoResource resource;
        };
        using Value = std::variant<FileEnumeratorCreationFailed, InvalidFileEnumeratorContent, InvalidURLResource,
                                   CannotLoadDataFromDisk, CannotCreateDirectory, ImageNotExisting,
                                   CannotConvertToData, CannotSerializeImage, CannotCreateCacheFile,
                                   CannotSetCacheFileAttribute, DiskStorageIsNotReady, MissingLivePhotoResourceOnDisk>;
    };

    struct ProcessorErrorReason {
        struct ProcessingFailed {
            std::shared_ptr<const ImageProcessor> processor;
            ImageProcessItem item;
            // Where the item came from, when it came from a URL; an empty one is not named.
            std::optional<QUrl> sourceURL = std::nullopt;
        };
        using Value = std::variant<ProcessingFailed>;
    };

    struct ImageSettingErrorReason {
        struct EmptySource {};
        struct NotCurrentSourceTask {
            std::shared_ptr<const RetrieveImageResult> result;
            std::optional<UnderlyingError> error;
            Source source;
        };
        struct DataProviderError {
            std::shared_ptr<const ImageDataProvider> provider;
            UnderlyingError error;
        };
        struct AlternativeSourcesExhausted {
            // The sources given up, in the order they failed.
            std::shared_ptr<const std::vector<PropagationError>> errors;
        };
        struct NotCurrentLivePhotoSourceTask {
            std::shared_ptr<const RetrieveLivePhotoResult> result;
            std::optional<UnderlyingError> error;
            LivePhotoSource source;
        };
        struct LivePhotoResultError {
            std::shared_ptr<const RetrieveLivePhotoResult> result;
            std::optional<UnderlyingError> error;
            LivePhotoSource source;
        };
        using Value = std::variant<EmptySource, NotCurrentSourceTask, DataProviderError, AlternativeSourcesExhausted,
                                   NotCurrentLivePhotoSourceTask, LivePhotoResultError>;
    };

    enum class Case { requestError, responseError, cacheError, processorError, imageSettingError };

    using Reason = std::variant<RequestErrorReason::Value, ResponseErrorReason::Value, CacheErrorReason::Value,
                                ProcessorErrorReason::Value, ImageSettingErrorReason::Value>;

private:
    template <typename Group, typename R>
    struct IsReasonOf;
    template <typename R, typename... Rs>
    struct IsReasonOf<std::variant<Rs...>, R> : std::disjunction<std::is_same<R, Rs>...> {};

    // Index in `Reason` of the group that holds the reason type `R`; npos for other types.
    template <typename R>
    static constexpr std::size_t groupIndexOf()
    {
        if constexpr (IsReasonOf<RequestErrorReason::Value, R>::value)
            return 0;
        else if constexpr (IsReasonOf<ResponseErrorReason::Value, R>::value)
            return 1;
        else if constexpr (IsReasonOf<CacheErrorReason::Value, R>::value)
            return 2;
        else if constexpr (IsReasonOf<ProcessorErrorReason::Value, R>::value)
            return 3;
        else if constexpr (IsReasonOf<ImageSettingErrorReason::Value, R>::value)
            return 4;
        else
            return std::variant_npos;
    }

public:
    // Any reason converts to its error: `LumenError error = LumenError::RequestErrorReason::EmptyRequest{};`
    template <typename R>
        requires(groupIndexOf<std::remove_cvref_t<R>>() != std::variant_npos)
    LumenError(R&& reason)
        : m_reason(std::in_place_index<groupIndexOf<std::remove_cvref_t<R>>()>, std::forward<R>(reason))
    {
    }

    static LumenError requestError(RequestErrorReason::Value reason);
    static LumenError responseError(ResponseErrorReason::Value reason);
    static LumenError cacheError(CacheErrorReason::Value reason);
    static LumenError processorError(ProcessorErrorReason::Value reason);
    static LumenError imageSettingError(ImageSettingErrorReason::Value reason);

    Case errorCase() const { return static_cast<Case>(m_reason.index()); }
    const Reason& reason() const { return m_reason; }

    // The reason when it is of type `R`, otherwise null:
    // `if (auto* cancelled = error.reasonAs<LumenError::RequestErrorReason::TaskCancelled>())`.
    template <typename R>
        requires(groupIndexOf<R>() != std::variant_npos)
    const R* reasonAs() const
    {
        const auto* group = std::get_if<groupIndexOf<R>()>(&m_reason);
        return group ? std::get_if<R>(group) : nullptr;
    }

    // "com.vantrel.Lumen.Error"; the library's published domain, which no code reads.
    static constexpr char domain[] = "com.vantrel.Lumen.Error";
    // The domain under which the error is passed on as a general error: "Lumen.LumenError".
    static QString errorDomain();

    int errorCode() const;
    // The text of the reason; absent only for the two "not current" image-setting reasons
    // that carry neither a result nor an error.
    std::optional<QString> errorDescription() const;
    // The description, or the generic text that names the domain and code when there is none.
    QString localizedDescription() const;
    // "Lumen.LumenError(<code>): <localized description>".
    QString description() const;

    // True only for an invalid HTTP status code response whose status equals `code`.
    bool isInvalidResponseStatusCode(int code) const;
    // True for any invalid HTTP status code response.
    bool isInvalidResponseStatusCode() const;
    // True only for `notCurrentSourceTask` (not its live-photo variant).
    bool isNotCurrentTask() const;
    // True only for a session error whose network error was refused because the network is
    // constrained (low-data mode).
    bool isLowDataModeConstrained() const;
    // True only for a request cancelled by its caller (`taskCancelled`).
    bool isTaskCancelled() const;

private:
    explicit LumenError(Reason reason) : m_reason(std::move(reason)) {}

    Reason m_reason;
};

} // namespace Lumen
