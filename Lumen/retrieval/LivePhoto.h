#pragma once

#include "Lumen/foundation/Image.h"

#include <QSize>
#include <QString>

#include <utility>

namespace Lumen {

// A live photo: its decoded still and the movie that plays with it. Only the live-photo
// request makes one, so every value holds a still that decoded and a movie whose container
// was checked. A small value: copies share the still.
class LivePhoto {
public:
    const ImagePtr& still() const { return m_still; }
    const QString& moviePath() const { return m_moviePath; }
    // Seconds; always positive.
    double movieDuration() const { return m_movieDuration; }
    // The video's display size in pixels.
    QSize movieSize() const { return m_movieSize; }
    // Clockwise degrees (0, 90, 180 or 270) that turn the movie's stored frames upright.
    int movieRotation() const { return m_movieRotation; }

private:
    friend class LivePhotoAssembly;

    LivePhoto(ImagePtr still, QString moviePath, double movieDuration, QSize movieSize, int movieRotation)
        : m_still(std::move(still))
        , m_moviePath(std::move(moviePath))
        , m_movieDuration(movieDuration)
        , m_movieSize(movieSize)
        , m_movieRotation(movieRotation)
    {
    }

    ImagePtr m_still;
    QString m_moviePath;
    double m_movieDuration;
    QSize m_movieSize;
    int m_movieRotation;
};

} // namespace Lumen
