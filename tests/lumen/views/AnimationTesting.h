#pragma once

#include "Lumen/foundation/DisplayLinkTickSource.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"
#include "tests/lumen/imaging/TestImages.h"

#include <QList>
#include <QWidget>

#include <memory>

namespace Lumen::AnimationTesting {

using Tivrand::Testing::frameColor;
using Tivrand::Testing::solidGif;

// GIF data of solid frames, one per delay (hundredths of a second).
inline QByteArray solidGif(QSize size, const QList<int>& delays)
{
    QList<Tivrand::Testing::GifFrame> frames;
    for (int index = 0; index < delays.size(); ++index)
        frames.append(Tivrand::Testing::solidGifFrame(size, frameColor(index), delays[index]));
    return Tivrand::Testing::writeGif(size, frames);
}

// The pixel in the middle of what the view draws.
inline QRgb centrePixel(QWidget& view)
{
    const QImage image = view.grab().toImage();
    return image.pixel(image.rect().center());
}

// The first frame carrying a frame source over the others, as the view gets its images.
inline ImagePtr playableImage(const QByteArray& gif)
{
    ImageCreatingOptions options;
    options.onlyFirstFrame = true;
    return animatedImage(gif, options);
}

// Ticks when the test says so, with the refresh period it gives.
class HandTickSource final : public DisplayLinkTickSource {
public:
    struct State {
        Handler handler;
        bool running = false;
        double hostTime = 0;

        void tick(double period)
        {
            hostTime += period;
            if (running && handler)
                handler(DisplayLinkFrame{hostTime, period});
        }
    };

    explicit HandTickSource(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    void setHandler(Handler handler) override { m_state->handler = std::move(handler); }
    void start() override { m_state->running = true; }
    void stop() override { m_state->running = false; }
    bool isRunning() const override { return m_state->running; }

private:
    std::shared_ptr<State> m_state;
};

} // namespace Lumen::AnimationTesting
