#pragma once

#include "Lumen/download/URLAuthenticationChallenge.h"
#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LumenError.h"

#include <QByteArray>
#include <QFuture>
#include <QUrl>

#include <memory>
#include <optional>

namespace Lumen {

class ImageDownloader;
class SessionDataTask;

// Observes and steers a downloader's transfers. Every operation has a default; the downloader
// adopts this interface itself and answers with the defaults whenever no delegate is set.
class ImageDownloaderDelegate {
public:
    virtual ~ImageDownloaderDelegate() = default;

    // Once per transfer, just before it starts.
    virtual void willDownloadImage(ImageDownloader& downloader, const QUrl& url,
                                   const std::optional<URLRequest>& request);
    virtual void didFinishDownloadingImage(ImageDownloader& downloader, const QUrl& url,
                                           const std::optional<URLResponse>& response,
                                           const std::optional<LumenError>& error);
    // The data to decode; nothing fails every caller of the transfer. By default, the answer of
    // `didDownloadDataForURL` for the transfer's URL.
    virtual std::optional<QByteArray> didDownloadData(ImageDownloader& downloader, const QByteArray& data,
                                                      const SessionDataTask& task);
    virtual std::optional<QByteArray> didDownloadDataForURL(ImageDownloader& downloader, const QByteArray& data,
                                                            const QUrl& url);
    // Once per caller whose image was made.
    virtual void didDownloadImage(ImageDownloader& downloader, const ImagePtr& image, const QUrl& url,
                                  const std::optional<URLResponse>& response);
    // By default 200 to 399 pass.
    virtual bool isValidStatusCode(int code, ImageDownloader& downloader);
    // By default `allow` at once.
    virtual QFuture<ResponseDisposition> didReceiveResponse(ImageDownloader& downloader, const URLResponse& response);
};

} // namespace Lumen
