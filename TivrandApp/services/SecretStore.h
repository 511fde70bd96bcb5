#pragma once

#include "TivrandApp/services/KeychainError.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <optional>
#include <stop_token>

namespace Tivrand {

// Read access to secrets stored by account name. The answer is the item's raw bytes
// (absent when the item carries no data); a failed lookup, a missing item included, is an
// `unexpectedStatus` error. A lookup asked to stop through `stop` ends promptly as `cancelled`.
// Implementations are safe to call from any thread.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    virtual std::expected<std::optional<QByteArray>, KeychainError> secret(const QString& account,
                                                                           std::stop_token stop) const = 0;
};

} // namespace Tivrand
