#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>

#include <optional>

namespace Tivrand::Testing {

struct GifFrame {
    // Opaque pixels; all frames together may use at most 256 distinct colours.
    QImage image;
    // Hundredths of a second; no graphic control extension at all when absent.
    std::optional<int> delayCentiseconds = 10;
    QPoint position;
};

// GIF89a bytes with a global colour table and LZW-compressed frames, for decoder tests.
QByteArray writeGif(QSize canvasSize, const QList<GifFrame>& frames);

// A frame of `size` filled with one colour.
GifFrame solidGifFrame(QSize size, QRgb color, std::optional<int> delayCentiseconds = 10);

} // namespace Tivrand::Testing
