#pragma once

#include "Lumen/download/AuthenticationChallengeResponsible.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/ImageDownloaderDelegate.h"
#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/download/LivePhotoResourceDownloadingResult.h"
#include "Lumen/download/SessionDataTask.h"
#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLSessionConfiguration.h"
#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/LumenOptionsInfo.h"

#include <QFuture>
#include <QSet>
#include <QString>
#include <QUrl>

#include <concepts>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace Lumen {

class Session;
class SessionDelegate;

// Fetches images over HTTP and decodes them. Callers asking for the same URL at the same time
// share one transfer; each gets its own image, made with its own options, on its own callback
// queue, and may cancel alone. Every property may be read and changed from any thread and
// takes effect for later requests; a new session configuration or session delegate replaces
// the session, failing what ran on the old one. Releasing the downloader fails every caller
// still waiting (`URLSessionError` with a cancellation), so no caller waits forever.
class ImageDownloader : public ImageDownloaderDelegate,
                        public AuthenticationChallengeResponsible,
                        public std::enable_shared_from_this<ImageDownloader> {
public:
    using CompletionResult = std::expected<ImageLoadingResult, LumenError>;
    using CompletionHandler = std::function<void(CompletionResult)>;
    using ProgressBlock = ImageLoadingProgressSideEffect::ProgressBlock;

    // One request on its way: the URL and request after any request modifier, and the
    // caller's options.
    struct DownloadingContext {
        QUrl url;
        URLRequest request;
        LumenParsedOptionsInfo options;
    };

    // An empty name stops the program: every downloader needs one.
    template <std::derived_from<ImageDownloader> T = ImageDownloader, typename... Arguments>
    static std::shared_ptr<T> make(Arguments&&... arguments)
    {
        std::shared_ptr<T> downloader(new T(std::forward<Arguments>(arguments)...));
        downloader->setUp();
        return downloader;
    }
    // The process-wide downloader named "default", made on first use and never released.
    static const std::shared_ptr<ImageDownloader>& defaultDownloader();

    ~ImageDownloader() override;
    ImageDownloader(const ImageDownloader&) = delete;
    ImageDownloader& operator=(const ImageDownloader&) = delete;

    const QString& name() const { return m_name; }

    // Seconds; 15 by default.
    virtual double downloadTimeout() const;
    virtual void setDownloadTimeout(double seconds);
    // Hosts whose servers are trusted even when their certificate does not pass (exact,
    // case-sensitive match); none by default.
    virtual std::optional<QSet<QString>> trustedHosts() const;
    virtual void setTrustedHosts(std::optional<QSet<QString>> hosts);
    virtual URLSessionConfiguration sessionConfiguration() const;
    virtual void setSessionConfiguration(URLSessionConfiguration configuration);
    virtual std::shared_ptr<SessionDelegate> sessionDelegate() const;
    // A null delegate is ignored.
    virtual void setSessionDelegate(std::shared_ptr<SessionDelegate> sessionDelegate);
    virtual bool requestsUsePipelining() const;
    virtual void setRequestsUsePipelining(bool usePipelining);
    // Held weakly; absent by default, when the downloader's own defaults answer.
    virtual std::shared_ptr<ImageDownloaderDelegate> delegate() const;
    virtual void setDelegate(const std::shared_ptr<ImageDownloaderDelegate>& delegate);
    // Held weakly; the downloader itself at first.
    virtual std::shared_ptr<AuthenticationChallengeResponsible> authenticationChallengeResponder() const;
    virtual void setAuthenticationChallengeResponder(
        const std::shared_ptr<AuthenticationChallengeResponsible>& responder);
    std::shared_ptr<Session> session() const;

    // Starts (or joins) the download and answers the caller's handle at once. The completion,
    // if any, runs on the options' callback queue. A processor cleared from the options gives
    // way to the default one. A caller that cancels while a request modifier is still
    // working sends no request.
    virtual std::shared_ptr<DownloadTask> downloadImage(const QUrl& url, const LumenParsedOptionsInfo& options,
                                                        CompletionHandler completionHandler = {});
    virtual std::shared_ptr<DownloadTask> downloadImage(const QUrl& url,
                                                        const std::optional<LumenOptionsInfo>& options,
                                                        ProgressBlock progressBlock,
                                                        CompletionHandler completionHandler);
    virtual std::shared_ptr<DownloadTask> downloadImage(const QUrl& url,
                                                        const std::optional<LumenOptionsInfo>& options,
                                                        CompletionHandler completionHandler = {});

    // The same as futures, started from the shared concurrent queue. The future is fulfilled
    // where the result arrives, whatever the options' callback queue; cancelling it cancels
    // this caller's download.
    QFuture<CompletionResult> downloadImageAsync(const QUrl& url, LumenParsedOptionsInfo options);
    QFuture<CompletionResult> downloadImageAsync(const QUrl& url, const std::optional<LumenOptionsInfo>& options = {},
                                                 ProgressBlock progressBlock = {});

    // The raw bytes of a live photo's file, fetched like an image but never decoded: the
    // options' processor is replaced by the live-photo processor (the caller's options are
    // not changed). The completion, if any, runs on the options' callback queue.
    using LivePhotoResourceResult = std::expected<LivePhotoResourceDownloadingResult, LumenError>;
    std::shared_ptr<DownloadTask> downloadLivePhotoResource(
        const QUrl& url, const LumenParsedOptionsInfo& options,
        std::function<void(LivePhotoResourceResult)> completionHandler = {});
    // The same as a future, as for `downloadImageAsync`.
    QFuture<LivePhotoResourceResult> downloadLivePhotoResourceAsync(const QUrl& url, LumenParsedOptionsInfo options);

    // Cancels every caller waiting on the transfer of `url`.
    virtual void cancel(const QUrl& url);
    // Cancels every caller of every transfer.
    virtual void cancelAll();

protected:
    explicit ImageDownloader(QString name);

    // The steps of a download, in order; a subclass may change any of them.

    // Points the session delegate's hooks at this downloader.
    virtual void setupSessionHandler(SessionDelegate& sessionDelegate);
    // The request for `url` after the options' request modifier, handed to `done` (later,
    // for an asynchronous modifier).
    virtual void createDownloadContext(const QUrl& url, const LumenParsedOptionsInfo& options,
                                       std::function<void(std::expected<DownloadingContext, LumenError>)> done);
    // Registers the caller: joins the running transfer of the context's URL, or makes a new
    // one, ready to report its end with this context, in one step of the session delegate's
    // table. The caller that made the transfer holds its first token (0) and so starts it.
    virtual std::shared_ptr<DownloadTask> addDownloadTask(const DownloadingContext& context,
                                                          SessionDataTask::TaskCallback callback);
    // Registers the caller (`addDownloadTask`); the one that made the transfer tells the
    // delegate and starts it, a caller that joined a running one does no more.
    virtual std::shared_ptr<DownloadTask> startDownloadTask(const DownloadingContext& context,
                                                            SessionDataTask::TaskCallback callback);
    // Tell the delegate, when one is set.
    virtual void reportDidDownloadImageData(const SessionDataTask::TaskResult& result, const QUrl& url);
    virtual void reportDidProcessImage(const std::expected<ImagePtr, LumenError>& result, const QUrl& url,
                                       const std::optional<URLResponse>& response);

private:
    void setUp();
    void replaceSession(std::optional<URLSessionConfiguration> configuration,
                        std::shared_ptr<SessionDelegate> sessionDelegate);
    // The options with a side effect reporting progress to `progressBlock`, when one is given.
    static LumenParsedOptionsInfo withProgress(LumenParsedOptionsInfo options, ProgressBlock progressBlock);
    ImageDownloaderDelegate& delegateOrSelf(std::shared_ptr<ImageDownloaderDelegate>& holder);

    static void transferFinished(const std::weak_ptr<ImageDownloader>& weakSelf, const DownloadingContext& context,
                                 const SessionDataTask::TaskDone& done);

    const QString m_name;

    mutable std::mutex m_propertyMutex;
    double m_downloadTimeout;
    std::optional<QSet<QString>> m_trustedHosts;
    bool m_requestsUsePipelining = false;
    std::weak_ptr<ImageDownloaderDelegate> m_delegate;
    std::weak_ptr<AuthenticationChallengeResponsible> m_authenticationChallengeResponder;

    // Taken before the session delegate's table: a data task is never made on a session
    // being replaced.
    mutable std::mutex m_sessionMutex;
    URLSessionConfiguration m_sessionConfiguration;
    std::shared_ptr<SessionDelegate> m_sessionDelegate;
    std::shared_ptr<Session> m_session;
};

} // namespace Lumen
