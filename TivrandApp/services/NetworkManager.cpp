#include "TivrandApp/services/NetworkManager.h"

#include "TivrandApp/services/Redirect.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <utility>

namespace Tivrand {
namespace {

using namespace Qt::Literals::StringLiterals;
using BodyResult = std::expected<QByteArray, NetworkError>;

NetworkError managerError(int code, const QString& message)
{
    return NetworkError{NetworkError::networkManagerDomain, code, message};
}

NetworkError tooLargeError()
{
    return managerError(NetworkError::responseTooLarge, u"response too large"_s);
}

NetworkError timedOutError()
{
    return managerError(NetworkError::timedOut, u"The request timed out."_s);
}

NetworkError cancelledError()
{
    return managerError(NetworkError::cancelled, u"The request was cancelled because the network manager went away."_s);
}

// Completions always run from the GUI thread's event loop, never from a network signal or a caller's frame.
void postToGuiThread(std::function<void()> job)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(job), Qt::QueuedConnection);
}

BodyResult outcome(QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        if (code < 200 || code > 299)
            return std::unexpected(managerError(code, u"The server answered with HTTP status %1."_s.arg(code)));
    }
    switch (reply.error()) {
    case QNetworkReply::NoError:
        return reply.readAll();
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer timeout; our own aborts finish the request first
        return std::unexpected(timedOutError());
    default:
        return std::unexpected(managerError(NetworkError::transportFailed, reply.errorString()));
    }
}

// One running request; whichever of its endings comes first completes it.
struct PendingRequest {
    NetworkManager::BodyCompletion completion;
    bool finished = false;
    QPointer<QNetworkReply> reply; // the one under way: each redirect is a new one
    QPointer<QTimer> deadline;

    void finish(BodyResult result)
    {
        if (std::exchange(finished, true))
            return;
        if (deadline)
            deadline->deleteLater();
        postToGuiThread([completion = std::move(completion), result = std::move(result)] { completion(result); });
    }
};

// Ends the request once `deadline` has passed, however its answer is still arriving.
void startDeadline(QNetworkAccessManager& network, std::chrono::milliseconds deadline,
                   const std::shared_ptr<PendingRequest>& pending)
{
    auto* timer = new QTimer(&network);
    timer->setSingleShot(true);
    // A coarse timer may fire 5% early, a minute's one up to half a second early.
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [pending] {
        pending->finish(std::unexpected(timedOutError()));
        if (pending->reply)
            pending->reply->abort();
    });
    pending->deadline = timer;
    timer->start(deadline);
}

QNetworkReply* startReply(QNetworkAccessManager& network, const OutgoingRequest& outgoing)
{
    // get() sends neither a body nor a Content-Length.
    if (outgoing.method == verb(HttpMethod::get))
        return network.get(outgoing.request);
    return network.sendCustomRequest(outgoing.request, outgoing.method, outgoing.body);
}

void start(QNetworkAccessManager& network, OutgoingRequest outgoing, int redirectsFollowed,
           std::shared_ptr<PendingRequest> pending)
{
    QNetworkReply* reply = startReply(network, outgoing);
    pending->reply = reply;
    // A reply may be finished at once and still signal it later; it is handled once.
    const auto onFinished = [pending, reply, outgoing = std::move(outgoing), redirectsFollowed,
                             handled = std::make_shared<bool>(false)] {
        if (std::exchange(*handled, true))
            return;
        reply->deleteLater();
        // Ended already (too large, or past its deadline): a redirect in the aborted answer goes nowhere.
        if (pending->finished)
            return;
        const QUrl target = redirectTarget(*reply);
        if (target.isEmpty()) {
            pending->finish(outcome(*reply));
            return;
        }
        std::expected<OutgoingRequest, NetworkError> next = redirected(
            outgoing, target, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), redirectsFollowed);
        if (!next) {
            pending->finish(std::unexpected(std::move(next.error())));
            return;
        }
        // The request lives on in the next reply; this one going away no longer ends it.
        QObject::disconnect(reply, &QObject::destroyed, nullptr, nullptr);
        start(*reply->manager(), std::move(*next), redirectsFollowed + 1, pending);
    };
    QObject::connect(reply, &QNetworkReply::finished, reply, onFinished);
    // The announced length, then the body as it arrives (inflated, when it comes compressed):
    // whichever passes the bound first ends the request.
    const auto refuseTooLarge = [pending, reply] {
        const bool announcedTooLarge = !reply->hasRawHeader("Content-Encoding")
            && reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > NetworkManager::maxBodySize;
        if (pending->finished || (!announcedTooLarge && reply->bytesAvailable() <= NetworkManager::maxBodySize))
            return;
        pending->finish(std::unexpected(tooLargeError()));
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, refuseTooLarge);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, refuseTooLarge);
    // Replies die with their manager without always saying they finished.
    QObject::connect(reply, &QObject::destroyed, [pending] { pending->finish(std::unexpected(cancelledError())); });
    if (reply->isFinished())
        onFinished();
}

} // namespace

NetworkManager& NetworkManager::shared()
{
    // Never destroyed: completions may still be under way while the program exits.
    static NetworkManager* const instance = new NetworkManager();
    return *instance;
}

NetworkManager::NetworkManager(std::chrono::milliseconds transferTimeout, std::chrono::milliseconds deadline)
    : m_network(std::make_unique<QNetworkAccessManager>())
    , m_transferTimeout(transferTimeout)
    , m_deadline(deadline)
{
    if (QCoreApplication* application = QCoreApplication::instance())
        m_network->moveToThread(application->thread());
}

NetworkManager::~NetworkManager() = default;

void NetworkManager::send(const Endpoint& endpoint, BodyCompletion completion)
{
    if (!completion)
        return;
    std::expected<QNetworkRequest, NetworkError> request = endpoint.makeRequest();
    if (request) {
        request->setTransferTimeout(static_cast<int>(m_transferTimeout.count()));
        // A cookie jar would replace the endpoint's own Cookie header with whatever servers set.
        request->setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request->setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        // Qt would follow redirects anywhere with every header, authorization included.
        request->setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    }
    QPointer<QNetworkAccessManager> network(m_network.get());
    postToGuiThread([network, request = std::move(request), method = verb(endpoint.method()), body = endpoint.body(),
                     deadline = m_deadline, completion = std::move(completion)]() mutable {
        if (!request) {
            completion(std::unexpected(request.error()));
        } else if (!network) {
            completion(std::unexpected(cancelledError()));
        } else {
            auto pending = std::make_shared<PendingRequest>(std::move(completion));
            startDeadline(*network, deadline, pending);
            start(*network, OutgoingRequest{*request, method, body}, 0, pending);
        }
    });
}

std::expected<QJsonValue, NetworkError> NetworkManager::parseJson(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return std::unexpected(invalidJsonError(parseError.errorString(), parseError.offset));
    if (document.isObject())
        return QJsonValue(document.object());
    if (document.isArray())
        return QJsonValue(document.array());
    return std::unexpected(wrongShapeError());
}

NetworkError NetworkManager::invalidJsonError(const QString& error, qsizetype offset)
{
    return managerError(NetworkError::decodingFailed,
                        u"The answer is not valid JSON (%1 at offset %2)."_s.arg(error).arg(offset));
}

NetworkError NetworkManager::wrongShapeError()
{
    return managerError(NetworkError::decodingFailed, u"The answer does not have the expected shape."_s);
}

} // namespace Tivrand
