#pragma once

#include "TivrandApp/services/SecretStore.h"

#include <chrono>

namespace Tivrand {

// Secrets from the Secret Service (libsecret) under a schema with the one string attribute
// "account", matched whatever schema name the item was stored with, so items made with
// `secret-tool store --label=x account NAME` are found.
class LibsecretStore final : public SecretStore {
public:
    // A lookup that has not answered after `timeout` (a service that never replies, an
    // unlock prompt nobody answers) is cancelled and reported as timed out.
    explicit LibsecretStore(std::chrono::milliseconds timeout = defaultTimeout);

    std::expected<std::optional<QByteArray>, KeychainError> secret(const QString& account) const override;

    static constexpr std::chrono::milliseconds defaultTimeout{15'000};

private:
    std::chrono::milliseconds m_timeout;
};

} // namespace Tivrand
