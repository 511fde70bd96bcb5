#pragma once

#include <QNetworkReply>
#include <QString>

#include <any>
#include <memory>
#include <optional>

namespace Lumen {

class LumenError;

// Why the network layer refused a transfer under the current network conditions.
enum class NetworkUnavailableReason { cellular, expensive, constrained };

// An error from beneath the library step that reports it: the network layer, the file
// system, a data provider, or a library error of an earlier step. The library passes it on
// and prints it; it never branches on it except to recognise a refused constrained network.
class UnderlyingError {
public:
    // Domain of the errors of the network layer.
    static constexpr char networkDomain[] = "QtNetwork";

    UnderlyingError(QString domain, qint64 code, QString message);

    // A failed transfer. `reason` is set only when the transfer was refused because of the
    // network conditions (for example a low-data network that the request may not use).
    static UnderlyingError network(QNetworkReply::NetworkError code, QString message,
                                   std::optional<NetworkUnavailableReason> reason = std::nullopt);
    // A library error passed on as the cause of another one; it stays reachable unchanged.
    static UnderlyingError wrapping(const LumenError& error);

    const QString& domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    const QString& message() const { return m_message; }

    bool isNetworkError() const;
    std::optional<NetworkUnavailableReason> networkUnavailableReason() const { return m_networkUnavailableReason; }
    // The wrapped library error; null for every other kind.
    const std::shared_ptr<const LumenError>& lumenError() const { return m_lumenError; }

    // The same error carrying `payload`, a value of its own kind that callers can read back
    // (the image a data provider could not use, the error beneath it).
    template <typename T>
    UnderlyingError carrying(T payload) const
    {
        UnderlyingError error = *this;
        error.m_payload = std::make_shared<const std::any>(std::move(payload));
        return error;
    }
    // The payload when it is a `T`; null when the error carries none or one of another type.
    template <typename T>
    const T* payload() const
    {
        return m_payload ? std::any_cast<T>(m_payload.get()) : nullptr;
    }

    // "Error Domain=<domain> Code=<code> \"<message>\"".
    QString description() const;

private:
    QString m_domain;
    qint64 m_code = 0;
    QString m_message;
    std::optional<NetworkUnavailableReason> m_networkUnavailableReason;
    std::shared_ptr<const LumenError> m_lumenError;
    std::shared_ptr<const std::any> m_payload;
};

} // namespace Lumen
