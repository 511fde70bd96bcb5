#pragma once

#include "TivrandApp/services/SecretStore.h"

#include <chrono>

namespace Tivrand {

// Secrets from the Secret Service (libsecret) under a schema with the one string attribute
// "account", matched whatever schema name the item was stored with, so items made with
// `secret-tool store --label=x account NAME` are found. A lookup blocks its calling thread
// for as long as the keyring takes, the user unlocking it included.
class LibsecretStore final : public SecretStore {
public:
    // A lookup is cancelled and reported as timed out when the service has not answered for
    // `timeout` (a bus or service that never replies). While the service waits for the user
    // at an unlock prompt, no limit applies: the user answers or dismisses it.
    explicit LibsecretStore(std::chrono::milliseconds timeout = defaultTimeout);

    std::expected<std::optional<QByteArray>, KeychainError> secret(const QString& account,
                                                                   std::stop_token stop) const override;

    static constexpr std::chrono::milliseconds defaultTimeout{15'000};

private:
    std::chrono::milliseconds m_timeout;
};

} // namespace Tivrand
