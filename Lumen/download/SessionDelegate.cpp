#include "Lumen/download/SessionDelegate.h"

#include "Lumen/download/FutureAnswer.h"
#include "Lumen/download/ImageDownloadRedirectHandler.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"

#include <utility>

namespace Lumen {

namespace {

using Response = LumenError::ResponseErrorReason;

const AuthChallengeAnswer defaultHandling{AuthChallengeDisposition::performDefaultHandling, std::nullopt};

} // namespace

std::shared_ptr<SessionDelegate> SessionDelegate::make()
{
    return std::make_shared<SessionDelegate>(Passkey{});
}

SessionTaskTable::Registration SessionDelegate::add(
    const QUrl& url, SessionDataTask::TaskCallback callback,
    const std::function<std::shared_ptr<URLSessionDataTask>()>& makeTransfer,
    const std::function<void(SessionDataTask&)>& prepare)
{
    return m_tasks->add(url, std::move(callback), [&](std::weak_ptr<SessionTaskTable> table) {
        auto task = std::make_shared<SessionDataTask>(makeTransfer(), std::move(table));
        task->onCallbackCancelled().setBlock(
            [weakSelf = weak_from_this(), weakTask = std::weak_ptr<SessionDataTask>(task)](
                const SessionDataTask::CancelledCallback& cancelled) {
                const auto self = weakSelf.lock();
                const auto task = weakTask.lock();
                if (self && task)
                    self->callbackCancelled(*task, cancelled);
            });
        prepare(*task);
        return task;
    });
}

std::shared_ptr<SessionDataTask> SessionDelegate::task(const QUrl& url) const
{
    return m_tasks->task(url);
}

void SessionDelegate::cancelAll()
{
    for (const auto& task : m_tasks->all())
        task->forceCancel();
}

void SessionDelegate::cancel(const QUrl& url)
{
    if (const auto task = m_tasks->task(url))
        task->forceCancel();
}

void SessionDelegate::callbackCancelled(SessionDataTask& task, const SessionDataTask::CancelledCallback& cancelled)
{
    const LumenError error = LumenError::RequestErrorReason::TaskCancelled{task.shared_from_this(), cancelled.token};
    task.onTaskDone().call(SessionDataTask::TaskDone{std::unexpected(error), {cancelled.callback}});
}

void SessionDelegate::onCompleted(const URLSessionDataTask& task, SessionDataTask::TaskResult result)
{
    auto finished = m_tasks->finish(task);
    if (!finished)
        return;
    finished->task->onTaskDone().call(SessionDataTask::TaskDone{std::move(result), std::move(finished->callbacks)});
}

void SessionDelegate::didReceiveResponse(const std::shared_ptr<URLSessionDataTask>& task, const URLResponse& response,
                                         ResponseCompletion completionHandler)
{
    if (const auto sessionTask = m_tasks->task(*task))
        sessionTask->setResponse(response);
    if (!response.statusCode) {
        onCompleted(*task, std::unexpected(LumenError(Response::InvalidURLResponse{response})));
        completionHandler(ResponseDisposition::cancel);
        return;
    }
    if (!m_onValidStatusCode->call(*response.statusCode).value_or(false)) {
        onCompleted(*task, std::unexpected(LumenError(Response::InvalidHTTPStatusCode{response})));
        completionHandler(ResponseDisposition::cancel);
        return;
    }
    const auto answer = m_onResponseReceived->call(response);
    if (!answer) {
        completionHandler(ResponseDisposition::cancel);
        return;
    }
    whenAnswered(*answer, [weakSelf = weak_from_this(), task, response, completionHandler = std::move(completionHandler)](
                              std::optional<ResponseDisposition> disposition) {
        const auto self = weakSelf.lock();
        if (self && disposition == ResponseDisposition::cancel)
            self->onCompleted(*task, std::unexpected(LumenError(Response::CancelledByDelegate{response})));
        completionHandler(disposition.value_or(ResponseDisposition::cancel));
    });
}

void SessionDelegate::didReceiveData(const std::shared_ptr<URLSessionDataTask>& task, const QByteArray& data)
{
    const auto sessionTask = m_tasks->task(*task);
    if (!sessionTask)
        return;
    sessionTask->didReceiveData(data);
    for (const auto& callback : sessionTask->callbacks()) {
        if (!callback.options.onDataReceived)
            continue;
        for (const auto& sideEffect : *callback.options.onDataReceived)
            sideEffect->onDataReceived(sessionTask, data);
    }
}

void SessionDelegate::didCompleteWithError(const std::shared_ptr<URLSessionDataTask>& task,
                                           const std::optional<UnderlyingError>& error)
{
    const auto sessionTask = m_tasks->task(*task);
    if (!sessionTask)
        return;
    const auto response = task->response();

    std::expected<URLResponse, LumenError> finished = std::unexpected(LumenError(Response::NoURLResponse{sessionTask}));
    if (error)
        finished = std::unexpected(LumenError(Response::URLSessionError{*error}));
    else if (response)
        finished = *response;
    if (sessionTask->originalURL())
        m_onDownloadingFinished->call(DownloadingFinished{*sessionTask->originalURL(), finished});

    SessionDataTask::TaskResult result;
    if (!finished)
        result = std::unexpected(finished.error());
    else if (auto data = m_onDidDownloadData->call(sessionTask))
        result = SessionDataTask::DownloadedData{std::move(*data), response};
    else
        result = std::unexpected(LumenError(Response::DataModifyingFailed{sessionTask}));
    onCompleted(*task, std::move(result));
}

void SessionDelegate::didReceiveChallenge(const URLAuthenticationChallenge& challenge,
                                          ChallengeCompletion completionHandler)
{
    const auto answer = m_onReceiveSessionChallenge->call(challenge);
    if (!answer) {
        completionHandler(defaultHandling);
        return;
    }
    whenAnswered(*answer, [completionHandler = std::move(completionHandler)](std::optional<AuthChallengeAnswer> given) {
        completionHandler(given.value_or(defaultHandling));
    });
}

void SessionDelegate::didReceiveTaskChallenge(const std::shared_ptr<URLSessionDataTask>& task,
                                              const URLAuthenticationChallenge& challenge,
                                              ChallengeCompletion completionHandler)
{
    const auto answer = m_onReceiveSessionTaskChallenge->call(TaskChallenge{task, challenge});
    if (!answer) {
        completionHandler(defaultHandling);
        return;
    }
    whenAnswered(*answer, [completionHandler = std::move(completionHandler)](std::optional<AuthChallengeAnswer> given) {
        completionHandler(given.value_or(defaultHandling));
    });
}

void SessionDelegate::willPerformHTTPRedirection(const std::shared_ptr<URLSessionDataTask>& task,
                                                 const URLResponse& response, const URLRequest& newRequest,
                                                 RedirectCompletion completionHandler)
{
    const auto sessionTask = m_tasks->task(*task);
    const auto callbacks = sessionTask ? sessionTask->callbacks() : std::vector<SessionDataTask::TaskCallback>();
    const auto handler = callbacks.empty() ? nullptr : callbacks.back().options.redirectHandler;
    if (!handler) {
        completionHandler(newRequest);
        return;
    }
    whenAnswered(handler->handleHTTPRedirection(sessionTask, response, newRequest),
                 [completionHandler = std::move(completionHandler)](const std::optional<URLRequest>& request) {
                     completionHandler(request);
                 });
}

} // namespace Lumen
