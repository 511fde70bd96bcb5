#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/retrieval/LumenManager.h"
#include "Lumen/retrieval/RetrieveLivePhotoResult.h"

#include <QSizeF>
#include <QUrl>

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumen {

class LivePhotoSettingTask;
class LivePhotoView;

using LivePhotoSettingResult = std::expected<RetrieveLivePhotoResult, LumenError>;
using LivePhotoSettingCompletion = std::function<void(LivePhotoSettingResult)>;

// A live-photo view's `lm` wrapper: brings the files of a live photo into the disk cache,
// has them made into a live photo for the view's target size and content mode, and shows it.
// The view keeps what it shows while loading. A new request makes the running one stale: a
// stale request still runs, but only tells its own handler (`notCurrentLivePhotoSourceTask`).
// A failed fetch ends with its own error, a cancelled download with `taskCancelled`; a load
// cancelled at another stage ends with `livePhotoTaskCancelled`.
// A pair of files that cannot be made into a live photo is removed from the cache. GUI thread
// only; the view is held weakly.
template<>
class LumenWrapper<LivePhotoView*> : public LumenWrapperBase<LivePhotoView*> {
public:
    using Identifier = Source::Identifier::Value;

    using LumenWrapperBase::LumenWrapperBase;

    // Loads with the manager's default options followed by `options`, starting on a later turn;
    // the handler runs once, on the GUI thread, at once without a source (the view is then
    // cleared). Answers the load's handle, to cancel it at any stage; null without a source.
    std::shared_ptr<LivePhotoSettingTask> setImage(const std::optional<LivePhotoSource>& source,
                                                     const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                     LivePhotoSettingCompletion completionHandler = {}) const;
    // One resource per URL, typed by the URL's extension.
    std::shared_ptr<LivePhotoSettingTask> setImage(const std::vector<QUrl>& urls,
                                                     const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                     LivePhotoSettingCompletion completionHandler = {}) const;

    // The current request's identifier; absent while none is current.
    std::optional<Identifier> taskIdentifier() const;

    // What the still is decoded for; read when a request starts. Empty at first: full size.
    QSizeF targetSize() const;
    void setTargetSize(QSizeF size) const;
    // Aspect fit at first.
    ContentMode contentMode() const;
    void setContentMode(ContentMode mode) const;
};

inline LumenWrapper<LivePhotoView*> lm(LivePhotoView* view)
{
    return LumenWrapper<LivePhotoView*>(view);
}

} // namespace Lumen
