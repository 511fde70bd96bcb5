#pragma once

namespace Lumen {

// The downloader. Options carry it by reference and nothing below the download layer looks
// inside it.
class ImageDownloader;

} // namespace Lumen
