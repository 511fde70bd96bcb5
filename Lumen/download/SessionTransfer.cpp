#include "Lumen/download/SessionTransfer.h"

#include "Lumen/download/EventLoopThread.h"
#include "Lumen/download/NetworkReplyFacts.h"
#include "Lumen/download/Session.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/SessionWorker.h"
#include "Lumen/download/URLOrigin.h"
#include "Lumen/download/URLSessionDataDelegate.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace Lumen {

namespace {

using NetworkReplyFacts::responseOf;

// Qt reads ahead of the session at most this much of a body not known to end at its announced
// length, and of any body while the session's thread waits for an answer, so a transfer holds
// little beyond the body limit. Otherwise Qt reads ahead freely: a limit reached before the
// headers are handled would make Qt's network thread wait for the session's, on a busy machine
// for long, in the middle of every large body.
constexpr qint64 readAheadLimit = 1024 * 1024;

// Everything the reply holds. A piece Qt holds whole comes as it is, without a copy; whatever
// the count of available bytes leaves out (a device may count less than it holds) follows.
QByteArray takeAvailable(QNetworkReply& reply)
{
    QByteArray data = reply.read(reply.bytesAvailable());
    if (reply.bytesAvailable() > 0)
        data.append(reply.readAll());
    return data;
}

// Headers that prove who the caller is; they go only to the origin they were set for.
const QByteArray credentialHeaders[] = {"Authorization", "Proxy-Authorization", "Cookie"};

QNetworkRequest::Priority networkPriority(float priority)
{
    if (priority < 0.5f)
        return QNetworkRequest::LowPriority;
    if (priority > 0.5f)
        return QNetworkRequest::HighPriority;
    return QNetworkRequest::NormalPriority;
}

AuthenticationMethod methodOf(const QByteArray& wwwAuthenticate)
{
    const QByteArray scheme = wwwAuthenticate.trimmed().split(' ').value(0).toLower();
    if (scheme == "basic")
        return AuthenticationMethod::httpBasic;
    if (scheme == "digest")
        return AuthenticationMethod::httpDigest;
    if (scheme == "ntlm")
        return AuthenticationMethod::ntlm;
    if (scheme == "negotiate")
        return AuthenticationMethod::negotiate;
    return AuthenticationMethod::other;
}

URLProtectionSpace protectionSpaceOf(const QUrl& url, AuthenticationMethod method)
{
    URLProtectionSpace space;
    space.host = url.host();
    space.protocol = url.scheme();
    space.port = url.port(space.protocol == QLatin1String("https") ? 443 : 80);
    space.authenticationMethod = method;
    return space;
}

} // namespace

SessionTransfer::SessionTransfer(SessionWorker& worker, std::shared_ptr<URLSessionDataTask> task)
    : QObject(&worker)
    , m_worker(worker)
    , m_task(std::move(task))
{
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        const URLRequest request = m_task->currentRequest();
        complete(SessionErrors::timedOut(request.url, request.timeoutInterval));
    });
    // A timer of the thread's stays registered until it fires or stops, and each costs every
    // other timer's start and stop a look: one waiting for an answer stops with the answer.
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        if (m_pendingAnswer && !m_pendingAnswer->exchange(true))
            complete(SessionErrors::answerTimedOut(m_pendingAnswerWhat, m_task->currentRequest().url));
    });
    m_deadlineTimer.setSingleShot(true);
    connect(&m_deadlineTimer, &QTimer::timeout, this, [this] {
        complete(SessionErrors::deadlineExceeded(m_task->originalRequest().url,
                                                 m_worker.session().configuration().timeoutIntervalForResource));
    });
}

void SessionTransfer::start()
{
    m_bytesSincePaceCheck = 0;
    m_slowSeconds = 0;
    runDeadline();
    send(m_task->currentRequest());
}

void SessionTransfer::runDeadline()
{
    const double seconds = m_worker.session().configuration().timeoutIntervalForResource;
    if (!(seconds > 0))
        return;
    const double left = seconds * 1000 - double(m_onWireMilliseconds);
    m_deadlineTimer.start(int(std::clamp(left, 0.0, double(INT_MAX))));
    m_onWireSince.start();
}

