#pragma once

#include "Lumen/download/URLAuthenticationChallenge.h"
#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QAuthenticator;
class QNetworkReply;

namespace Lumen {

class SessionWorker;
class URLSessionDataTask;

// One task's transfer on the session's thread, over as many replies as the redirects it
// follows. It holds data back while the delegate decides about a response, enforces the body
// limit and its share of the session's body budget, the idle timeout, the deadline and the
// redirect rules, keeps count of its pace, and turns challenges into questions to the
// delegate. It is made when its task starts and sends nothing before its worker gives it a
// connection slot.
class SessionTransfer : public QObject {
    Q_OBJECT

public:
    static constexpr int maximumRedirects = 16;

    SessionTransfer(SessionWorker& worker, std::shared_ptr<URLSessionDataTask> task);

    // Puts the transfer on the wire with its current request: once it has a slot, and again
    // when a redirect has moved it to another host.
    void start();
    void cancel();
    // Counts the bytes that arrived in the last `seconds` against `bytesPerSecond`; answers for
    // how many seconds in a row the transfer has moved fewer. Only a transfer that waits for
    // its peer is counted; zero seconds starts the count afresh.
    double measurePace(double seconds, qint64 bytesPerSecond);
    // Ends the transfer for moving too little while others waited.
    void endForPace();
    // While held, Qt reads ahead of the transfer at most a little, whatever its body announced.
    void holdReadAhead(bool held);
    // Ignored unless `reply` is the one the transfer is on.
    void authenticate(const QNetworkReply& reply, QAuthenticator& authenticator);

private:
    enum class Phase { receiving, awaitingResponseAnswer, awaitingRedirectAnswer, completed };

    void send(const URLRequest& request);
    void dropReply();
    // How far Qt may read ahead of the transfer now.
    void limitReadAhead();

private slots:
    // Connected by name (see `send`).
    void headersArrived();
    void bytesArrived();
    void replyFinished();
    void serverTrustFailed(const QList<QSslError>& errors);

private:
    void takeResponse(URLResponse response);
    void responseAnswered(ResponseDisposition disposition);
    void askToRedirect();
    void redirectAnswered(std::optional<URLRequest> request);

    // Counts bytes against the body limit; over it, the transfer fails and this answers false.
    bool accept(qint64 size);
    // Holds `bytes` of body in all against the session's budget; when they do not fit, the
    // transfer fails and this answers false.
    bool holdBody(qint64 bytes);
    void releaseBody();
    // The deadline counts only time on the wire.
    void runDeadline();
    void pauseDeadline();
    void complete(std::optional<UnderlyingError> error);

    // A completion handler for the delegate: its first call is applied on the session's
    // thread, unless the transfer failed meanwhile because no answer came in time.
    template <typename T>
    std::function<void(T)> answerOnce(const QString& what, void (SessionTransfer::*apply)(T));
    AuthChallengeAnswer waitForChallengeAnswer(
        const QString& what, const std::function<void(std::function<void(AuthChallengeAnswer)>)>& ask);
    void failAfterChallenge(UnderlyingError error);

    SessionWorker& m_worker;
    const std::shared_ptr<URLSessionDataTask> m_task;
    QNetworkReply* m_reply = nullptr;
    Phase m_phase = Phase::receiving;
    bool m_responseTaken = false;
    // Set while the current reply is a redirect that has not been decided yet.
    std::optional<URLResponse> m_redirectResponse;
    std::optional<QUrl> m_redirectTarget;
    // Runs while the reply is on the wire and restarts with any progress.
    QTimer m_idleTimer;
    // Runs while the transfer holds a slot, for what is left of the resource timeout.
    QTimer m_deadlineTimer;
    // Runs while the transfer waits for the delegate's answer to a question, for the request's
    // timeout; the answer's flag is shared with the completion handler the delegate was given.
    QTimer m_answerTimer;
    std::shared_ptr<std::atomic<bool>> m_pendingAnswer;
    QString m_pendingAnswerWhat;
    QElapsedTimer m_onWireSince;
    qint64 m_onWireMilliseconds = 0;
    // What the transfer holds of the session's body budget.
    qint64 m_heldBodyBytes = 0;
    // Set once the current reply's body is known to end at its announced length.
    bool m_framedByLength = false;
    bool m_readAheadHeld = false;
    qint64 m_bytesSincePaceCheck = 0;
    double m_slowSeconds = 0;
    QByteArray m_heldBack;
    bool m_replyFinished = false;
    qint64 m_received = 0;
    int m_redirects = 0;
    int m_authenticationAttempts = 0;
    // A challenge answer that ends the transfer once the reply lets go.
    std::optional<UnderlyingError> m_challengeFailure;
};

} // namespace Lumen
