#pragma once

#include "TivrandApp/services/KeychainManager.h"
#include "TivrandApp/services/SecretStore.h"

#include <QHash>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace Tivrand::Testing {

// A Keychain answering from a fixed table; accounts not in it are missing items. It remembers
// which accounts were asked for, in order, and can hold its answers back, as a keyring waiting
// for the user to unlock it does.
class FakeSecretStore final : public SecretStore {
public:
    using Answer = std::expected<std::optional<QByteArray>, KeychainError>;

    void set(const QString& account, Answer answer)
    {
        std::lock_guard lock(m_mutex);
        m_answers.insert(account, std::move(answer));
    }

    void setText(const QString& account, const QByteArray& bytes) { set(account, std::optional(bytes)); }

    Answer secret(const QString& account, std::stop_token) const override
    {
        std::unique_lock lock(m_mutex);
        m_asked.append(account);
        m_released.wait_for(lock, std::chrono::seconds(10), [this] { return !m_holding; });
        return m_answers.value(account, std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::itemNotFound)));
    }

    // Until released (or for ten seconds at most), lookups wait.
    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }

    void release()
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
        m_released.notify_all();
    }

    QStringList asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    bool m_holding = false;
    QHash<QString, Answer> m_answers;
    mutable QStringList m_asked;
};

inline const QString appleIdAccount = QStringLiteral("Tivrand.AppleID");
inline const QString cookieAccount = QStringLiteral("Tivrand.SearchAdsCookie");

// A Keychain manager over its own fake store.
struct FakeKeychain {
    std::shared_ptr<FakeSecretStore> store = std::make_shared<FakeSecretStore>();
    KeychainManager manager{store};
};

} // namespace Tivrand::Testing