void SessionTransfer::pauseDeadline()
{
    if (!m_deadlineTimer.isActive())
        return;
    m_deadlineTimer.stop();
    m_onWireMilliseconds += m_onWireSince.elapsed();
}

void SessionTransfer::cancel()
{
    complete(SessionErrors::cancelled());
}

double SessionTransfer::measurePace(double seconds, qint64 bytesPerSecond)
{
    const qint64 arrived = std::exchange(m_bytesSincePaceCheck, 0);
    // A transfer whose reply is in, or whose data waits for an answer, waits for nobody but us.
    if (seconds <= 0 || !m_reply || m_replyFinished || m_phase != Phase::receiving || m_redirectResponse) {
        m_slowSeconds = 0;
        return 0;
    }
    m_slowSeconds = double(arrived) < double(bytesPerSecond) * seconds ? m_slowSeconds + seconds : 0;
    return m_slowSeconds;
}

void SessionTransfer::endForPace()
{
    const auto& configuration = m_worker.session().configuration();
    complete(SessionErrors::tooSlow(m_task->currentRequest().url, configuration.lowSpeedLimit,
                                    configuration.lowSpeedTime));
}

void SessionTransfer::holdReadAhead(bool held)
{
    m_readAheadHeld = held;
    limitReadAhead();
}

void SessionTransfer::limitReadAhead()
{
    if (!m_reply)
        return;
    const bool headersSeen = m_responseTaken || m_redirectResponse;
    const bool bounded = m_readAheadHeld || (headersSeen && !m_framedByLength);
    if (m_reply->readBufferSize() != (bounded ? readAheadLimit : 0))
        m_reply->setReadBufferSize(bounded ? readAheadLimit : 0);
}

void SessionTransfer::send(const URLRequest& request)
{
    QNetworkRequest networkRequest = request.networkRequest();
    networkRequest.setPriority(networkPriority(m_task->priority()));
    // How long the origin's connections stay open once none of its transfers is on the wire,
    // as the session counts them. Qt takes it from the request that opens the first of them.
    networkRequest.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute,
                                m_worker.connectionKeepSeconds(*m_task));
    m_reply = m_worker.manager().get(networkRequest);
    m_reply->setParent(this);
    m_framedByLength = false;
    limitReadAhead();
    // Qt's own transfer timeout would end the reply as cancelled; this one ends it as timed out.
    if (const int timeout = request.timeoutMilliseconds(); timeout > 0) {
        m_idleTimer.setInterval(timeout);
        m_idleTimer.start();
        connect(m_reply, SIGNAL(downloadProgress(qint64, qint64)), &m_idleTimer, SLOT(start()));
        connect(m_reply, SIGNAL(metaDataChanged()), &m_idleTimer, SLOT(start()));
    }
    // Connected by name, so Qt keeps no functor object of ours: Qt's network thread may release
    // a reply's connection records, and a functor freed there races, in the sanitizer's eyes,
    // with our code that made it (the order is kept by Qt's own atomics, which it cannot see).
    connect(m_reply, SIGNAL(metaDataChanged()), this, SLOT(headersArrived()));
    connect(m_reply, SIGNAL(readyRead()), this, SLOT(bytesArrived()));
    connect(m_reply, SIGNAL(finished()), this, SLOT(replyFinished()));
    connect(m_reply, SIGNAL(sslErrors(QList<QSslError>)), this, SLOT(serverTrustFailed(QList<QSslError>)));
}

void SessionTransfer::dropReply()
{
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    if (!reply)
        return;
    m_idleTimer.stop();
    disconnect(reply, nullptr, this, nullptr);
    disconnect(reply, nullptr, &m_idleTimer, nullptr);
    // Deleting a running reply is what ends its request: Qt's network thread then drops it and
    // closes its connection. Never `abort`: it sets an error of its own, and when Qt has queued
    // the reply's own error already (an error status arrives that way) the two collide and Qt
    // warns that an internal method was called twice.
    reply->deleteLater();
}

