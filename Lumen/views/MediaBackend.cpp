#include "Lumen/views/MediaBackend.h"

#include <QByteArray>
#include <QtGlobal>

namespace Lumen {

void preferFFmpegMediaBackend()
{
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", QByteArrayLiteral("ffmpeg"));
}

} // namespace Lumen
