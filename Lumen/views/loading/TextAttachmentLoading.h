#pragma once

#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/views/loading/ImageSlotLoading.h"

#include <QUrl>

#include <utility>

class QTextDocument;

namespace Lumen {

// An image inside rich text: the image resource `name` of `document`, drawn wherever the
// text refers to that name.
struct TextAttachment {
    QTextDocument* document = nullptr;
    QUrl name;
};

// The operations of ImageSlotLoading, held weakly on the document, except that a resource or a
// URL is always downloaded, a file URL included. Each change of the image lays the document out
// again, so its views redraw the text around it. With `keepCurrentImageWhileLoading` the
// resource is left as it is, never looked at (asking the document for a resource it lacks makes
// it load one).
template<>
class LumenWrapper<TextAttachment> : public LumenWrapperBase<TextAttachment>, public ImageSlotLoading {
public:
    explicit LumenWrapper(TextAttachment attachment);

    std::shared_ptr<DownloadTask> setImage(const DownloadedSourceArgument& source, const ImagePtr& placeholder = nullptr,
                                           const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                           ImageSettingProgress progressBlock = {},
                                           ImageSettingCompletion completionHandler = {}) const
    {
        return ImageSlotLoading::setImage(source, placeholder, options, std::move(progressBlock),
                                          std::move(completionHandler));
    }
    std::shared_ptr<DownloadTask> setImage(const DownloadedSourceArgument& source, const ImagePtr& placeholder,
                                           LumenParsedOptionsInfo options, ImageSettingProgress progressBlock = {},
                                           ImageSettingCompletion completionHandler = {}) const
    {
        return ImageSlotLoading::setImage(source, placeholder, std::move(options), std::move(progressBlock),
                                          std::move(completionHandler));
    }
};

inline LumenWrapper<TextAttachment> lm(TextAttachment attachment)
{
    return LumenWrapper<TextAttachment>(std::move(attachment));
}

} // namespace Lumen
