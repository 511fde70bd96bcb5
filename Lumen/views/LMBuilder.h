#pragma once

#include "Lumen/views/LMOptionSetter.h"
#include "Lumen/views/loading/ButtonImageLoading.h"
#include "Lumen/views/loading/ImageComponentWrappers.h"
#include "Lumen/views/loading/ImageViewLoading.h"
#include "Lumen/views/loading/TextAttachmentLoading.h"

#include <QByteArray>
#include <QUrl>

#include <concepts>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class QAbstractButton;
class QLabel;

namespace Lumen {

class ImageDataProvider;
class ImageProgressive;
class Placeholder;
class Resource;

namespace LM {

// The fluent way to load an image into an object: name where the image comes from (the
// factories below), chain option setters and outcome blocks, then apply the builder to an
// image view, a button, a text attachment or an image component. Applying hands a snapshot of
// the placeholder and the options to that object's `lm` loading and routes the outcome to the
// blocks (on the GUI thread, where the loading reports), which a request reaches even when the
// builder is gone by then. A builder may be applied any number of times. Settings may be changed
// from any thread.
class Builder final : public LMOptionSetter<Builder> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // The options start as the shared manager's default items at this moment.
    Builder(Passkey, std::optional<Source> source);
    static std::shared_ptr<Builder> make(std::optional<Source> source);

    const std::optional<Source>& source() const { return m_source; }

    LumenParsedOptionsInfo options() const;
    void setOptions(LumenParsedOptionsInfo options);
    LMFailureDelegate& onFailureDelegate() const { return *m_onFailureDelegate; }
    LMSuccessDelegate& onSuccessDelegate() const { return *m_onSuccessDelegate; }
    LMProgressDelegate& onProgressDelegate() const { return *m_onProgressDelegate; }

    // Of any kind for an image view; the other objects take only an image placeholder.
    std::shared_ptr<Placeholder> placeholder() const;
    void setPlaceholder(std::shared_ptr<Placeholder> placeholder);

    // ---- setters of the builder's own ---------------------------------------------------------
    // Null: no placeholder.
    Builder& placeholder(ImagePtr image);
    Builder& keepCurrentImageWhileLoading(bool enabled = true);
    Builder& onlyLoadFirstFrame(bool enabled = true);
    Builder& progressiveJPEG(std::shared_ptr<const ImageProgressive> progressive);

    // ---- applying -------------------------------------------------------------------------------
    // Each answers what the object's loading answers: the first attempt's download task.
    std::shared_ptr<DownloadTask> set(QLabel* imageView);
    std::shared_ptr<DownloadTask> set(AnimatedImageView* imageView);
    std::shared_ptr<DownloadTask> set(QAbstractButton* button);
    std::shared_ptr<DownloadTask> setAlternateImage(QAbstractButton* button);
    // A text attachment or an image component: whatever has an `lm` of one image.
    template<class Target>
        requires std::derived_from<decltype(lm(std::declval<Target>())), ImageSlotLoading>
    std::shared_ptr<DownloadTask> set(Target target)
    {
        return apply(lm(std::move(target)));
    }

private:
    // One application's snapshot and outcome routing.
    struct Request {
        std::shared_ptr<Placeholder> placeholder;
        LumenParsedOptionsInfo options;
        ImageSettingProgress progressBlock;
        ImageSettingCompletion completionHandler;

        // The placeholder when it is an image.
        ImagePtr imagePlaceholder() const;
    };

    Request request();
    template<class ImageView>
    std::shared_ptr<DownloadTask> setImageView(ImageView* imageView);
    std::shared_ptr<DownloadTask> apply(const ImageSlotLoading& target);

    const std::optional<Source> m_source;
    const std::shared_ptr<LMFailureDelegate> m_onFailureDelegate = LMFailureDelegate::make();
    const std::shared_ptr<LMSuccessDelegate> m_onSuccessDelegate = LMSuccessDelegate::make();
    const std::shared_ptr<LMProgressDelegate> m_onProgressDelegate = LMProgressDelegate::make();

    mutable std::mutex m_mutex;
    std::shared_ptr<Placeholder> m_placeholder;
    LumenParsedOptionsInfo m_options;
};

// The factories: each makes a builder, without a source when given none.
std::shared_ptr<Builder> source(std::optional<Source> source);
// A file URL is read from disk, any other URL downloaded.
std::shared_ptr<Builder> resource(const Resource* resource);
// As `resource`; keyed by `cacheKey` when given, else by the URL's own key.
std::shared_ptr<Builder> url(std::optional<QUrl> url, std::optional<QString> cacheKey = std::nullopt);
std::shared_ptr<Builder> dataProvider(std::shared_ptr<const ImageDataProvider> provider);
// Bytes in memory, cached under `cacheKey`.
std::shared_ptr<Builder> data(std::optional<QByteArray> data, QString cacheKey);

} // namespace LM
} // namespace Lumen
