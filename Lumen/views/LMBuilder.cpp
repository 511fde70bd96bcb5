#include "Lumen/views/LMBuilder.h"

#include "Lumen/foundation/ImagePlaceholder.h"
#include "Lumen/retrieval/LumenManager.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/Resource.h"

namespace Lumen::LM {

Builder::Builder(Passkey, std::optional<Source> source)
    : m_source(std::move(source))
    , m_options(LumenManager::shared()->defaultOptions())
{
}

std::shared_ptr<Builder> Builder::make(std::optional<Source> source)
{
    return std::make_shared<Builder>(Passkey{}, std::move(source));
}

LumenParsedOptionsInfo Builder::options() const
{
    std::lock_guard lock(m_mutex);
    return m_options;
}

void Builder::setOptions(LumenParsedOptionsInfo options)
{
    std::lock_guard lock(m_mutex);
    std::swap(m_options, options);
    // The replaced options are released after the guard, by `options`.
}

std::shared_ptr<Placeholder> Builder::placeholder() const
{
    std::lock_guard lock(m_mutex);
    return m_placeholder;
}

void Builder::setPlaceholder(std::shared_ptr<Placeholder> placeholder)
{
    std::lock_guard lock(m_mutex);
    m_placeholder.swap(placeholder);
}

Builder& Builder::placeholder(ImagePtr image)
{
    setPlaceholder(image ? std::make_shared<ImagePlaceholder>(std::move(image)) : nullptr);
    return *this;
}

Builder& Builder::keepCurrentImageWhileLoading(bool enabled)
{
    return modifyOptions([enabled](LumenParsedOptionsInfo& options) { options.keepCurrentImageWhileLoading = enabled; });
}

Builder& Builder::onlyLoadFirstFrame(bool enabled)
{
    return modifyOptions([enabled](LumenParsedOptionsInfo& options) { options.onlyLoadFirstFrame = enabled; });
}

Builder& Builder::progressiveJPEG(std::shared_ptr<const ImageProgressive> progressive)
{
    return modifyOptions([&](LumenParsedOptionsInfo& options) { options.progressiveJPEG = std::move(progressive); });
}

ImagePtr Builder::Request::imagePlaceholder() const
{
    const auto image = std::dynamic_pointer_cast<ImagePlaceholder>(placeholder);
    return image ? image->image() : nullptr;
}

Builder::Request Builder::request()
{
    Request request{placeholder(), options(), {}, {}};
    // Decided now: a progress block registered later does not make this request report.
    if (m_onProgressDelegate->isSet()) {
        request.progressBlock = [onProgress = m_onProgressDelegate](std::int64_t receivedSize, std::int64_t totalSize) {
            onProgress->call(DownloadProgress{receivedSize, totalSize});
        };
    }
    // The hooks, not the builder: its placeholder may hold a widget, which must not be released
    // on whatever thread lets the request go.
    request.completionHandler = [onSuccess = m_onSuccessDelegate,
                                 onFailure = m_onFailureDelegate](LumenManager::RetrieveResult result) {
        if (result)
            onSuccess->call(*result);
        else
            onFailure->call(result.error());
    };
    return request;
}

template<class ImageView>
std::shared_ptr<DownloadTask> Builder::setImageView(ImageView* imageView)
{
    Request applied = request();
    return lm(imageView).setImage(m_source, std::move(applied.placeholder), std::move(applied.options),
                                  std::move(applied.progressBlock), std::move(applied.completionHandler));
}

std::shared_ptr<DownloadTask> Builder::set(QLabel* imageView)
{
    return setImageView(imageView);
}

std::shared_ptr<DownloadTask> Builder::set(AnimatedImageView* imageView)
{
    return setImageView(imageView);
}

std::shared_ptr<DownloadTask> Builder::set(QAbstractButton* button)
{
    Request applied = request();
    return lm(button).setImage(m_source, applied.imagePlaceholder(), std::move(applied.options),
                               std::move(applied.progressBlock), std::move(applied.completionHandler));
}

std::shared_ptr<DownloadTask> Builder::setAlternateImage(QAbstractButton* button)
{
    Request applied = request();
    return lm(button).setAlternateImage(m_source, applied.imagePlaceholder(), std::move(applied.options),
                                        std::move(applied.progressBlock), std::move(applied.completionHandler));
}

std::shared_ptr<DownloadTask> Builder::apply(const ImageSlotLoading& target)
{
    Request applied = request();
    return target.setImage(m_source, applied.imagePlaceholder(), std::move(applied.options),
                           std::move(applied.progressBlock), std::move(applied.completionHandler));
}

std::shared_ptr<Builder> source(std::optional<Source> source)
{
    return Builder::make(std::move(source));
}

std::shared_ptr<Builder> resource(const Resource* resource)
{
    return Builder::make(resource ? std::optional(resource->convertToSource()) : std::nullopt);
}

std::shared_ptr<Builder> url(std::optional<QUrl> url, std::optional<QString> cacheKey)
{
    if (!url)
        return Builder::make(std::nullopt);
    return Builder::make(URLResource(std::move(*url)).convertToSource(std::move(cacheKey)));
}

std::shared_ptr<Builder> dataProvider(std::shared_ptr<const ImageDataProvider> provider)
{
    return Builder::make(provider ? std::optional(Source::provider(std::move(provider))) : std::nullopt);
}

std::shared_ptr<Builder> data(std::optional<QByteArray> data, QString cacheKey)
{
    if (!data)
        return Builder::make(std::nullopt);
    return dataProvider(std::make_shared<RawImageDataProvider>(std::move(*data), std::move(cacheKey)));
}

} // namespace Lumen::LM
