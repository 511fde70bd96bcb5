#pragma once

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/download/SessionTaskTable.h"
#include "Lumen/download/URLAuthenticationChallenge.h"
#include "Lumen/download/URLSessionDataDelegate.h"
#include "Lumen/foundation/Delegate.h"

#include <QFuture>
#include <QUrl>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

// What a session reports, turned into the steps of the per-URL transfers: it keeps the table
// of running transfers, hands data and outcomes to each transfer's callers, and asks its six
// hooks, set by the downloader, what to accept. It decides nothing about images.
class SessionDelegate : public URLSessionDataDelegate, public std::enable_shared_from_this<SessionDelegate> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    struct DownloadingFinished {
        QUrl url;
        std::expected<URLResponse, LumenError> result;
    };
    struct TaskChallenge {
        std::shared_ptr<URLSessionDataTask> task;
        URLAuthenticationChallenge challenge;
    };

    static std::shared_ptr<SessionDelegate> make();
    explicit SessionDelegate(Passkey) {}

    // No answer counts as "not valid".
    Delegate<int, bool>& onValidStatusCode() const { return *m_onValidStatusCode; }
    // No answer cancels the transfer without an error of its own.
    Delegate<URLResponse, QFuture<ResponseDisposition>>& onResponseReceived() const { return *m_onResponseReceived; }
    Delegate<DownloadingFinished>& onDownloadingFinished() const { return *m_onDownloadingFinished; }
    // The bytes to use as the download's data; no answer fails it.
    Delegate<std::shared_ptr<SessionDataTask>, std::optional<QByteArray>>& onDidDownloadData() const
    {
        return *m_onDidDownloadData;
    }
    // No answer gives default handling.
    Delegate<URLAuthenticationChallenge, QFuture<AuthChallengeAnswer>>& onReceiveSessionChallenge() const
    {
        return *m_onReceiveSessionChallenge;
    }
    Delegate<TaskChallenge, QFuture<AuthChallengeAnswer>>& onReceiveSessionTaskChallenge() const
    {
        return *m_onReceiveSessionTaskChallenge;
    }

    // Joins the running transfer of `url`, or registers a new one around the transfer that
    // `makeTransfer` makes. `prepare` readies a new task (its completion hook) before any
    // other caller can see it. Both run under the table's lock and must not call back here.
    SessionTaskTable::Registration add(const QUrl& url, SessionDataTask::TaskCallback callback,
                                       const std::function<std::shared_ptr<URLSessionDataTask>()>& makeTransfer,
                                       const std::function<void(SessionDataTask&)>& prepare);
    std::shared_ptr<SessionDataTask> task(const QUrl& url) const;
    // Withdraws every caller of every transfer.
    void cancelAll();
    // Withdraws every caller of the transfer of `url`.
    void cancel(const QUrl& url);

    void didReceiveResponse(const std::shared_ptr<URLSessionDataTask>& task, const URLResponse& response,
                            ResponseCompletion completionHandler) override;
    void didReceiveData(const std::shared_ptr<URLSessionDataTask>& task, const QByteArray& data) override;
    void didCompleteWithError(const std::shared_ptr<URLSessionDataTask>& task,
                              const std::optional<UnderlyingError>& error) override;
    void didReceiveChallenge(const URLAuthenticationChallenge& challenge,
                             ChallengeCompletion completionHandler) override;
    void didReceiveTaskChallenge(const std::shared_ptr<URLSessionDataTask>& task,
                                 const URLAuthenticationChallenge& challenge,
                                 ChallengeCompletion completionHandler) override;
    void willPerformHTTPRedirection(const std::shared_ptr<URLSessionDataTask>& task, const URLResponse& response,
                                    const URLRequest& newRequest, RedirectCompletion completionHandler) override;

private:
    // Takes the transfer's callers out of the table and reports the outcome to them.
    void onCompleted(const URLSessionDataTask& task, SessionDataTask::TaskResult result);
    void callbackCancelled(SessionDataTask& task, const SessionDataTask::CancelledCallback& cancelled);

    const std::shared_ptr<SessionTaskTable> m_tasks = std::make_shared<SessionTaskTable>();
    const std::shared_ptr<Delegate<int, bool>> m_onValidStatusCode = Delegate<int, bool>::make();
    const std::shared_ptr<Delegate<URLResponse, QFuture<ResponseDisposition>>> m_onResponseReceived =
        Delegate<URLResponse, QFuture<ResponseDisposition>>::make();
    const std::shared_ptr<Delegate<DownloadingFinished>> m_onDownloadingFinished =
        Delegate<DownloadingFinished>::make();
    const std::shared_ptr<Delegate<std::shared_ptr<SessionDataTask>, std::optional<QByteArray>>> m_onDidDownloadData =
        Delegate<std::shared_ptr<SessionDataTask>, std::optional<QByteArray>>::make();
    const std::shared_ptr<Delegate<URLAuthenticationChallenge, QFuture<AuthChallengeAnswer>>>
        m_onReceiveSessionChallenge = Delegate<URLAuthenticationChallenge, QFuture<AuthChallengeAnswer>>::make();
    const std::shared_ptr<Delegate<TaskChallenge, QFuture<AuthChallengeAnswer>>> m_onReceiveSessionTaskChallenge =
        Delegate<TaskChallenge, QFuture<AuthChallengeAnswer>>::make();
};

} // namespace Lumen
