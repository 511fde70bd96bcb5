#include "TivrandApp/services/KeychainError.h"

namespace Tivrand {

QString statusText(KeychainStatus status)
{
    switch (status) {
    case KeychainStatus::itemNotFound:
        return QStringLiteral("not found");
    case KeychainStatus::serviceUnavailable:
        return QStringLiteral("service unavailable");
    case KeychainStatus::timedOut:
        return QStringLiteral("timed out");
    case KeychainStatus::cancelled:
        return QStringLiteral("cancelled");
    case KeychainStatus::failed:
        return QStringLiteral("failed");
    }
    return QStringLiteral("unknown");
}

KeychainError KeychainError::unexpectedStatus(KeychainStatus status, QString detail)
{
    return KeychainError(Kind::unexpectedStatus, status, std::move(detail));
}

KeychainError KeychainError::invalidItemFormat(QString detail)
{
    return KeychainError(Kind::invalidItemFormat, std::nullopt, std::move(detail));
}

KeychainError::KeychainError(Kind kind, std::optional<KeychainStatus> status, QString detail)
    : m_kind(kind)
    , m_status(status)
    , m_detail(std::move(detail))
{
}

KeychainError::Kind KeychainError::kind() const
{
    return m_kind;
}

std::optional<KeychainStatus> KeychainError::status() const
{
    return m_status;
}

const QString& KeychainError::detail() const
{
    return m_detail;
}

QString KeychainError::description() const
{
    QString text = m_kind == Kind::unexpectedStatus
        ? QStringLiteral("Unexpected Keychain status: ") + statusText(m_status.value_or(KeychainStatus::failed))
        : QStringLiteral("Invalid Keychain item format");
    if (!m_detail.isEmpty())
        text += QStringLiteral(" (") + m_detail + QLatin1Char(')');
    return text;
}

} // namespace Tivrand
