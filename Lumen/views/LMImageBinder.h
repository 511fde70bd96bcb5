#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/retrieval/LumenManager.h"
#include "Lumen/views/LMImageProgress.h"
#include "Lumen/views/LMOptionSetter.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

class DownloadTask;
class LMImageContext;
class RetrievalControl;

// The load state of one `LMImage` for one identity (source and processor):
//   idle     not loading, not loaded   (made, or its load cancelled)
//   loading  loading                   (started)
//   shown    loaded, with an image     (succeeded, or failed with a failure image)
//   failed   loaded, without an image  (failed, or no source)
// Each start and each cancel makes a new generation: whatever arrives for an older one never
// changes the state, and only its failure reaches the outcome hooks: an abandoned load never
// reports success. Lives and is used on the GUI
// thread; progress and outcomes reach it there whichever thread they come from.
class LMImageBinder final : public QObject {
    Q_OBJECT

public:
    // `changed` is called after each change of the state, the image or the progress object.
    explicit LMImageBinder(std::function<void()> changed, QObject* parent = nullptr);

    // The download of the attempt running now (the first, a retry or another source).
    std::shared_ptr<DownloadTask> downloadTask() const;
    bool loading() const { return m_loading; }
    bool loaded() const { return m_loaded; }
    const ImagePtr& loadedImage() const { return m_loadedImage; }
    bool isIdle() const { return !m_loading && !m_loaded; }
    // The running load's progress, made on first use; every load after the first gets a new one.
    LMImageProgress& progress();
    // The seconds the image that has just arrived fades in; set only while `changed` is called
    // for its arrival.
    const std::optional<double>& fadingIn() const { return m_fadingIn; }

    // Retrieves the context's source through the shared manager; without a source, tells the
    // failure hook `emptySource` at once, then shows the failure.
    void start(const std::shared_ptr<LMImageContext>& context);
    // Counts as loading from now on and starts on a later turn of the event loop, unless
    // cancelled before.
    void startSoon(const std::shared_ptr<LMImageContext>& context);
    // Cancels the running load, which starts no further attempt, and goes back to idle.
    void cancel();
    // The running request, this attempt and later ones, at the default or at low priority.
    // The transfer is shared, so this reaches every request for the same URL.
    void restorePriority();
    void lowerPriority();

private:
    using Generation = std::uint64_t;

    void setPriority(float priority);
    void updateProgress(Generation generation, DownloadProgress progress, const LMImageContext& context);
    void finish(Generation generation, LumenManager::RetrieveResult result,
                const std::shared_ptr<LMImageContext>& context);
    void showFailure(const LMImageContext& context);
    static void report(LumenManager::RetrieveResult result, const std::shared_ptr<LMImageContext>& context);

    // A plain call rather than a signal: one binder is made for every view of a list.
    const std::function<void()> m_changed;
    Generation m_generation = 0;
    std::shared_ptr<RetrievalControl> m_control;
    bool m_loading = false;
    bool m_loaded = false;
    ImagePtr m_loadedImage;
    std::optional<double> m_fadingIn;
    // A child of the binder.
    LMImageProgress* m_progress = nullptr;
};

} // namespace Lumen
