#include "TivrandApp/ui/AppIconView.h"

#include "TivrandApp/services/Diagnostics.h"
#include "TivrandApp/ui/Appearance.h"

#include "Lumen/retrieval/Resource.h"
#include "Lumen/views/LMImage.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace Tivrand {
namespace {

constexpr qreal cornerRadius = 8;
constexpr double fadeSeconds = 0.25;

std::unique_ptr<QWidget> placeholder()
{
    const qreal ratio = qGuiApp->devicePixelRatio();
    QPixmap square(QSize(AppIconView::side, AppIconView::side) * ratio);
    square.setDevicePixelRatio(ratio);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, AppIconView::side, AppIconView::side), cornerRadius, cornerRadius);
    painter.fillPath(shape, withOpacity(SystemColor::gray, 0.3));
    painter.end();

    auto label = std::make_unique<QLabel>();
    label->setPixmap(square);
    return label;
}

} // namespace

AppIconView::AppIconView(QWidget* parent)
    : QWidget(parent)
    , m_image(new Lumen::LMImage(std::optional<Lumen::Source>(), this))
{
    setFixedSize(side, side);
    m_image->setFixedSize(side, side);
    m_image->placeholder(placeholder)
        .onFailure([](const Lumen::LumenError& error) {
            printLine(QStringLiteral("Icon yükleme hatası: ") + error.localizedDescription());
        })
        .resizable()
        .fade(fadeSeconds)
        .aspectRatio(Lumen::ContentMode::aspectFit)
        .cornerRadius(cornerRadius);
}

void AppIconView::setIconUrl(const QString& iconUrl)
{
    const QUrl url(iconUrl, QUrl::StrictMode);
    m_iconUrl = url.isValid() && !url.isRelative() ? url : QUrl();
    m_image->setSource(m_iconUrl.isEmpty() ? std::nullopt
                                           : std::optional(Lumen::URLResource(m_iconUrl).convertToSource()));
}

} // namespace Tivrand
