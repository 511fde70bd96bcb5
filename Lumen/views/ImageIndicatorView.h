#pragma once

#include "Lumen/foundation/Image.h"

#include <QList>
#include <QTimer>
#include <QWidget>

namespace Lumen {

// Shows an image at its own size, centred and never scaled, and plays the frames an
// animated image carries while `animates` is set. An image that carries fewer than two
// frames (a still, or an animation decoded without its frames) stays still. Ignores the
// mouse, so the widget under it stays usable. GUI thread only.
class ImageIndicatorView final : public QWidget {
public:
    // A null image shows nothing.
    explicit ImageIndicatorView(ImagePtr image, QWidget* parent = nullptr);

    const ImagePtr& image() const { return m_image; }

    bool animates() const { return m_animates; }
    // Playing resumes at the frame shown when it stopped, and loops.
    void setAnimates(bool animates);
    // The frame shown: an index into the image's frames, 0 for a still.
    int currentFrameIndex() const { return m_frameIndex; }

    // The image's size in points.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void scheduleNextFrame();
    void showNextFrame();
    const ImagePtr& currentFrame() const;

    ImagePtr m_image;
    QList<ImagePtr> m_frames;
    QList<int> m_frameMilliseconds;
    int m_frameIndex = 0;
    bool m_animates = false;
    QTimer m_frameTimer;
};

} // namespace Lumen
