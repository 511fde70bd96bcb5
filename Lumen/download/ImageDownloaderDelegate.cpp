#include "Lumen/download/ImageDownloaderDelegate.h"

#include "Lumen/download/SessionDataTask.h"

namespace Lumen {

void ImageDownloaderDelegate::willDownloadImage(ImageDownloader&, const QUrl&, const std::optional<URLRequest>&) {}

void ImageDownloaderDelegate::didFinishDownloadingImage(ImageDownloader&, const QUrl&,
                                                        const std::optional<URLResponse>&,
                                                        const std::optional<LumenError>&)
{
}

std::optional<QByteArray> ImageDownloaderDelegate::didDownloadData(ImageDownloader& downloader, const QByteArray& data,
                                                                   const SessionDataTask& task)
{
    if (!task.originalURL())
        return data;
    return didDownloadDataForURL(downloader, data, *task.originalURL());
}

std::optional<QByteArray> ImageDownloaderDelegate::didDownloadDataForURL(ImageDownloader&, const QByteArray& data,
                                                                         const QUrl&)
{
    return data;
}

void ImageDownloaderDelegate::didDownloadImage(ImageDownloader&, const ImagePtr&, const QUrl&,
                                               const std::optional<URLResponse>&)
{
}

bool ImageDownloaderDelegate::isValidStatusCode(int code, ImageDownloader&)
{
    return static_cast<unsigned>(code - 200) < 200u;
}

QFuture<ResponseDisposition> ImageDownloaderDelegate::didReceiveResponse(ImageDownloader&, const URLResponse&)
{
    return QtFuture::makeReadyFuture(ResponseDisposition::allow);
}

} // namespace Lumen
