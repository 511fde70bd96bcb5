#include "Lumen/views/LMImageDrawing.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace Lumen {
namespace {

// The three spans of a length cut by two insets: before, middle, after.
std::array<std::pair<qreal, qreal>, 3> spans(qreal start, qreal length, qreal before, qreal after)
{
    return {{{start, before}, {start + before, length - before - after}, {start + length - after, after}}};
}

} // namespace

bool LMImageDrawing::setContent(LMImageContent content)
{
    if (content == m_content)
        return false;
    m_content = std::move(content);
    m_renderedIsCurrent = false;
    return true;
}

void LMImageDrawing::setTemplateColor(const QColor& color)
{
    if (color == m_templateColor)
        return;
    m_templateColor = color;
    if (m_content.renderingMode == LMImageContent::RenderingMode::asTemplate)
        m_renderedIsCurrent = false;
}

QRectF LMImageDrawing::imageRect(const QRectF& bounds) const
{
    const ImagePtr& image = m_content.image;
    if (!image || !image->hasBitmap())
        return {};
    const QSizeF size = m_content.resizable ? resizedSize(image->size(), bounds.size(), m_content.contentMode)
                                            : image->size();
    QRectF placed(QPointF(), size);
    placed.moveCenter(bounds.center());
    return placed;
}

const QImage& LMImageDrawing::rendered(const QRectF& target, qreal devicePixelRatio)
{
    const QSize pixels(std::lround(target.width() * devicePixelRatio), std::lround(target.height() * devicePixelRatio));
    if (m_renderedIsCurrent && pixels == m_renderedPixels)
        return m_rendered;
    m_renderedIsCurrent = true;
    m_renderedPixels = pixels;
    m_rendered = QImage();
    if (pixels.isEmpty())
        return m_rendered;

    const bool plain = !m_content.resizable
        || (m_content.capInsets.isNull() && m_content.resizingMode == LMImageContent::ResizingMode::stretch);
    if (plain) {
        const QImage& bitmap = m_content.image->bitmap();
        const bool smooth = m_content.interpolation != LMImageContent::Interpolation::none;
        m_rendered = bitmap.size() == pixels ? bitmap
                                             : bitmap.scaled(pixels, Qt::IgnoreAspectRatio,
                                                             smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
    } else {
        m_rendered = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_rendered.fill(Qt::transparent);
        QPainter painter(&m_rendered);
        drawNinePatch(painter, QRectF(QPointF(), QSizeF(pixels)), devicePixelRatio);
    }
    if (m_content.renderingMode == LMImageContent::RenderingMode::asTemplate) {
        m_rendered = m_rendered.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&m_rendered);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(m_rendered.rect(), m_templateColor);
    }
    m_rendered.setDevicePixelRatio(devicePixelRatio);
    return m_rendered;
}

void LMImageDrawing::drawNinePatch(QPainter& painter, const QRectF& target, qreal devicePixelRatio) const
{
    const QImage& bitmap = m_content.image->bitmap();
    const qreal scale = m_content.image->scale();
    const QMarginsF& insets = m_content.capInsets;
    const bool tile = m_content.resizingMode == LMImageContent::ResizingMode::tile;
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          m_content.interpolation != LMImageContent::Interpolation::none);
    const auto sourceColumns = spans(0, bitmap.width(), insets.left() * scale, insets.right() * scale);
    const auto sourceRows = spans(0, bitmap.height(), insets.top() * scale, insets.bottom() * scale);
    const auto targetColumns =
        spans(target.left(), target.width(), insets.left() * devicePixelRatio, insets.right() * devicePixelRatio);
    const auto targetRows =
        spans(target.top(), target.height(), insets.top() * devicePixelRatio, insets.bottom() * devicePixelRatio);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF source(sourceColumns[column].first, sourceRows[row].first, sourceColumns[column].second,
                                sourceRows[row].second);
            const QRectF destination(targetColumns[column].first, targetRows[row].first,
                                     targetColumns[column].second, targetRows[row].second);
            if (source.isEmpty() || destination.isEmpty())
                continue;
            // Corners keep their size; with tiling, edges and middle repeat their part of the image.
            const bool repeats = tile && (row == 1 || column == 1);
            if (!repeats) {
                painter.drawImage(destination, bitmap, source);
                continue;
            }
            QBrush brush(bitmap.copy(source.toAlignedRect()));
            brush.setTransform(QTransform::fromTranslate(destination.left(), destination.top()));
            painter.fillRect(destination, brush);
        }
    }
}

void LMImageDrawing::paint(QPainter& painter, const QRectF& bounds, qreal devicePixelRatio)
{
    const QRectF target = imageRect(bounds);
    if (target.isEmpty())
        return;
    const QImage& image = rendered(target, devicePixelRatio);
    if (image.isNull())
        return;
    if (m_content.cornerRadius <= 0) {
        painter.drawImage(target.topLeft(), image);
        return;
    }
    // A brush instead of a clip: clipping paths are not antialiased.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, m_content.antialiased);
    QPainterPath frame;
    frame.addRoundedRect(bounds, m_content.cornerRadius, m_content.cornerRadius);
    QPainterPath drawn;
    drawn.addRect(target);
    QBrush brush(image);
    // The brush honours the image's pixel ratio by itself.
    brush.setTransform(QTransform::fromTranslate(target.left(), target.top()));
    painter.fillPath(frame.intersected(drawn), brush);
    painter.restore();
}

} // namespace Lumen
