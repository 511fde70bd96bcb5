#include "Lumen/download/ImageDownloader.h"

#include "Lumen/download/FutureAnswer.h"
#include "Lumen/download/ImageDataProcessor.h"
#include "Lumen/download/ImageDownloadRequestModifier.h"
#include "Lumen/download/Session.h"
#include "Lumen/download/SessionDelegate.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/LibraryDefaults.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace Lumen {

namespace {

using Request = LumenError::RequestErrorReason;

void deliver(const SessionDataTask::TaskCallback& callback, ImageDownloader::CompletionResult result)
{
    if (!callback.onCompleted)
        return;
    callback.options.callbackQueue.execute(
        [onCompleted = callback.onCompleted, result = std::move(result)] { onCompleted->call(result); });
}

} // namespace

const std::shared_ptr<ImageDownloader>& ImageDownloader::defaultDownloader()
{
    // Never released: statics destroyed at exit may still use it. Its session ends with the
    // application, as every session does.
    static const auto* const downloader = new std::shared_ptr<ImageDownloader>(make(QStringLiteral("default")));
    return *downloader;
}

ImageDownloader::ImageDownloader(QString name)
    : m_name(std::move(name))
    , m_downloadTimeout(Defaults::downloadTimeoutSeconds)
    , m_sessionConfiguration(URLSessionConfiguration::ephemeral())
{
    if (m_name.isEmpty()) {
        std::fputs("[Lumen] You should specify a name for the downloader. A downloader with empty name is not "
                   "permitted.\n",
                   stdout);
        std::fflush(stdout);
        std::abort();
    }
}

ImageDownloader::~ImageDownloader()
{
    m_session->invalidateAndCancel();
}

void ImageDownloader::setUp()
{
    m_authenticationChallengeResponder = weak_from_this();
    m_sessionDelegate = SessionDelegate::make();
    m_session = Session::make(m_sessionConfiguration, m_sessionDelegate);
    setupSessionHandler(*m_sessionDelegate);
}

void ImageDownloader::setupSessionHandler(SessionDelegate& sessionDelegate)
{
    const auto self = shared_from_this();
    sessionDelegate.onReceiveSessionChallenge().delegate(
        self, [](ImageDownloader& downloader, const URLAuthenticationChallenge& challenge) {
            const auto responder = downloader.authenticationChallengeResponder();
            return (responder ? *responder : downloader).didReceiveChallenge(downloader, challenge);
        });
    sessionDelegate.onReceiveSessionTaskChallenge().delegate(
        self, [](ImageDownloader& downloader, const SessionDelegate::TaskChallenge& challenge) {
            const auto responder = downloader.authenticationChallengeResponder();
            return (responder ? *responder : downloader)
                .didReceiveTaskChallenge(downloader, challenge.task, challenge.challenge);
        });
    sessionDelegate.onValidStatusCode().delegate(self, [](ImageDownloader& downloader, const int& code) {
        std::shared_ptr<ImageDownloaderDelegate> holder;
        return downloader.delegateOrSelf(holder).isValidStatusCode(code, downloader);
    });
    sessionDelegate.onResponseReceived().delegate(self, [](ImageDownloader& downloader, const URLResponse& response) {
        std::shared_ptr<ImageDownloaderDelegate> holder;
        return downloader.delegateOrSelf(holder).didReceiveResponse(downloader, response);
    });
    sessionDelegate.onDownloadingFinished().delegate(
        self, [](ImageDownloader& downloader, const SessionDelegate::DownloadingFinished& finished) {
            const auto delegate = downloader.delegate();
            if (!delegate)
                return;
            if (finished.result)
                delegate->didFinishDownloadingImage(downloader, finished.url, *finished.result, std::nullopt);
            else
                delegate->didFinishDownloadingImage(downloader, finished.url, std::nullopt, finished.result.error());
        });
    sessionDelegate.onDidDownloadData().delegate(
        self, [](ImageDownloader& downloader, const std::shared_ptr<SessionDataTask>& task) {
            std::shared_ptr<ImageDownloaderDelegate> holder;
            return downloader.delegateOrSelf(holder).didDownloadData(downloader, task->mutableData(), *task);
        });
}

