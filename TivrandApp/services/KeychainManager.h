#pragma once

#include "TivrandApp/services/KeychainError.h"
#include "TivrandApp/services/SecretStore.h"

#include <QFuture>
#include <QString>

#include <expected>
#include <memory>

namespace Tivrand {

// Reads the program's Keychain items by account name. Holds no state of its own beyond the
// store it reads, so it is safe to use from any thread and cheap to copy.
class KeychainManager {
public:
    // The process-wide manager over the Secret Service. Making it cannot fail and touches
    // no service; the first lookup does.
    static KeychainManager& shared();

    explicit KeychainManager(std::shared_ptr<const SecretStore> store);

    // The item's data as UTF-8 text. A missing item or a failing store is `unexpectedStatus`;
    // an item without data or with bytes that are not UTF-8 is `invalidItemFormat`.
    std::expected<QString, KeychainError> retrieve(const QString& key) const;

    // Whether "Tivrand.SearchAdsCookie" holds a store session cookie. Any failure is false.
    bool hasValidSearchAdsSession() const;

    // The same reads without blocking the caller (the GUI thread): a lookup may wait as long as
    // the user takes to unlock the keyring, so each runs on a thread of its own (one of
    // `KeychainReads`), which fulfils the future with one result. When the application quits
    // first, the read is cancelled and the result is a `cancelled` status.
    QFuture<std::expected<QString, KeychainError>> retrieveAsync(const QString& key) const;
    QFuture<bool> hasValidSearchAdsSessionAsync() const;

private:
    std::expected<QString, KeychainError> retrieve(const QString& key, std::stop_token stop) const;

    std::shared_ptr<const SecretStore> m_store;
};

} // namespace Tivrand
