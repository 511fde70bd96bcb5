#include "Lumen/views/LMImageLayer.h"

#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <qdrawutil.h>

#include <cmath>

namespace Lumen {
namespace {

QMargins pixelMargins(const QMarginsF& points, double scale)
{
    return QMargins(qRound(points.left() * scale), qRound(points.top() * scale), qRound(points.right() * scale),
                    qRound(points.bottom() * scale));
}

} // namespace

LMImageLayer::LMImageLayer(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LMImageLayer::setContent(LMImageContent content)
{
    if (content == m_content)
        return;
    m_content = std::move(content);
    m_renderedIsCurrent = false;
    update();
}

QRectF LMImageLayer::imageRect() const
{
    const ImagePtr& image = m_content.image;
    if (!image || !image->hasBitmap())
        return {};
    const QRectF bounds(rect());
    const QSizeF size = m_content.resizable ? resizedSize(image->size(), bounds.size(), m_content.contentMode)
                                            : image->size();
    QRectF placed(QPointF(), size);
    placed.moveCenter(bounds.center());
    return placed;
}

void LMImageLayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_renderedIsCurrent = false;
}

const QPixmap& LMImageLayer::rendered()
{
    if (m_renderedIsCurrent)
        return m_rendered;
    m_renderedIsCurrent = true;
    m_rendered = QPixmap();
    const QRectF target = imageRect();
    const double ratio = devicePixelRatioF();
    const QSize pixels(std::lround(target.width() * ratio), std::lround(target.height() * ratio));
    if (pixels.isEmpty())
        return m_rendered;

    const QImage& bitmap = m_content.image->bitmap();
    const bool smooth = m_content.interpolation != LMImageContent::Interpolation::none;
    const bool plain = !m_content.resizable
        || (m_content.capInsets.isNull() && m_content.resizingMode == LMImageContent::ResizingMode::stretch);
    if (plain) {
        m_rendered = QPixmap::fromImage(
            bitmap.size() == pixels
                ? bitmap
                : bitmap.scaled(pixels, Qt::IgnoreAspectRatio, smooth ? Qt::SmoothTransformation : Qt::FastTransformation));
    } else {
        QPixmap canvas(pixels);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        const Qt::TileRule rule =
            m_content.resizingMode == LMImageContent::ResizingMode::tile ? Qt::RepeatTile : Qt::StretchTile;
        const QPixmap source = QPixmap::fromImage(bitmap);
        qDrawBorderPixmap(&painter, QRect(QPoint(), pixels), pixelMargins(m_content.capInsets, ratio), source,
                          source.rect(), pixelMargins(m_content.capInsets, m_content.image->scale()),
                          QTileRules(rule, rule));
        painter.end();
        m_rendered = std::move(canvas);
    }
    m_rendered.setDevicePixelRatio(ratio);
    return m_rendered;
}

void LMImageLayer::paintEvent(QPaintEvent*)
{
    const QRectF target = imageRect();
    const QPixmap& pixmap = rendered();
    if (pixmap.isNull())
        return;
    QPainter painter(this);
    if (m_content.cornerRadius <= 0) {
        painter.drawPixmap(target.topLeft(), pixmap);
        return;
    }
    // A brush instead of a clip: clipping paths are not antialiased.
    painter.setRenderHint(QPainter::Antialiasing, m_content.antialiased);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(rect()), m_content.cornerRadius, m_content.cornerRadius);
    QPainterPath image;
    image.addRect(target);
    QBrush brush(pixmap);
    brush.setTransform(QTransform::fromTranslate(target.left(), target.top()));
    painter.fillPath(frame.intersected(image), brush);
}

} // namespace Lumen
