#pragma once

#include "tests/support/GifWriter.h"

#include <QList>

namespace Tivrand::Testing {

// Distinct, easily told apart frame colours.
inline QRgb frameColor(int index)
{
    static const QRgb colors[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0),
                                  qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(128, 128, 128), qRgb(255, 255, 255)};
    return colors[index % 8];
}

// `count` solid frames of `size`, each with `delay` hundredths of a second.
inline QByteArray solidGif(QSize size, int count, std::optional<int> delay = 10)
{
    QList<GifFrame> frames;
    for (int index = 0; index < count; ++index)
        frames.append(solidGifFrame(size, frameColor(index), delay));
    return writeGif(size, frames);
}

} // namespace Tivrand::Testing