void SessionTransfer::headersArrived()
{
    if (m_phase == Phase::completed || m_challengeFailure || m_responseTaken || m_redirectResponse)
        return;
    m_framedByLength = NetworkReplyFacts::isBodyFramedByLength(*m_reply);
    m_redirectTarget = NetworkReplyFacts::redirectTarget(*m_reply);
    if (m_redirectTarget)
        m_redirectResponse = responseOf(*m_reply);
    else
        takeResponse(responseOf(*m_reply));
    if (m_phase != Phase::completed)
        limitReadAhead();
}

void SessionTransfer::bytesArrived()
{
    if (m_phase == Phase::completed || m_challengeFailure)
        return;
    // Replies that are not HTTP may bring data without announcing headers first.
    headersArrived();
    if (m_phase == Phase::completed)
        return;
    const QByteArray data = takeAvailable(*m_reply);
    m_bytesSincePaceCheck += data.size();
    if (data.isEmpty() || !accept(data.size()))
        return;
    if (m_redirectResponse || m_phase != Phase::receiving)
        m_heldBack.append(data);
    else
        m_worker.session().delegate().didReceiveData(m_task, data);
}

void SessionTransfer::replyFinished()
{
    if (m_phase == Phase::completed)
        return;
    if (m_challengeFailure) {
        complete(m_challengeFailure);
        return;
    }
    if (auto failure = NetworkReplyFacts::failureOf(*m_reply)) {
        complete(std::move(failure));
        return;
    }
    bytesArrived();
    if (m_phase == Phase::completed)
        return;
    m_replyFinished = true;
    // From here, only the answers the transfer waits for have a timeout.
    m_idleTimer.stop();
    if (m_redirectResponse)
        askToRedirect();
    else if (m_phase == Phase::receiving)
        complete(std::nullopt);
}

void SessionTransfer::takeResponse(URLResponse response)
{
    m_responseTaken = true;
    m_task->setResponse(response);
    const qint64 limit = m_worker.session().configuration().maximumResponseBodySize;
    if (response.expectedContentLength > limit) {
        complete(SessionErrors::bodyTooLarge(response.url, limit));
        return;
    }
    m_phase = Phase::awaitingResponseAnswer;
    m_worker.session().delegate().didReceiveResponse(
        m_task, response, answerOnce(QStringLiteral("response handler"), &SessionTransfer::responseAnswered));
}

void SessionTransfer::responseAnswered(ResponseDisposition disposition)
{
    if (m_phase != Phase::awaitingResponseAnswer)
        return;
    if (disposition == ResponseDisposition::cancel) {
        complete(SessionErrors::cancelled());
        return;
    }
    m_phase = Phase::receiving;
    const QByteArray heldBack = std::exchange(m_heldBack, {});
    if (!heldBack.isEmpty())
        m_worker.session().delegate().didReceiveData(m_task, heldBack);
    if (m_replyFinished && m_phase == Phase::receiving)
        complete(std::nullopt);
}

void SessionTransfer::askToRedirect()
{
    URLRequest next = m_task->currentRequest();
    next.url = *m_redirectTarget;
    if (originOf(next.url) != originOf(m_reply->url())) {
        for (const QByteArray& field : credentialHeaders)
            next.setValue(std::nullopt, field);
    }
    m_phase = Phase::awaitingRedirectAnswer;
    m_worker.session().delegate().willPerformHTTPRedirection(
        m_task, *m_redirectResponse, next,
        answerOnce(QStringLiteral("redirect handler"), &SessionTransfer::redirectAnswered));
}

