#include "Lumen/views/LMImage.h"

#include "Lumen/foundation/WidgetPlaceholder.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/Resource.h"
#include "Lumen/views/FadeIn.h"
#include "Lumen/views/LMImageProgress.h"

#include <QPainter>
#include <QShowEvent>

namespace Lumen {
namespace {

std::optional<Source> urlSource(const QUrl& url, std::optional<QString> cacheKey)
{
    if (url.isEmpty())
        return std::nullopt;
    return URLResource(url).convertToSource(std::move(cacheKey));
}

std::optional<Source> dataSource(const std::optional<QByteArray>& data, const QString& cacheKey)
{
    if (!data)
        return std::nullopt;
    return Source::provider(std::make_shared<const RawImageDataProvider>(*data, cacheKey));
}

} // namespace

LMImage::LMImage(std::optional<Source> source, QWidget* parent)
    : QWidget(parent)
    , m_context(std::make_shared<Context>(std::move(source)))
{
    makeBinder();
}

LMImage::LMImage(const QUrl& url, std::optional<QString> cacheKey, QWidget* parent)
    : LMImage(urlSource(url, std::move(cacheKey)), parent)
{
}

LMImage::LMImage(const std::shared_ptr<const Resource>& resource, QWidget* parent)
    : LMImage(resource ? std::optional<Source>(resource->convertToSource()) : std::nullopt, parent)
{
}

LMImage::LMImage(std::shared_ptr<const ImageDataProvider> provider, QWidget* parent)
    : LMImage(provider ? std::optional<Source>(Source::provider(std::move(provider))) : std::nullopt, parent)
{
}

LMImage::LMImage(const std::optional<QByteArray>& data, const QString& cacheKey, QWidget* parent)
    : LMImage(dataSource(data, cacheKey), parent)
{
}

LMImage::~LMImage() = default;

QWidget* LMImage::placeholderWidget() const
{
    return m_placeholder ? m_placeholder->widget() : nullptr;
}

void LMImage::setSource(std::optional<Source> source)
{
    auto next = std::make_shared<Context>(std::move(source), *m_context);
    const bool sameIdentity = *next == *m_context;
    m_context = std::move(next);
    if (sameIdentity) {
        render();
        return;
    }
    removePlaceholder();
    makeBinder();
    render();
    if (isVisible())
        appear();
}

LumenParsedOptionsInfo LMImage::options() const
{
    return m_context->options();
}

void LMImage::setOptions(LumenParsedOptionsInfo options)
{
    m_context->setOptions(std::move(options));
}

LMImage& LMImage::placeholder(Context::Placeholder make)
{
    m_context->setPlaceholder(std::move(make));
    removePlaceholder();
    render();
    return *this;
}

LMImage& LMImage::placeholder(std::function<std::unique_ptr<QWidget>()> make)
{
    if (!make)
        return placeholder(Context::Placeholder());
    return placeholder([make = std::move(make)](LMImageProgress&) { return make(); });
}

LMImage& LMImage::configure(Context::Configuration configuration)
{
    m_context->appendConfiguration(std::move(configuration));
    render();
    return *this;
}

LMImage& LMImage::cancelOnDisappear(bool cancel)
{
    m_context->setCancelOnDisappear(cancel);
    return *this;
}

LMImage& LMImage::reducePriorityOnDisappear(bool reduce)
{
    m_context->setReducePriorityOnDisappear(reduce);
    return *this;
}

LMImage& LMImage::startLoadingBeforeViewAppear(bool start)
{
    m_context->setStartLoadingBeforeViewAppear(start);
    render();
    return *this;
}

LMImage& LMImage::fade(double seconds)
{
    return modifyOptions([seconds](LumenParsedOptionsInfo& options) { options.transition = ImageTransition::fade(seconds); });
}

LMImage& LMImage::resizable(QMarginsF capInsets, LMImageContent::ResizingMode resizingMode)
{
    return configure([capInsets, resizingMode](LMImageContent content) {
        content.resizable = true;
        content.capInsets = capInsets;
        content.resizingMode = resizingMode;
        return content;
    });
}

LMImage& LMImage::interpolation(LMImageContent::Interpolation interpolation)
{
    return configure([interpolation](LMImageContent content) {
        content.interpolation = interpolation;
        return content;
    });
}

LMImage& LMImage::antialiased(bool antialiased)
{
    return configure([antialiased](LMImageContent content) {
        content.antialiased = antialiased;
        return content;
    });
}

LMImage& LMImage::aspectRatio(ContentMode contentMode)
{
    return configure([contentMode](LMImageContent content) {
        content.contentMode = contentMode;
        return content;
    });
}

LMImage& LMImage::cornerRadius(double radius)
{
    return configure([radius](LMImageContent content) {
        content.cornerRadius = radius;
        return content;
    });
}

void LMImage::paintEvent(QPaintEvent*)
{
    // Nothing shows until the load has ended, even an image set meanwhile by a configuration.
    if (!m_binder->loaded())
        return;
    QPainter painter(this);
    m_drawing.paint(painter, QRectF(rect()), devicePixelRatioF());
}

void LMImage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window coming back from being minimised is no new appearance.
    if (!event->spontaneous())
        appear();
    if (!m_binder->loadedImage())
        showPlaceholder();
}

void LMImage::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A view that shows its image has nothing left to cancel or slow down.
    if (event->spontaneous() || m_binder->loadedImage())
        return;
    if (m_context->cancelOnDisappear())
        m_binder->cancel();
    else if (m_context->reducePriorityOnDisappear())
        m_binder->lowerPriority();
}

void LMImage::appear()
{
    if (m_binder->loadedImage())
        return;
    // Only an idle view loads: a failed one stays failed rather than retrying on every show.
    if (m_binder->isIdle())
        m_binder->start(m_context);
    else if (m_context->reducePriorityOnDisappear())
        m_binder->restorePriority();
}

void LMImage::makeBinder()
{
    m_binder = std::make_unique<ImageBinder>();
    connect(m_binder.get(), &ImageBinder::changed, this, &LMImage::render);
}

void LMImage::render()
{
    if (m_context->startLoadingBeforeViewAppear() && m_binder->isIdle())
        m_binder->startSoon(m_context);

    LMImageContent content;
    content.image = m_binder->loadedImage();
    for (const Context::Configuration& configuration : *m_context->configurations())
        content = configuration(std::move(content));
    const bool changed = m_drawing.setContent(std::move(content));
    const bool arriving = m_binder->loaded() && !m_renderedLoaded;
    if (changed || m_renderedLoaded != m_binder->loaded())
        update();
    m_renderedLoaded = m_binder->loaded();
    if (arriving && m_binder->fadingIn())
        fadeIn(*this, *m_binder->fadingIn());

    // Made only once the view is on screen: an image found in memory never needs one.
    if (m_binder->loadedImage())
        removePlaceholder();
    else if (isVisible())
        showPlaceholder();
}

void LMImage::showPlaceholder()
{
    const Context::Placeholder make = m_context->placeholder();
    if (!make) {
        removePlaceholder();
        return;
    }
    LMImageProgress& progress = m_binder->progress();
    if (m_placeholder && m_placeholderProgress == &progress)
        return;
    removePlaceholder();
    m_placeholder = std::make_unique<WidgetPlaceholder>(make(progress));
    m_placeholderProgress = &progress;
    m_placeholder->addTo(*this);
}

void LMImage::removePlaceholder()
{
    if (!m_placeholder)
        return;
    m_placeholder->removeFrom(*this);
    m_placeholder.reset();
    m_placeholderProgress.clear();
}

} // namespace Lumen