ImageDownloaderDelegate& ImageDownloader::delegateOrSelf(std::shared_ptr<ImageDownloaderDelegate>& holder)
{
    holder = delegate();
    return holder ? *holder : *this;
}

double ImageDownloader::downloadTimeout() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_downloadTimeout;
}

void ImageDownloader::setDownloadTimeout(double seconds)
{
    std::lock_guard lock(m_propertyMutex);
    m_downloadTimeout = seconds;
}

std::optional<QSet<QString>> ImageDownloader::trustedHosts() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_trustedHosts;
}

void ImageDownloader::setTrustedHosts(std::optional<QSet<QString>> hosts)
{
    std::lock_guard lock(m_propertyMutex);
    m_trustedHosts = std::move(hosts);
}

bool ImageDownloader::requestsUsePipelining() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_requestsUsePipelining;
}

void ImageDownloader::setRequestsUsePipelining(bool usePipelining)
{
    std::lock_guard lock(m_propertyMutex);
    m_requestsUsePipelining = usePipelining;
}

std::shared_ptr<ImageDownloaderDelegate> ImageDownloader::delegate() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_delegate.lock();
}

void ImageDownloader::setDelegate(const std::shared_ptr<ImageDownloaderDelegate>& delegate)
{
    std::lock_guard lock(m_propertyMutex);
    m_delegate = delegate;
}

std::shared_ptr<AuthenticationChallengeResponsible> ImageDownloader::authenticationChallengeResponder() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_authenticationChallengeResponder.lock();
}

void ImageDownloader::setAuthenticationChallengeResponder(
    const std::shared_ptr<AuthenticationChallengeResponsible>& responder)
{
    std::lock_guard lock(m_propertyMutex);
    m_authenticationChallengeResponder = responder;
}

URLSessionConfiguration ImageDownloader::sessionConfiguration() const
{
    std::lock_guard lock(m_sessionMutex);
    return m_sessionConfiguration;
}

void ImageDownloader::setSessionConfiguration(URLSessionConfiguration configuration)
{
    replaceSession(std::move(configuration), nullptr);
}

std::shared_ptr<SessionDelegate> ImageDownloader::sessionDelegate() const
{
    std::lock_guard lock(m_sessionMutex);
    return m_sessionDelegate;
}

void ImageDownloader::setSessionDelegate(std::shared_ptr<SessionDelegate> sessionDelegate)
{
    if (!sessionDelegate)
        return;
    setupSessionHandler(*sessionDelegate);
    replaceSession(std::nullopt, std::move(sessionDelegate));
}

std::shared_ptr<Session> ImageDownloader::session() const
{
    std::lock_guard lock(m_sessionMutex);
    return m_session;
}

void ImageDownloader::replaceSession(std::optional<URLSessionConfiguration> configuration,
                                     std::shared_ptr<SessionDelegate> sessionDelegate)
{
    std::shared_ptr<Session> replaced;
    {
        std::lock_guard lock(m_sessionMutex);
        if (configuration)
            m_sessionConfiguration = std::move(*configuration);
        if (sessionDelegate)
            m_sessionDelegate = std::move(sessionDelegate);
        replaced = std::exchange(m_session, Session::make(m_sessionConfiguration, m_sessionDelegate));
    }
    // Its transfers fail through the delegate they were registered with.
    replaced->invalidateAndCancel();
}