void SessionTransfer::redirectAnswered(std::optional<URLRequest> request)
{
    if (m_phase != Phase::awaitingRedirectAnswer)
        return;
    if (!request) {
        // Not followed: the redirect response is the answer, with its own body.
        takeResponse(*std::exchange(m_redirectResponse, std::nullopt));
        return;
    }
    const QString scheme = request->url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        complete(SessionErrors::redirectNotHTTP(request->url));
        return;
    }
    if (++m_redirects > maximumRedirects) {
        complete(SessionErrors::tooManyRedirects(m_task->originalRequest().url, maximumRedirects));
        return;
    }
    dropReply();
    const QString previousHost = originOf(m_task->currentRequest().url);
    m_task->setCurrentRequest(*request);
    m_phase = Phase::receiving;
    m_responseTaken = false;
    m_redirectResponse.reset();
    m_heldBack.clear();
    m_replyFinished = false;
    m_received = 0;
    releaseBody();
    m_authenticationAttempts = 0;
    const QString host = originOf(request->url);
    if (host == previousHost) {
        send(*request);
        return;
    }
    // Another host: the transfer waits for a slot there like any new one.
    pauseDeadline();
    m_worker.moveToHost(m_task, host);
}

bool SessionTransfer::accept(qint64 size)
{
    m_received += size;
    const qint64 limit = m_worker.session().configuration().maximumResponseBodySize;
    if (m_received > limit) {
        complete(SessionErrors::bodyTooLarge(m_task->currentRequest().url, limit));
        return false;
    }
    return holdBody(m_received);
}

bool SessionTransfer::holdBody(qint64 bytes)
{
    if (bytes <= m_heldBodyBytes)
        return true;
    if (!m_worker.takeBodyBytes(bytes - m_heldBodyBytes)) {
        complete(SessionErrors::bodyBudgetExceeded(m_task->currentRequest().url,
                                                   m_worker.session().configuration().maximumBufferedBodyBytes));
        return false;
    }
    m_heldBodyBytes = bytes;
    return true;
}

void SessionTransfer::releaseBody()
{
    m_worker.returnBodyBytes(std::exchange(m_heldBodyBytes, 0));
}

void SessionTransfer::complete(std::optional<UnderlyingError> error)
{
    if (m_phase == Phase::completed)
        return;
    m_phase = Phase::completed;
    // Qt closes the connection of a reply dropped before its end.
    const bool cutOff = m_reply && !m_reply->isFinished();
    dropReply();
    m_deadlineTimer.stop();
    m_answerTimer.stop();
    // The body is handed on with the completion; the session no longer holds it.
    releaseBody();
    m_worker.transferEnded(*this, m_task, error, cutOff);
}

template <typename T>
std::function<void(T)> SessionTransfer::answerOnce(const QString& what, void (SessionTransfer::*apply)(T))
{
    const auto answered = std::make_shared<std::atomic<bool>>(false);
    m_pendingAnswer = answered;
    m_pendingAnswerWhat = what;
    if (const int timeout = m_task->currentRequest().timeoutMilliseconds(); timeout > 0)
        m_answerTimer.start(timeout);
    return [answered, apply, thread = m_worker.loopThread(), self = QPointer<SessionTransfer>(this)](T value) {
        if (answered->exchange(true))
            return;
        // Checked on the session's thread, where transfers are deleted.
        thread->post([self, apply, value = std::move(value)]() mutable {
            if (!self)
                return;
            self->m_answerTimer.stop();
            (self->*apply)(std::move(value));
        });
    };
}

