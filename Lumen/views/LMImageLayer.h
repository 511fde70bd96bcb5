#pragma once

#include "Lumen/views/LMImageContent.h"

#include <QPixmap>
#include <QRectF>
#include <QWidget>

namespace Lumen {

// Draws the content of an `LMImage`. The image is brought to its drawn size once per change
// of content or size, so a repaint only copies pixels. GUI thread only.
class LMImageLayer final : public QWidget {
    Q_OBJECT

public:
    explicit LMImageLayer(QWidget* parent = nullptr);

    const LMImageContent& content() const { return m_content; }
    void setContent(LMImageContent content);

    // Where the image lands inside the layer.
    QRectF imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The image at the size it is drawn, device pixels included.
    const QPixmap& rendered();

    LMImageContent m_content;
    QPixmap m_rendered;
    bool m_renderedIsCurrent = false;
};

} // namespace Lumen
