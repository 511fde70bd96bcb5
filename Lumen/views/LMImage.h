#pragma once

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/Source.h"
#include "Lumen/views/LMImageBinder.h"
#include "Lumen/views/LMImageContent.h"
#include "Lumen/views/LMImageContext.h"
#include "Lumen/views/LMImageDrawing.h"
#include "Lumen/views/LMOptionSetter.h"

#include <QByteArray>
#include <QMarginsF>
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

// A widget that shows a remote or provided image, configured by chained setters:
//
//   (new LMImage(url, std::nullopt, parent))->placeholder(makeGrayBox).resizable().fade(0.25);
//
// It loads through the shared `LumenManager` when it is first shown (or at once with
// `startLoadingBeforeViewAppear`), shows the placeholder until an image is there, and fades
// in images that did not come from a cache when a fade is set. While no image is shown,
// hiding it may cancel its load (`cancelOnDisappear`, showing it again then starts afresh)
// or lower the transfer's priority (`reducePriorityOnDisappear`, restored when shown again).
// A failed load stays failed. Option changes apply to the next load. The fade is the view's
// graphics effect while it runs. GUI thread only.
class LMImage : public QWidget, public LMOptionSetter<LMImage> {
    Q_OBJECT

public:
    using Context = LMImageContext;
    using ImageBinder = LMImageBinder;

    explicit LMImage(std::optional<Source> source = std::nullopt, QWidget* parent = nullptr);
    // No source for an empty URL. A file URL is read from disk; any other is downloaded.
    explicit LMImage(const QUrl& url, std::optional<QString> cacheKey = std::nullopt, QWidget* parent = nullptr);
    explicit LMImage(const std::shared_ptr<const Resource>& resource, QWidget* parent = nullptr);
    explicit LMImage(std::shared_ptr<const ImageDataProvider> provider, QWidget* parent = nullptr);
    // Bytes already in memory, cached under `cacheKey`.
    LMImage(const std::optional<QByteArray>& data, const QString& cacheKey, QWidget* parent = nullptr);
    ~LMImage() override;

    const std::shared_ptr<Context>& context() const { return m_context; }
    const ImageBinder& binder() const { return *m_binder; }
    // What is drawn: the loaded image, after the configurations.
    const LMImageContent& content() const { return m_drawing.content(); }
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

    // ---- presentation ---------------------------------------------------------------------
    // Made again for each load, with that load's progress.
    LMImage& placeholder(Context::Placeholder make);
    LMImage& placeholder(std::function<std::unique_ptr<QWidget>()> make);
    // Applied to the drawn content after the configurations added before it.
    LMImage& configure(Context::Configuration configuration);
    LMImage& cancelOnDisappear(bool cancel = true);
    LMImage& reducePriorityOnDisappear(bool reduce = true);
    LMImage& startLoadingBeforeViewAppear(bool start = true);
    // Images that did not come from a cache fade in linearly over `seconds`.
    LMImage& fade(double seconds);

    LMImage& resizable(QMarginsF capInsets = {},
                       LMImageContent::ResizingMode resizingMode = LMImageContent::ResizingMode::stretch);
    LMImage& interpolation(LMImageContent::Interpolation interpolation);
    LMImage& antialiased(bool antialiased);
    LMImage& aspectRatio(ContentMode contentMode);
    LMImage& cornerRadius(double radius);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void makeBinder();
    // Brings the drawing, the fade and the placeholder up to date with the binder and context.
    void render();
    void showPlaceholder();
    void removePlaceholder();
    void appear();

    std::shared_ptr<Context> m_context;
    LMImageDrawing m_drawing;
    // Whether the binder was loaded at the last render, to tell an arrival.
    bool m_renderedLoaded = false;
    std::unique_ptr<ImageBinder> m_binder;
    // Destroyed before the binder, whose progress the placeholder may watch.
    std::unique_ptr<WidgetPlaceholder> m_placeholder;
    QPointer<LMImageProgress> m_placeholderProgress;
};

} // namespace Lumen
