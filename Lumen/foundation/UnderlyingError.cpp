#include "Lumen/foundation/UnderlyingError.h"

#include "Lumen/foundation/LumenError.h"

#include <utility>

namespace Lumen {

UnderlyingError::UnderlyingError(QString domain, qint64 code, QString message)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_message(std::move(message))
{
}

UnderlyingError UnderlyingError::network(QNetworkReply::NetworkError code, QString message,
                                         std::optional<NetworkUnavailableReason> reason)
{
    UnderlyingError error(QString::fromLatin1(networkDomain), static_cast<qint64>(code), std::move(message));
    error.m_networkUnavailableReason = reason;
    return error;
}

UnderlyingError UnderlyingError::wrapping(const LumenError& error)
{
    UnderlyingError wrapper(LumenError::errorDomain(), error.errorCode(), error.localizedDescription());
    wrapper.m_lumenError = std::make_shared<const LumenError>(error);
    return wrapper;
}

bool UnderlyingError::isNetworkError() const
{
    return m_domain == QLatin1String(networkDomain);
}

QString UnderlyingError::description() const
{
    return QStringLiteral("Error Domain=") + m_domain + QStringLiteral(" Code=") + QString::number(m_code)
        + QStringLiteral(" \"") + m_message + QLatin1Char('"');
}

} // namespace Lumen