void ImageDownloader::createDownloadContext(const QUrl& url, const LumenParsedOptionsInfo& options,
                                            std::function<void(std::expected<DownloadingContext, LumenError>)> done)
{
    URLRequest request(url, URLRequest::CachePolicy::reloadIgnoringLocalCacheData, downloadTimeout());
    request.httpShouldUsePipelining = requestsUsePipelining();
    if (options.lowDataModeSource)
        request.allowsConstrainedNetworkAccess = false;

    auto finish = [options, done](const std::optional<URLRequest>& modified) {
        if (!modified) {
            done(std::unexpected(LumenError(Request::EmptyRequest{})));
            return;
        }
        if (modified->url.isEmpty() || modified->url.toString(QUrl::FullyEncoded).isEmpty()) {
            done(std::unexpected(LumenError(Request::InvalidURL{modified->networkRequest()})));
            return;
        }
        done(DownloadingContext{modified->url, *modified, options});
    };

    if (!options.requestModifier) {
        finish(request);
        return;
    }
    if (const auto* modifier = dynamic_cast<const ImageDownloadRequestModifier*>(options.requestModifier.get())) {
        finish(modifier->modifiedNow(request));
        return;
    }

    // The first of the answer and the timeout takes the steps and so releases what they hold
    // (the caller's options, and with them the modifier): a modifier that never answers keeps
    // nothing alive.
    struct Pending {
        std::mutex mutex;
        std::function<void(const std::optional<URLRequest>&)> finish;
        std::function<void(std::expected<DownloadingContext, LumenError>)> done;
    };
    const auto pending = std::make_shared<Pending>();
    pending->finish = std::move(finish);
    pending->done = std::move(done);
    const auto take = [pending] {
        std::lock_guard lock(pending->mutex);
        return std::pair(std::exchange(pending->finish, {}), std::exchange(pending->done, {}));
    };
    if (const int milliseconds = request.timeoutMilliseconds(); milliseconds > 0) {
        DispatchQueue::global()->asyncAfter(std::chrono::milliseconds(milliseconds), [take, url = request.url] {
            if (const auto [finish, done] = take(); done) {
                done(std::unexpected(LumenError(LumenError::ResponseErrorReason::URLSessionError{
                    SessionErrors::answerTimedOut(QStringLiteral("request modifier"), url)})));
            }
        });
    }
    whenAnswered(options.requestModifier->modified(request),
                 [take](const std::optional<URLRequest>& modified) {
                     if (const auto [finish, done] = take(); finish)
                         finish(modified);
                 });
}

std::shared_ptr<DownloadTask> ImageDownloader::addDownloadTask(const DownloadingContext& context,
                                                               SessionDataTask::TaskCallback callback)
{
    std::lock_guard lock(m_sessionMutex);
    const auto registration = m_sessionDelegate->add(
        context.url, std::move(callback),
        [&] {
            auto transfer = m_session->dataTask(context.request);
            transfer->setPriority(context.options.downloadPriority);
            return transfer;
        },
        [&](SessionDataTask& task) {
            task.onTaskDone().setBlock([weakSelf = weak_from_this(), context](const SessionDataTask::TaskDone& done) {
                transferFinished(weakSelf, context, done);
            });
        });
    return DownloadTask::make(registration.task, registration.token);
}

std::shared_ptr<DownloadTask> ImageDownloader::startDownloadTask(const DownloadingContext& context,
                                                                 SessionDataTask::TaskCallback callback)
{
    auto downloadTask = addDownloadTask(context, std::move(callback));
    const auto sessionTask = downloadTask->sessionTask();
    if (!sessionTask || downloadTask->cancelToken() != SessionDataTask::firstToken)
        return downloadTask;
    if (const auto observer = delegate())
        observer->willDownloadImage(*this, context.url, context.request);
    sessionTask->resume();
    return downloadTask;
}

void ImageDownloader::transferFinished(const std::weak_ptr<ImageDownloader>& weakSelf,
                                       const DownloadingContext& context, const SessionDataTask::TaskDone& done)
{
    // Callers are answered whether or not the downloader still exists.
    if (const auto self = weakSelf.lock())
        self->reportDidDownloadImageData(done.result, context.url);
    if (!done.result) {
        for (const auto& callback : done.callbacks)
            deliver(callback, std::unexpected(done.result.error()));
        return;
    }

    const QByteArray data = done.result->data;
    const auto processor = ImageDataProcessor::make(data, context.url, done.callbacks, context.options.processingQueue);
    processor->onImageProcessed().setBlock([weakSelf, url = context.url, response = done.result->response,
                                            data](const ImageDataProcessor::Processed& processed) {
        if (const auto self = weakSelf.lock())
            self->reportDidProcessImage(processed.result, url, response);
        if (processed.result)
            deliver(processed.callback, ImageLoadingResult{*processed.result, url, data});
        else
            deliver(processed.callback, std::unexpected(processed.result.error()));
    });
    processor->process();
}

