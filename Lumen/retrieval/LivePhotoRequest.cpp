#include "Lumen/retrieval/LivePhotoRequest.h"

#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/LivePhotoMovie.h"
#include "Lumen/retrieval/LivePhotoStill.h"

#include <QFileInfo>

#include <optional>
#include <utility>

namespace Lumen {

// The one maker of LivePhoto values.
class LivePhotoAssembly {
public:
    static LivePhotoResult assemble(const std::vector<QUrl>& fileURLs, QSizeF targetSize, ContentMode contentMode);
};

namespace {

struct StillFile {
    QString path;
    StillEncoding encoding;
};

std::unexpected<LivePhotoError> mismatched()
{
    return std::unexpected(LivePhotoError{LivePhotoError::Code::mismatchedFiles, QString(),
                                          QStringLiteral("A live photo needs exactly one still and one movie")});
}

} // namespace

LivePhotoResult LivePhotoAssembly::assemble(const std::vector<QUrl>& fileURLs, QSizeF targetSize,
                                            ContentMode contentMode)
{
    std::optional<StillFile> still;
    std::optional<QString> moviePath;
    for (const QUrl& url : fileURLs) {
        if (!url.isLocalFile()) {
            const QString shown = url.toString(QUrl::RemoveUserInfo);
            return std::unexpected(LivePhotoError{LivePhotoError::Code::unreadableFile, shown,
                                                  QStringLiteral("The live photo file ") + shown
                                                      + QStringLiteral(" is not a local file")});
        }
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (auto encoding = stillEncodingForSuffix(suffix); encoding && !still)
            still = StillFile{path, std::move(*encoding)};
        else if (isLivePhotoMovieSuffix(suffix) && !moviePath)
            moviePath = path;
        else
            return mismatched();
    }
    if (!still || !moviePath)
        return mismatched();

    // The cheaper check first.
    auto movie = probeLivePhotoMovie(*moviePath);
    if (!movie)
        return std::unexpected(std::move(movie.error()));
    auto image = decodeLivePhotoStill(still->path, still->encoding, targetSize, contentMode);
    if (!image)
        return std::unexpected(std::move(image.error()));
    return LivePhoto(std::move(*image), std::move(*moviePath), movie->duration, movie->size,
                     movie->rotation);
}

LivePhotoResult assembleLivePhoto(const std::vector<QUrl>& fileURLs, QSizeF targetSize, ContentMode contentMode)
{
    return LivePhotoAssembly::assemble(fileURLs, targetSize, contentMode);
}

void requestLivePhoto(std::vector<QUrl> fileURLs, QSizeF targetSize, ContentMode contentMode,
                      LivePhotoResultHandler resultHandler)
{
    if (!resultHandler)
        return;
    DispatchQueue::global()->async(
        [fileURLs = std::move(fileURLs), targetSize, contentMode, handler = std::move(resultHandler)]() mutable {
            LivePhotoResult result = assembleLivePhoto(fileURLs, targetSize, contentMode);
            CallbackQueue::asyncOnMain([handler = std::move(handler), result = std::move(result)]() mutable {
                handler(std::move(result));
            });
        });
}

} // namespace Lumen
