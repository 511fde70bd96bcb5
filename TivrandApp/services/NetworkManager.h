#pragma once

#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/services/Endpoint.h"
#include "TivrandApp/services/NetworkError.h"

#include <QByteArray>
#include <QJsonValue>

#include <chrono>
#include <concepts>
#include <expected>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace Tivrand {

// A record the request engine can decode an answer into: no record means the wrong shape.
template<typename T>
concept JsonDecodable = requires(const QJsonValue& json) {
    { T::fromJson(json) } -> std::same_as<std::optional<T>>;
};

// Reads a record from an answer's JSON as it goes: no record means the wrong shape.
template<typename T>
using JsonRead = std::function<std::optional<T>(JsonReader&)>;

// The request engine. Its network access lives on the GUI thread; request() may be called from
// any thread. Every request completes exactly once, on the GUI thread and never inside the call,
// with the decoded answer or an error. There is no retry and no cancellation. Requests go out
// with their endpoint's headers alone: no cookie is stored or added, and a redirect is followed
// only within the request's origin, a few times at most. A body longer than `maxBodySize` is
// refused as soon as it is announced or received that far, never held whole.
class NetworkManager {
public:
    static constexpr std::chrono::milliseconds defaultTransferTimeout{30000};
    static constexpr std::chrono::milliseconds defaultDeadline{60000};
    static constexpr qint64 maxBodySize = 32 * 1024 * 1024;

    // The program's one engine; it lives as long as the program. Needs a QCoreApplication.
    static NetworkManager& shared();

    // A request is given up when nothing moves for `transferTimeout`, and when it has not
    // finished within `deadline` of being sent, however its answer trickles in.
    explicit NetworkManager(std::chrono::milliseconds transferTimeout = defaultTransferTimeout,
                            std::chrono::milliseconds deadline = defaultDeadline);
    // Destroy on the GUI thread. Requests still running then complete with NetworkError::cancelled.
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    template<JsonDecodable T>
    void request(const Endpoint& endpoint, std::function<void(std::expected<T, NetworkError>)> completion)
    {
        if (!completion)
            return;
        send(endpoint, [completion = std::move(completion)](std::expected<QByteArray, NetworkError> body) {
            if (!body) {
                completion(std::unexpected(std::move(body.error())));
                return;
            }
            std::expected<QJsonValue, NetworkError> json = parseJson(*body);
            if (!json) {
                completion(std::unexpected(std::move(json.error())));
                return;
            }
            if (std::optional<T> value = T::fromJson(*json))
                completion(std::move(*value));
            else
                completion(std::unexpected(wrongShapeError()));
        });
    }

    // The answer read with `read`, which keeps only what it needs of it.
    template<typename T>
    void request(const Endpoint& endpoint, JsonRead<T> read, std::function<void(std::expected<T, NetworkError>)> completion)
    {
        if (!completion || !read)
            return;
        send(endpoint, [read = std::move(read), completion = std::move(completion)](std::expected<QByteArray, NetworkError> body) {
            if (!body) {
                completion(std::unexpected(std::move(body.error())));
                return;
            }
            JsonReader reader(*body);
            std::optional<T> value = read(reader);
            if (!reader.finish())
                completion(std::unexpected(invalidJsonError(reader.errorString(), reader.errorOffset())));
            else if (value)
                completion(std::move(*value));
            else
                completion(std::unexpected(wrongShapeError()));
        });
    }

    using BodyCompletion = std::function<void(std::expected<QByteArray, NetworkError>)>;

private:
    // Answers with the body of a 2xx response.
    void send(const Endpoint& endpoint, BodyCompletion completion);
    static std::expected<QJsonValue, NetworkError> parseJson(const QByteArray& body);
    static NetworkError invalidJsonError(const QString& error, qsizetype offset);
    static NetworkError wrongShapeError();

    std::unique_ptr<QNetworkAccessManager> m_network;
    std::chrono::milliseconds m_transferTimeout;
    std::chrono::milliseconds m_deadline;
};

} // namespace Tivrand