void ImageDownloader::reportDidDownloadImageData(const SessionDataTask::TaskResult& result, const QUrl& url)
{
    const auto observer = delegate();
    if (!observer)
        return;
    if (result)
        observer->didFinishDownloadingImage(*this, url, result->response, std::nullopt);
    else
        observer->didFinishDownloadingImage(*this, url, std::nullopt, result.error());
}

void ImageDownloader::reportDidProcessImage(const std::expected<ImagePtr, LumenError>& result, const QUrl& url,
                                            const std::optional<URLResponse>& response)
{
    if (!result)
        return;
    if (const auto observer = delegate())
        observer->didDownloadImage(*this, *result, url, response);
}

std::shared_ptr<DownloadTask> ImageDownloader::downloadImage(const QUrl& url, const LumenParsedOptionsInfo& options,
                                                             CompletionHandler completionHandler)
{
    auto downloadTask = DownloadTask::make();
    const LumenParsedOptionsInfo restored = options.withClearedDefaultsRestored();
    createDownloadContext(
        url, restored,
        [self = shared_from_this(), options = restored, completionHandler = std::move(completionHandler),
         downloadTask](std::expected<DownloadingContext, LumenError> context) {
            // A caller that cancelled while the request modifier worked is answered without a request.
            if (context && downloadTask->isCancelRequested())
                context = std::unexpected(LumenError(Request::TaskCancelled{nullptr, 0}));
            if (!context) {
                if (completionHandler)
                    options.callbackQueue.execute(
                        [completionHandler, error = context.error()] { completionHandler(std::unexpected(error)); });
                return;
            }
            std::shared_ptr<Delegate<CompletionResult>> onCompleted;
            if (completionHandler) {
                onCompleted = Delegate<CompletionResult>::make();
                onCompleted->setBlock(completionHandler);
            }
            const auto started = self->startDownloadTask(*context, SessionDataTask::TaskCallback{onCompleted, options});
            downloadTask->linkToTask(*started);
            if (options.requestModifier) {
                if (const auto onStarted = options.requestModifier->onDownloadTaskStarted())
                    onStarted(downloadTask);
            }
        });
    return downloadTask;
}

std::shared_ptr<DownloadTask> ImageDownloader::downloadImage(const QUrl& url,
                                                             const std::optional<LumenOptionsInfo>& options,
                                                             ProgressBlock progressBlock,
                                                             CompletionHandler completionHandler)
{
    return downloadImage(url, withProgress(LumenParsedOptionsInfo(options), std::move(progressBlock)),
                         std::move(completionHandler));
}

std::shared_ptr<DownloadTask> ImageDownloader::downloadImage(const QUrl& url,
                                                             const std::optional<LumenOptionsInfo>& options,
                                                             CompletionHandler completionHandler)
{
    return downloadImage(url, LumenParsedOptionsInfo(options), std::move(completionHandler));
}

LumenParsedOptionsInfo ImageDownloader::withProgress(LumenParsedOptionsInfo options, ProgressBlock progressBlock)
{
    if (progressBlock) {
        if (!options.onDataReceived)
            options.onDataReceived.emplace();
        options.onDataReceived->push_back(ImageLoadingProgressSideEffect::make(std::move(progressBlock)));
    }
    return options;
}

void ImageDownloader::cancel(const QUrl& url)
{
    sessionDelegate()->cancel(url);
}

void ImageDownloader::cancelAll()
{
    sessionDelegate()->cancelAll();
}

} // namespace Lumen
