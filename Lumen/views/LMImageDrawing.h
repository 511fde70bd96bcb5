#pragma once

#include "Lumen/views/LMImageContent.h"

#include <QColor>
#include <QImage>
#include <QRectF>

class QPainter;

namespace Lumen {

// Draws the content of an `LMImage` into the view's bounds. The image is brought to its drawn
// size once per change of content, bounds or pixel ratio, so a repaint only copies pixels.
class LMImageDrawing {
public:
    const LMImageContent& content() const { return m_content; }
    // Answers whether the content changed.
    bool setContent(LMImageContent content);
    // What a template image is filled with.
    void setTemplateColor(const QColor& color);

    // Where the image lands inside `bounds`; empty without an image.
    QRectF imageRect(const QRectF& bounds) const;
    void paint(QPainter& painter, const QRectF& bounds, qreal devicePixelRatio);

private:
    // The image at the size of `target` in device pixels.
    const QImage& rendered(const QRectF& target, qreal devicePixelRatio);
    void drawNinePatch(QPainter& painter, const QRectF& target, qreal devicePixelRatio) const;

    LMImageContent m_content;
    QImage m_rendered;
    bool m_renderedIsCurrent = false;
    QSize m_renderedPixels;
    QColor m_templateColor = Qt::black;
};

} // namespace Lumen