AuthChallengeAnswer SessionTransfer::waitForChallengeAnswer(
    const QString& what, const std::function<void(std::function<void(AuthChallengeAnswer)>)>& ask)
{
    struct Pending {
        std::mutex mutex;
        std::condition_variable answered;
        std::optional<AuthChallengeAnswer> answer;
    };
    const auto pending = std::make_shared<Pending>();
    // Replies go on arriving while the thread waits, and none is read meanwhile.
    m_worker.holdReadAhead(true);
    const auto releaseReadAhead = qScopeGuard([this] { m_worker.holdReadAhead(false); });
    ask([pending](AuthChallengeAnswer answer) {
        std::lock_guard lock(pending->mutex);
        if (pending->answer)
            return;
        pending->answer = std::move(answer);
        pending->answered.notify_all();
    });

    // The network stack takes the answer only inside its signal, so the thread waits here.
    std::unique_lock lock(pending->mutex);
    const auto hasAnswer = [&] { return pending->answer.has_value(); };
    const int timeout = m_task->currentRequest().timeoutMilliseconds();
    if (timeout > 0)
        pending->answered.wait_for(lock, std::chrono::milliseconds(timeout), hasAnswer);
    else
        pending->answered.wait(lock, hasAnswer);
    if (!pending->answer) {
        // Later answers find one in place and are ignored.
        pending->answer = AuthChallengeAnswer{AuthChallengeDisposition::cancelAuthenticationChallenge, std::nullopt};
        lock.unlock();
        failAfterChallenge(SessionErrors::answerTimedOut(what, m_task->currentRequest().url));
        return AuthChallengeAnswer{AuthChallengeDisposition::cancelAuthenticationChallenge, std::nullopt};
    }
    return *pending->answer;
}

void SessionTransfer::failAfterChallenge(UnderlyingError error)
{
    if (m_challengeFailure)
        return;
    m_challengeFailure = std::move(error);
    // Not from inside the reply's signal: the reply is dropped once it has returned.
    QTimer::singleShot(0, this, [this] { complete(m_challengeFailure); });
}

void SessionTransfer::serverTrustFailed(const QList<QSslError>& errors)
{
    if (m_phase == Phase::completed || m_challengeFailure)
        return;
    URLAuthenticationChallenge challenge;
    challenge.protectionSpace = protectionSpaceOf(m_reply->url(), AuthenticationMethod::serverTrust);
    challenge.protectionSpace.serverTrust = ServerTrust{errors, m_reply->sslConfiguration().peerCertificateChain()};
    auto& delegate = m_worker.session().delegate();
    const AuthChallengeAnswer answer = waitForChallengeAnswer(
        QStringLiteral("server trust challenge"),
        [&](auto completion) { delegate.didReceiveChallenge(challenge, std::move(completion)); });

    switch (answer.disposition) {
    case AuthChallengeDisposition::useCredential:
        if (answer.credential && answer.credential->serverTrust)
            m_reply->ignoreSslErrors(answer.credential->serverTrust->errors);
        break;
    case AuthChallengeDisposition::cancelAuthenticationChallenge:
        failAfterChallenge(SessionErrors::cancelled());
        break;
    case AuthChallengeDisposition::performDefaultHandling:
    case AuthChallengeDisposition::rejectProtectionSpace:
        break;
    }
}

void SessionTransfer::authenticate(const QNetworkReply& reply, QAuthenticator& authenticator)
{
    // A reply dropped for a redirect lives on until its deletion, and may still ask.
    if (&reply != m_reply || m_phase == Phase::completed || m_challengeFailure)
        return;
    URLAuthenticationChallenge challenge;
    challenge.protectionSpace =
        protectionSpaceOf(m_reply->url(), methodOf(m_reply->rawHeader(QByteArrayLiteral("WWW-Authenticate"))));
    if (!authenticator.realm().isEmpty())
        challenge.protectionSpace.realm = authenticator.realm();
    challenge.previousFailureCount = m_authenticationAttempts++;
    auto& delegate = m_worker.session().delegate();
    const AuthChallengeAnswer answer = waitForChallengeAnswer(
        QStringLiteral("authentication challenge"),
        [&](auto completion) { delegate.didReceiveTaskChallenge(m_task, challenge, std::move(completion)); });

    switch (answer.disposition) {
    case AuthChallengeDisposition::useCredential:
        if (answer.credential && !answer.credential->serverTrust) {
            authenticator.setUser(answer.credential->user);
            authenticator.setPassword(answer.credential->password);
        }
        break;
    case AuthChallengeDisposition::cancelAuthenticationChallenge:
        failAfterChallenge(SessionErrors::cancelled());
        break;
    case AuthChallengeDisposition::performDefaultHandling:
    case AuthChallengeDisposition::rejectProtectionSpace:
        break;
    }
}

} // namespace Lumen
