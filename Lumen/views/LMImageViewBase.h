#pragma once

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/Source.h"
#include "Lumen/views/LMImageBinder.h"
#include "Lumen/views/LMImageContext.h"
#include "Lumen/views/LMOptionSetter.h"
#include "Lumen/views/ViewAppearance.h"

#include <QByteArray>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

class ImageDataProvider;
class Resource;
class WidgetPlaceholder;

// What `LMImage` and `LMAnimatedImage` share: the context, the binder that loads through the
// shared `LumenManager` when the view comes into sight (see `ViewAppearance`: inside a scroll
// area only once it is scrolled into the viewport), or at once with
// `startLoadingBeforeViewAppear`, the placeholder shown until an image is there, and the fade
// of images that did not come from a cache. While no image is shown, leaving sight may cancel
// the load (`cancelOnDisappear`, coming back then starts afresh) or lower the request's
// priority (`reducePriorityOnDisappear`, restored when back). A failed load is tried again
// once each time the view comes back into sight. Option changes apply to the next load, except
// a change of processor, which reloads. The fade is the view's graphics effect while it runs.
// What draws the image is the subclass's. GUI thread only.
class LMImageViewBase : public QWidget {
    Q_OBJECT

public:
    using Context = LMImageContext;
    using ImageBinder = LMImageBinder;

    explicit LMImageViewBase(std::optional<Source> source = std::nullopt, QWidget* parent = nullptr);
    // No source for an empty URL. A file URL is read from disk; any other is downloaded.
    explicit LMImageViewBase(const QUrl& url, std::optional<QString> cacheKey = std::nullopt,
                             QWidget* parent = nullptr);
    explicit LMImageViewBase(const std::shared_ptr<const Resource>& resource, QWidget* parent = nullptr);
    explicit LMImageViewBase(std::shared_ptr<const ImageDataProvider> provider, QWidget* parent = nullptr);
    // Bytes already in memory, cached under `cacheKey`.
    LMImageViewBase(const std::optional<QByteArray>& data, const QString& cacheKey, QWidget* parent = nullptr);
    ~LMImageViewBase() override;

    const std::shared_ptr<Context>& context() const { return m_context; }
    const ImageBinder& binder() const { return *m_binder; }
    // Null while no placeholder is shown.
    QWidget* placeholderWidget() const;

    // Shows `source` with every current setting. The same source under the same processor
    // keeps what is loaded or loading; any other starts over from the placeholder.
    void setSource(std::optional<Source> source);

    // ---- what the option setters work on ----------------------------------------------------
    LumenParsedOptionsInfo options() const;
    void setOptions(LumenParsedOptionsInfo options);
    LMFailureDelegate& onFailureDelegate() const { return m_context->onFailureDelegate(); }
    LMSuccessDelegate& onSuccessDelegate() const { return m_context->onSuccessDelegate(); }
    LMProgressDelegate& onProgressDelegate() const { return m_context->onProgressDelegate(); }

protected:
    void setPlaceholder(Context::Placeholder make);
    void setStartLoadingBeforeViewAppear(bool start);
    // Brings the image layer, the fade and the placeholder up to date with the binder and
    // context.
    void render();
    // Brings what draws the image up to date; it shows only while `loaded`.
    virtual void renderImageLayer(const ImagePtr& loadedImage, bool loaded) = 0;

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void makeBinder();
    // A new binder for a new identity, loading at once when in sight.
    void startOver();
    void showPlaceholder();
    void removePlaceholder();
    void appear();
    void disappear();

    std::shared_ptr<Context> m_context;
    // Whether the binder was loaded at the last render, to tell an arrival.
    bool m_renderedLoaded = false;
    std::unique_ptr<ImageBinder> m_binder;
    // Destroyed before the binder, whose progress the placeholder may watch.
    std::unique_ptr<WidgetPlaceholder> m_placeholder;
    QPointer<LMImageProgress> m_placeholderProgress;
    // Last, so that it goes first: the view's own destruction is no departure.
    std::optional<ViewAppearance> m_appearance;
};

// The chained setters of `LMImageViewBase`, answering the view `Self` that derives from this.
template <typename Self>
class LMImageView : public LMImageViewBase, public LMOptionSetter<Self> {
public:
    using LMImageViewBase::LMImageViewBase;

    // Made again for each load, with that load's progress.
    Self& placeholder(Context::Placeholder make)
    {
        setPlaceholder(std::move(make));
        return self();
    }
    Self& placeholder(std::function<std::unique_ptr<QWidget>()> make)
    {
        if (!make)
            return placeholder(Context::Placeholder());
        return placeholder([make = std::move(make)](LMImageProgress&) { return make(); });
    }
    Self& cancelOnDisappear(bool cancel = true)
    {
        context()->setCancelOnDisappear(cancel);
        return self();
    }
    Self& reducePriorityOnDisappear(bool reduce = true)
    {
        context()->setReducePriorityOnDisappear(reduce);
        return self();
    }
    Self& startLoadingBeforeViewAppear(bool start = true)
    {
        setStartLoadingBeforeViewAppear(start);
        return self();
    }
    // Images that did not come from a cache fade in linearly over `seconds`.
    Self& fade(double seconds)
    {
        return this->modifyOptions(
            [seconds](LumenParsedOptionsInfo& options) { options.transition = ImageTransition::fade(seconds); });
    }

private:
    Self& self() { return static_cast<Self&>(*this); }
};

} // namespace Lumen
