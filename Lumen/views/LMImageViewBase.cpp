#include "Lumen/views/LMImageViewBase.h"

#include "Lumen/foundation/GeometryFollower.h"
#include "Lumen/foundation/WidgetPlaceholder.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/Resource.h"
#include "Lumen/views/FadeIn.h"
#include "Lumen/views/LMImageProgress.h"
#include "Lumen/views/ViewAppearance.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QShowEvent>
#include <QSizePolicy>

#include <algorithm>
#include <mutex>

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

// A placeholder keeps the size it asks for, centred, along each direction in which it does
// not ask to expand; one that states no size covers the view.
QRect placeholderRect(const QWidget& placeholder, QSize ownSize, QSize viewSize)
{
    const QSizePolicy policy = placeholder.sizePolicy();
    QSize size = viewSize;
    if (ownSize.isValid()) {
        if (!(policy.horizontalPolicy() & QSizePolicy::ExpandFlag))
            size.setWidth(std::min(ownSize.width(), viewSize.width()));
        if (!(policy.verticalPolicy() & QSizePolicy::ExpandFlag))
            size.setHeight(std::min(ownSize.height(), viewSize.height()));
    }
    QRect rect(QPoint(), size);
    rect.moveCenter(QRect(QPoint(), viewSize).center());
    return rect;
}

// Image views are graphics to assistive technology. Answering for them at once also spares
// each view shown Qt's search of its stock interfaces by every class name up to QWidget.
QAccessibleInterface* accessibleImageView(const QString&, QObject* object)
{
    auto* view = qobject_cast<LMImageViewBase*>(object);
    return view ? new QAccessibleWidget(view, QAccessible::Graphic) : nullptr;
}

} // namespace

LMImageViewBase::LMImageViewBase(std::optional<Source> source, QWidget* parent)
    : QWidget(parent)
    , m_context(std::make_shared<Context>(std::move(source)))
{
    static std::once_flag accessible;
    std::call_once(accessible, [] { QAccessible::installFactory(accessibleImageView); });
    makeBinder();
    m_appearance.emplace(*this, [this] { appear(); }, [this] { disappear(); });
}

LMImageViewBase::LMImageViewBase(const QUrl& url, std::optional<QString> cacheKey, QWidget* parent)
    : LMImageViewBase(urlSource(url, std::move(cacheKey)), parent)
{
}

LMImageViewBase::LMImageViewBase(const std::shared_ptr<const Resource>& resource, QWidget* parent)
    : LMImageViewBase(resource ? std::optional<Source>(resource->convertToSource()) : std::nullopt, parent)
{
}

LMImageViewBase::LMImageViewBase(std::shared_ptr<const ImageDataProvider> provider, QWidget* parent)
    : LMImageViewBase(provider ? std::optional<Source>(Source::provider(std::move(provider))) : std::nullopt, parent)
{
}

LMImageViewBase::LMImageViewBase(const std::optional<QByteArray>& data, const QString& cacheKey, QWidget* parent)
    : LMImageViewBase(dataSource(data, cacheKey), parent)
{
}

LMImageViewBase::~LMImageViewBase() = default;

QWidget* LMImageViewBase::placeholderWidget() const
{
    return m_placeholder ? m_placeholder->widget() : nullptr;
}

void LMImageViewBase::setSource(std::optional<Source> source)
{
    auto next = std::make_shared<Context>(std::move(source), *m_context);
    const bool sameIdentity = *next == *m_context;
    m_context = std::move(next);
    if (sameIdentity)
        render();
    else
        startOver();
}

void LMImageViewBase::startOver()
{
    removePlaceholder();
    makeBinder();
    render();
    if (m_appearance->inSight())
        appear();
}

LumenParsedOptionsInfo LMImageViewBase::options() const
{
    return m_context->options();
}

void LMImageViewBase::setOptions(LumenParsedOptionsInfo options)
{
    const QString before = m_context->processorIdentifier();
    m_context->setOptions(std::move(options));
    // The processor is part of what is shown: another one is another image.
    if (m_context->processorIdentifier() != before)
        startOver();
}

void LMImageViewBase::setPlaceholder(Context::Placeholder make)
{
    m_context->setPlaceholder(std::move(make));
    removePlaceholder();
    render();
}

void LMImageViewBase::setStartLoadingBeforeViewAppear(bool start)
{
    m_context->setStartLoadingBeforeViewAppear(start);
    render();
}

bool LMImageViewBase::event(QEvent* event)
{
    // Before the widget's own handling: an image found in memory on coming into sight needs
    // no placeholder.
    if (m_appearance)
        m_appearance->viewEvent(*event);
    return QWidget::event(event);
}

void LMImageViewBase::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_binder->loadedImage())
        showPlaceholder();
}

void LMImageViewBase::appear()
{
    if (m_binder->loadedImage())
        return;
    // Idle, or failed: a failed load is tried again once per appearance, never per repaint.
    if (!m_binder->loading())
        m_binder->start(m_context);
    else if (m_context->reducePriorityOnDisappear())
        m_binder->restorePriority();
}

void LMImageViewBase::disappear()
{
    // A view that shows its image has nothing left to cancel or slow down.
    if (m_binder->loadedImage())
        return;
    if (m_context->cancelOnDisappear())
        m_binder->cancel();
    else if (m_context->reducePriorityOnDisappear())
        m_binder->lowerPriority();
}

void LMImageViewBase::makeBinder()
{
    m_binder = std::make_unique<ImageBinder>([this] { render(); });
}

void LMImageViewBase::render()
{
    if (m_context->startLoadingBeforeViewAppear() && m_binder->isIdle())
        m_binder->startSoon(m_context);

    renderImageLayer(m_binder->loadedImage(), m_binder->loaded());
    const bool arriving = m_binder->loaded() && !m_renderedLoaded;
    if (m_renderedLoaded != m_binder->loaded())
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

void LMImageViewBase::showPlaceholder()
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
    std::unique_ptr<QWidget> widget = make(progress);
    QWidget* shown = widget.get();
    const QSize ownSize = widget && widget->sizeHint().isValid() ? widget->sizeHint() : QSize();
    m_placeholder = std::make_unique<WidgetPlaceholder>(std::move(widget));
    m_placeholderProgress = &progress;
    m_placeholder->addTo(*this);
    if (shown && shown->parentWidget() == this)
        GeometryFollower::follow(*shown, [shown, ownSize](QSize viewSize) { return placeholderRect(*shown, ownSize, viewSize); });
}

void LMImageViewBase::removePlaceholder()
{
    if (!m_placeholder)
        return;
    m_placeholder->removeFrom(*this);
    m_placeholder.reset();
    m_placeholderProgress.clear();
}

} // namespace Lumen
