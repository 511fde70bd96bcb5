#include "Lumen/foundation/WidgetPlaceholder.h"

#include <QEvent>

namespace Lumen {

namespace {

// Keeps the placeholder widget on the image view's whole area as the view resizes.
class GeometryFollower final : public QObject {
public:
    // Owned by `follower`, so it never outlives it.
    explicit GeometryFollower(QWidget& follower)
        : QObject(&follower)
        , m_follower(follower)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        QWidget* view = m_follower.parentWidget();
        if (event->type() == QEvent::Resize && view && watched == view)
            m_follower.setGeometry(view->rect());
        return false;
    }

private:
    QWidget& m_follower;
};

} // namespace

WidgetPlaceholder::WidgetPlaceholder(std::unique_ptr<QWidget> widget)
    : m_widget(widget.release())
{
}

WidgetPlaceholder::~WidgetPlaceholder()
{
    delete m_widget.data();
}

void WidgetPlaceholder::addTo(QWidget& imageView)
{
    if (!m_widget)
        return;
    stopFollowing();
    m_widget->setParent(&imageView);
    m_widget->setGeometry(imageView.rect());
    auto* follower = new GeometryFollower(*m_widget);
    imageView.installEventFilter(follower);
    m_geometryFollower = follower;
    m_widget->raise();
    m_widget->show();
}

void WidgetPlaceholder::removeFrom(QWidget& imageView)
{
    if (!m_widget || m_widget->parentWidget() != &imageView)
        return;
    stopFollowing();
    m_widget->setParent(nullptr);
}

void WidgetPlaceholder::stopFollowing()
{
    // A deleted filter is uninstalled by Qt.
    delete m_geometryFollower.data();
}

} // namespace Lumen
