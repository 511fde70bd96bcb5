#pragma once

namespace Lumen {

// Qt Multimedia on Debian defaults to its GStreamer backend, which needs plugin packages the
// project does not install and picks a demuxer for whatever container it finds. The FFmpeg
// backend plays movies with the library that checked them (probeLivePhotoMovie). Chooses it
// unless QT_MEDIA_BACKEND is set already. Call at the start of main, before any other thread
// or media object exists: it changes the process environment.
void preferFFmpegMediaBackend();

} // namespace Lumen
